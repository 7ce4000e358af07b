#include "KLDesigner/ui/progress_form.h"

#include "KLDesigner/builder/designer.h"
#include "KLDesigner/ui/form_design.h"

namespace kld::ui {

using namespace plat::forms;

namespace {

constexpr ControlDesign kProgressDesign[] = {
    {Kind::Label, "lblOverall", -1, nullptr, 120, 120, 1800, 255, "Overall Status:"},
    {Kind::Label, "lblOverallStatus", -1, nullptr, 3840, 120, 900, 255, " 0 %"},
    {Kind::Panel, "pnlOverallStatus", -1, nullptr, 120, 390, 4620, 390, "", "", true, 1},
    {Kind::PictureBox, "picOverallStatus", -1, "pnlOverallStatus", 15, 15, 4590, 360},
    // A per-file bar, designed but never shown.
    {Kind::Label, "lblFile", -1, nullptr, 120, 900, 1800, 255, "Processing File :", "", false},
    {Kind::Label, "lblFileStatus", -1, nullptr, 1920, 900, 2820, 255, "", "", false},
    {Kind::Panel, "pnlFileStatus", -1, nullptr, 120, 1170, 4620, 390, "", "", false, 1},
    {Kind::PictureBox, "picFileStatus", -1, "pnlFileStatus", 15, 15, 4590, 360},
    {Kind::CommandButton, "cmdCancel", -1, nullptr, 1860, 960, 1215, 375, "Cancel"},
};

constexpr int32_t kProgressWidth = 4980;
constexpr int32_t kProgressHeight = 1860;

constexpr ControlDesign kAboutDesign[] = {
    {Kind::Label, "lblTitle", -1, nullptr, 240, 240, 4800, 285, "Marovia Kestrelite Designer"},
    {Kind::Label, "lblDescription", -1, nullptr, 240, 600, 4800, 255, "Update description designer"},
    {Kind::Label, "lblVersion", -1, nullptr, 240, 900, 4800, 255, "Version " KL_DESIGNER_VERSION},
    {Kind::Label, "lblContact", -1, nullptr, 240, 1200, 4800, 255, "Help > Contents opens the guide"},
    {Kind::CommandButton, "cmdClose", -1, nullptr, 3840, 1680, 1215, 375, "Close"},
};

constexpr int32_t kAboutWidth = 5400;
constexpr int32_t kAboutHeight = 2580;

} // namespace

ProgressForm::ProgressForm(Designer& designer) : m_designer(designer) {
    m_form.SetCaption(designer.AppTitle);
    BuildControls(m_form, kProgressDesign);
    m_form.Move(0, 0, kProgressWidth, kProgressHeight);
    m_form.OnLoad = [this] { Form_Load(); };
    // Only code closes the window: the close box is refused.
    m_form.OnQueryUnload = [](bool& cancel, UnloadMode mode) {
        if (mode == UnloadMode::CloseBox) cancel = true;
    };
    m_form.Get<CommandButton>("cmdCancel").Click = [this](int32_t) { cmdCancel_Click(); };
}

ProgressForm::~ProgressForm() = default;

void ProgressForm::Form_Load() {
    m_bar = std::make_unique<ProgBar>();
    m_bar->SetCanvas(m_form.Find("picOverallStatus"));
    m_bar->SetMin(0);
    m_bar->SetMax(100);
    m_bar->SetValue(0);
    m_form.Get<Label>("lblOverallStatus").SetCaption(" 0 %");
    m_designer.CenterForm(kld::Form::Progress);
}

void ProgressForm::OverallStatus(int32_t percent) {
    m_form.Load();
    m_bar->SetValue(percent);
    m_form.Get<Label>("lblOverallStatus").SetCaption(" " + std::to_string(m_bar->Value()) + " %");
}

std::string ProgressForm::StatusText() const {
    return m_form.Get<Label>("lblOverallStatus").Caption();
}

void ProgressForm::cmdCancel_Click() {
    if (m_designer.Message("Are you sure you want to cancel creating update stuff and INF file ?",
                           mb::YesNo | mb::Exclamation | mb::DefaultButton2) == plat::ui::MsgAnswer::Yes)
        m_designer.CancelRequested = true;
}

AboutForm::AboutForm(Designer& designer) : m_designer(designer) {
    m_form.SetCaption("About Marovia Kestrelite Designer");
    BuildControls(m_form, kAboutDesign);
    m_form.Move(0, 0, kAboutWidth, kAboutHeight);
    QFont title = m_form.Find("lblTitle")->widget()->font();
    title.setBold(true);
    m_form.Find("lblTitle")->widget()->setFont(title);
    m_form.OnLoad = [this] { m_designer.CenterForm(kld::Form::About); };
    auto& close = m_form.Get<CommandButton>("cmdClose");
    close.Click = [this](int32_t) { m_form.Unload(); };
    close.SetCancel(true);
}

} // namespace kld::ui
