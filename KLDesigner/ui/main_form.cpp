// The main form's construction from its design tables and its document
// commands: load, close, New, Open, Save, Save As, the recent files, Print,
// Create INF File, help and About, and the compressor's progress.
#include "KLDesigner/ui/main_form.h"

#include "KLDesigner/builder/utilities.h"
#include "KLDesigner/builder/vb.h"
#include "KLDesigner/ui/action_panel.h"
#include "KLDesigner/ui/main_form_design.h"
#include "KLDesigner/ui/pictures.h"
#include "KLDesigner/ui/progress_form.h"
#include "platform/com/dispatch_client.h"
#include "platform/forms/control_host.h"
#include "vinca/control/dispids.h"

#include <QPushButton>
#include <QToolButton>

namespace kld::ui {

using namespace plat::forms;

namespace {

const char* kDescriptionFilter = "Update Description Files (*.kld)|*.kld|All Files (*.*)|*.*";

// The pictures of the toolbar's commands.
const char* PairPicture(const std::string& pair) {
    static const std::pair<const char*, const char*> kPictures[] = {
        {"cmdNew", "new"},
        {"cmdOpen", "open"},
        {"cmdSave", "save"},
        {"cmdPrint", "print"},
        {"cmdUpdateOperInfo", "validate"},
        {"cmdMakeStuff", "make_inf"},
        {"cmdNewCopyFile", "new_install_group"},
        {"cmdNewExecuteFile", "new_execute_group"},
        {"cmdNewItem", "new_file"},
        {"cmdMoveDown", "move_down"},
        {"cmdMoveUp", "move_up"},
        {"cmdDuplicate", "duplicate"},
        {"cmdDelete", "delete"},
        {"cmdNewRegistryKey", "new_registry_group"},
        {"cmdDelRegistryKey", "delete_registry_group"},
        {"cmdNewGroupItem", "new_folder"},
    };
    for (const auto& [name, picture] : kPictures)
        if (pair == name) return picture;
    return "";
}

constexpr const char* kViewStylePicture[2] = {"view_properties", "view_tree_grid"};

} // namespace

MainForm::MainForm() {
    BuildForm();
}

MainForm::~MainForm() {
    m_selectionWatch.reset();
    m_progress.reset();
    m_about.reset();
}

void MainForm::BuildForm() {
    BuildControls(m_form, MainControls());
    auto& tabs = m_form.Get<TabStrip>("ctlTabs");
    const auto captions = TabCaptions();
    for (size_t i = 0; i < captions.size(); ++i)
        tabs.SetTabCaption(static_cast<int32_t>(i), captions[i]);

    // The action list, created by class id when the program attaches it.
    m_operations = &m_form.Add<HostedControl>("vntOperations", -1, tabs.page(5));
    m_operations->Move(120, 750, 3720, 4770);

    QWidget* toolbar = m_form.Find("pnlToolbar")->widget();
    for (const ButtonPairDesign& p : ToolbarPairs()) {
        // The face first, so the live button starts on top.
        for (int32_t index : {1, 0}) {
            auto& b = m_form.Add<CommandButton>(p.name, index, toolbar);
            b.Move(p.left, p.top, kButtonSize, kButtonSize);
            // The face is disabled, so it shows the picture greyed.
            b.button()->setIcon(PictureIcon(PairPicture(p.name)));
            const char* tip = index == 0 ? p.tip0 : p.tip1;
            if (*tip) b.SetToolTipText(tip);
            if (index == 1) {
                // Drawn disabled and never hit: clicks reach what is below.
                b.widget()->setEnabled(false);
                b.widget()->setAttribute(Qt::WA_TransparentForMouseEvents, true);
            }
            if (!p.on_toolbar) b.SetVisible(false);
        }
    }
    for (int32_t i = 0; i < 2; ++i) {
        auto& r = m_form.Add<RibbonButton>("cmdOperListViewStyle", i, toolbar);
        r.Move(kViewStyleLeft[i], 90, kButtonSize, kButtonSize);
        r.SetToolTipText(kViewStyleTip[i]);
        r.button()->setIcon(PictureIcon(kViewStylePicture[i]));
    }
    // One of the two is always down; the design starts with the properties view.
    m_form.Get<RibbonButton>("cmdOperListViewStyle", 0).SetValue(true);

    for (const MenuDesign& m : MainMenus()) {
        Menu* parent = m.parent ? m_form.FindMenu(m.parent) : nullptr;
        Menu& item = m_form.AddMenu(m.name, parent, m.index);
        item.SetCaption(m.caption);
        if (*m.shortcut) item.SetShortcut(QKeySequence(QString::fromUtf8(m.shortcut)));
        if (!m.visible) item.SetVisible(false);
    }

    m_panel = std::make_unique<ActionPanel>(*this);
    m_panel->cmdDelete_Click = [this](int32_t index) { cmdDelete_Click(index); };
    hooks.RefreshSceneryTab = [this](int16_t what) { m_panel->RefreshSceneryTab(what); };

    m_form.Move(0, 0, kMainFormWidth, kMainFormHeight);
    WireCommands();
    WireProductTabs();
    WireInstallTabs();
}

void MainForm::WireCommands() {
    m_form.OnLoad = [this] { Form_Load(); };
    m_form.OnResize = [this] { ResizeForm(); };
    // Shown, the window has its frame: the smallest size counts it.
    m_form.OnActivate = [this] { ApplyMinimumSize(); };
    m_form.OnQueryUnload = [this](bool& cancel, UnloadMode mode) { Form_QueryUnload(cancel, mode); };

    auto button = [this](const char* pair, std::function<void()> run) {
        for (int32_t index : {0, 1})
            m_form.Get<CommandButton>(pair, index).Click = [run](int32_t) { run(); };
    };
    button("cmdNew", [this] { cmdNew_Click(); });
    button("cmdOpen", [this] { cmdOpen_Click(); });
    button("cmdSave", [this] { cmdSave_Click(); });
    button("cmdPrint", [this] { cmdPrint_Click(); });
    button("cmdMakeStuff", [this] { cmdMakeStuff_Click(); });

    auto menu = [this](const char* name, std::function<void()> run) {
        MenuItem(name).Click = [run](int32_t) { run(); };
    };
    menu("mnuFile", [this] { mnuFile_Click(); });
    menu("mnuEdit", [this] { mnuEdit_Click(); });
    menu("mnuView", [this] { mnuView_Click(); });
    menu("mnuFileNew", [this] { cmdNew_Click(); });
    menu("mnuFileOpen", [this] { cmdOpen_Click(); });
    menu("mnuFileSave", [this] { cmdSave_Click(); });
    menu("mnuFileSaveAs", [this] { mnuFileSaveAs_Click(); });
    menu("mnuFilePrepare", [this] { cmdMakeStuff_Click(); });
    menu("mnuFilePrintTree", [this] { cmdPrint_Click(); });
    menu("mnuFileExit", [this] { mnuFileExit_Click(); });
    menu("mnuHelpContents", [this] { mnuHelpContents_Click(); });
    menu("mnuHelpAbout", [this] { mnuHelpAbout_Click(); });
    MenuItem("mnuFileRecentlyUsedKLD", 1).Click = [this](int32_t index) {
        mnuFileRecentlyUsedKLD_Click(index);
    };

    // Edit and Tools items run their toolbar command, whatever it does.
    static const std::pair<const char*, const char*> kMenuToButton[] = {
        {"mnuEditNewOperationUpdateFile", "cmdNewCopyFile"},
        {"mnuEditNewOperationExecuteFile", "cmdNewExecuteFile"},
        {"mnuEditNewOperationCreateRegKey", "cmdNewRegistryKey"},
        {"mnuEditNewOperationDeleteRegKey", "cmdDelRegistryKey"},
        {"mnuEditNewOperationItemFile", "cmdNewItem"},
        {"mnuEditNewOperationItemFolder", "cmdNewGroupItem"},
        {"mnuEditDuplicateOperation", "cmdDuplicate"},
        {"mnuEditDeleteOperation", "cmdDelete"},
        {"mnuEditMoveOperationUp", "cmdMoveUp"},
        {"mnuEditMoveOperationDown", "cmdMoveDown"},
        {"mnuToolsUpdateOperation", "cmdUpdateOperInfo"},
    };
    for (const auto& [item, pair] : kMenuToButton) {
        CommandButton* live = &Live(pair);
        MenuItem(item).Click = [live](int32_t) {
            if (live->Click) live->Click(0);
        };
    }
    for (int32_t k = 0; k < 6; ++k)
        MenuItem("mnuViewTab", k).Click = [this](int32_t tab) { ShowTab(static_cast<int16_t>(tab)); };

    // A tab brought to the front gets its layout and the toolbar its state.
    m_form.Get<TabStrip>("ctlTabs").TabClick = [this](int32_t previous) { ctlTabs_Click(previous); };
    WireActionCommands();
    WireActionList();
}

void MainForm::Attach(Designer& designer) {
    m_d = &designer;
    m_form.SetCaption(designer.AppTitle);
    // The form loads at its first use, as the start-up makes it.
    m_form.Load();
}

bool MainForm::DocumentOpen() const {
    return m_d && m_d->CurrentFileName != kNoDocument;
}

ProgressForm& MainForm::frmProgress() {
    if (!m_progress) m_progress = std::make_unique<ProgressForm>(*m_d);
    return *m_progress;
}

AboutForm& MainForm::frmAbout() {
    if (!m_about) m_about = std::make_unique<AboutForm>(*m_d);
    return *m_about;
}

// ---------------------------------------------------------------- load, close

void MainForm::Form_Load() {
    m_form.Get<TabStrip>("ctlTabs").SetTab(0);
    m_operations->SetVisible(false);
    m_operations->Tag = "KLD_TREE";
    // A drop reads the tag from the dragged control's extender.
    m_operations->host().site().set_tag(plat::Variant("KLD_TREE"));
    plat::IDispatch* tree = m_operations->Object();
    if (!tree) return;
    // The action list's look, set member by member.
    struct Setting {
        int32_t dispid;
        plat::Variant value;
    };
    namespace id = vinca::dispid;
    const Setting settings[] = {
        {id::kBackColor, plat::Variant(static_cast<int32_t>(0xFFFFFF))},
        {id::kSmartDragDrop, plat::Variant(true)},
        {id::kAutoExpand, plat::Variant(static_cast<int16_t>(2))},         // by plus and minus
        {id::kExplorerCompatible, plat::Variant(static_cast<int16_t>(3))}, // behaviour and look
        {id::kTransparentBitmap, plat::Variant(true)},
        {id::kTransparentBitmapColor, plat::Variant(static_cast<int32_t>(0xFFFFFF))},
        {id::kToolTipsMode, plat::Variant(static_cast<int16_t>(1))}, // on
        {id::kToolTipsDelay, plat::Variant(static_cast<int16_t>(500))},
    };
    for (const Setting& s : settings)
        plat::dispatch_put(tree, s.dispid, s.value);
}

void MainForm::Form_QueryUnload(bool& cancel, UnloadMode mode) {
    if (mode == UnloadMode::Code || !m_d) return;
    if (!m_d->AskSaveChanges(true)) {
        cancel = true;
        return;
    }
    m_d->SaveSettingsOnExit();
}

void MainForm::mnuFileExit_Click() {
    if (!m_d->AskSaveChanges(true)) return;
    // Exit keeps the settings as the close box does; the unload from code
    // then asks nothing more.
    m_d->SaveSettingsOnExit();
    m_form.Unload();
}

// ---------------------------------------------------------------- commands

void MainForm::cmdNew_Click() {
    if (!m_d->AskSaveChanges(true)) return;
    m_d->NewDocument();
    RefreshToolbar(true);
}

void MainForm::cmdOpen_Click() {
    if (!m_d->AskSaveChanges(true)) return;
    const std::string path = m_d->ShowOpenDialog(kDescriptionFilter, true, m_d->LastDialogFolder, "",
                                                 "Open Update Description File");
    if (path.empty() || path == kCancelled) return;
    m_d->OpenDocument(path);
    std::string folder, file;
    SplitPath(path, folder, file);
    m_d->LastDialogFolder = folder;
}

void MainForm::cmdSave_Click() {
    m_d->SaveDocument();
}

void MainForm::mnuFileSaveAs_Click() {
    if (!DocumentOpen() || m_d->PrepareRunning) return;
    m_d->Bridge().StoreDescriptionInTree(*m_d);
    const std::string offered = m_d->CurrentFileName.empty() ? "Untitled.KLD" : m_d->CurrentFileName;
    const std::string target = m_d->ShowSaveDialog(kDescriptionFilter, m_d->LastDialogFolder, offered,
                                                   "Save Update Description To File");
    if (target.empty() || target == kNoDocument) return;
    if (!m_d->Bridge().SaveTreeToFile(*m_d, NativePath(target))) return;
    m_d->CurrentFileName = target;
    m_d->DocumentModified = false;
    m_d->AddRecentFile(m_d->CurrentFileName);
    RefreshToolbar(true);
    m_d->RefreshFormCaption();
    std::string folder, file;
    SplitPath(target, folder, file);
    m_d->LastDialogFolder = folder;
}

void MainForm::mnuFileRecentlyUsedKLD_Click(int32_t index) {
    if (!m_d->AskSaveChanges(true)) return;
    const std::string caption = RecentMenuCaption(index);
    const std::string path = vb::Trim(caption.size() > 3 ? caption.substr(3) : std::string());
    m_d->OpenDocument(path);
    std::string folder, file;
    SplitPath(path, folder, file);
    m_d->LastDialogFolder = folder;
}

void MainForm::cmdPrint_Click() {
    if (hooks.PrintOperationsTree) hooks.PrintOperationsTree();
}

void MainForm::cmdMakeStuff_Click() {
    // The button shows off while the build runs, and as the toolbar says
    // afterwards.
    DisplayButtonsPair("cmdMakeStuff", false);
    m_d->PrepareUpdate();
    RefreshToolbar(DocumentOpen());
}

void MainForm::mnuHelpContents_Click() {
    m_d->ShowHelpDocument();
}

void MainForm::mnuHelpAbout_Click() {
    frmAbout().form().Show(true);
    m_form.window()->activateWindow();
}

bool MainForm::ZipFileStatus(double processed, bool completed) {
    if (!m_d) return false;
    auto& zip = m_d->ZipProgress;
    // Nothing to pack: no share of it can be shown.
    if (!(zip.total > 0)) return true;
    const double percent = vb::Int((zip.done + processed) * 100.0 / zip.total) - 1;
    frmProgress().OverallStatus(static_cast<int32_t>(std::clamp(percent, -1e9, 1e9)));
    if (completed) zip.done += processed;
    return true;
}

} // namespace kld::ui
