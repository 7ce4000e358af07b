// The main form's layout: the frame (toolbar, main panel, tab control) and
// the tab in front. Margins and limits are pixels turned into twips with the
// designer's twips per pixel; a panel shrunk to fit grows back to the size
// it had in the design, remembered at the first layout.
#include "KLDesigner/ui/main_form.h"

#include <algorithm>

namespace kld::ui {

using namespace plat::forms;

namespace {

constexpr const char* kSettingsPanels[5] = {"pnlProductAttributes", "pnlLocation", "pnlInstallCriterias",
                                            "pnlInstallPathes", "pnlChunks"};
// Controls a tab shows above its panel, outside it: the install options and
// the platform choice.
constexpr const char* kAbovePanel[5][2] = {
    {}, {}, {"optUpdateOld", "optInstallNew"}, {"lblInstallWinVersion", "cboInstallWinVersion"}, {}};

} // namespace

void MainForm::ResizeForm() {
    if (!m_d) return;
    ApplyMinimumSize();
    const int32_t px = m_d->TwipsPerPixelX, py = m_d->TwipsPerPixelY;
    plat::forms::Control& toolbar = *m_form.Find("pnlToolbar");
    plat::forms::Control& main = *m_form.Find("pnlMain");
    if (!DocumentOpen()) {
        if (m_form.Width() < 400 * px) {
            m_form.SetWidth(400 * px);
            return;
        }
        if (m_form.ScaleHeight() < 2 * toolbar.Height()) {
            m_form.SetHeight(m_form.Height() - m_form.ScaleHeight() + 2 * toolbar.Height());
            return;
        }
        toolbar.SetWidth(m_form.ScaleWidth());
        main.SetWidth(toolbar.Width());
        main.SetHeight(m_form.ScaleHeight() - toolbar.Height());
        return;
    }
    if (m_form.Width() < 620 * px) {
        m_form.SetWidth(620 * px);
        return;
    }
    if (m_form.Height() < 280 * py) {
        m_form.SetHeight(280 * py);
        return;
    }
    toolbar.SetWidth(m_form.ScaleWidth());
    main.SetWidth(toolbar.Width());
    main.SetHeight(m_form.ScaleHeight() - toolbar.Height());
    auto& tabs = m_form.Get<TabStrip>("ctlTabs");
    tabs.SetWidth(main.Width() - 2 * tabs.Left());
    tabs.SetHeight(main.Height() - tabs.Left() - tabs.Top());
    switch (tabs.Tab()) {
    case tab::Product:
        ResizeProductTab();
        break;
    case tab::Location:
        ResizeLocationTab();
        break;
    case tab::Installation:
        ResizeInstallTab();
        break;
    case tab::Destination:
        ResizeDestinationTab();
        break;
    case tab::Download:
        ResizeOptionsTab();
        break;
    case tab::ActionList:
        ResizeSceneryTab();
        break;
    default:
        break;
    }
}

void MainForm::ResizeSettingsTab(int32_t tab) {
    const int32_t px = m_d->TwipsPerPixelX, py = m_d->TwipsPerPixelY;
    const std::string panel = kSettingsPanels[tab];
    plat::forms::Control& p = *m_form.Find(panel);
    const plat::forms::Control& t = *m_form.Find("ctlTabs");
    int32_t& designed_width = m_designed.tab_width[tab];
    int32_t& designed_height = m_designed.tab_height[tab];
    if (designed_width == 0) {
        m_designed.tab_left[tab] = p.Left();
        m_designed.tab_top[tab] = p.Top();
        for (size_t i = 0; i < 2; ++i) {
            if (!kAbovePanel[tab][i]) continue;
            const plat::forms::Control& c = *m_form.Find(kAbovePanel[tab][i]);
            m_designed.head_left[tab][i] = c.Left();
            m_designed.head_top[tab][i] = c.Top();
        }
        designed_width = p.Width();
    }
    if (designed_height == 0) designed_height = p.Height();
    const int32_t w = designed_width, h = designed_height;

    int32_t margin = (t.Width() - w) / 2;
    if (margin >= 8 * px) {
        p.SetWidth(w);
    } else {
        margin = 8 * px;
        p.SetWidth(t.Width() - 16 * px);
    }
    p.SetLeft(margin);

    if (panel == "pnlProductAttributes") {
        const plat::forms::Control& icon = *m_form.Find("cmdProductIcon");
        const bool room = p.Width() >= icon.Left() + icon.Width() + 8 * px;
        for (const char* b : {"cmdProductIcon", "cmdAdvertismentFile", "cmdWhatsNewFile"})
            m_form.Find(b)->SetVisible(room);
    }

    bool visible = true;
    if (t.Height() > p.Top() + h + 8 * py) {
        p.SetHeight(h);
    } else {
        p.SetTop(40 * py);
        if (t.Height() - 48 * py < 60 * py)
            visible = false;
        else if (p.Height() > h)
            p.SetHeight(h);
        else
            p.SetHeight(t.Height() - 48 * py);
    }
    p.SetVisible(visible);
    int32_t y = (t.Height() - p.Height()) / 2;
    if (y < 40 * py) y = 40 * py;
    if (visible) p.SetTop(y);

    // The controls above the panel go where it goes, so that no band opens
    // between them; they never rise above their own place in the design,
    // where the tabs end.
    for (size_t i = 0; i < 2; ++i) {
        if (!kAbovePanel[tab][i]) continue;
        plat::forms::Control& c = *m_form.Find(kAbovePanel[tab][i]);
        const int32_t down = std::max(0, p.Top() - m_designed.tab_top[tab]);
        c.Move(m_designed.head_left[tab][i] + p.Left() - m_designed.tab_left[tab],
               m_designed.head_top[tab][i] + down, c.Width(), c.Height());
    }

    auto fit = [&](const char* first, std::initializer_list<const char*> others) {
        plat::forms::Control& c = *m_form.Find(first);
        c.SetWidth(p.Width() - c.Left() - 8 * px);
        for (const char* o : others)
            m_form.Find(o)->SetWidth(c.Width());
    };
    if (panel == "pnlInstallCriterias") fit("cboInstallCriteriaRegKey", {"txtInstallCriteriaRegValue"});
    if (panel == "pnlInstallPathes")
        fit("cboProductDestinationPath", {"cboProductDestinationRegKey", "txtProductDestinationRegValue"});
}

void MainForm::ResizeProductTab() {
    ResizeSettingsTab(0);
}
void MainForm::ResizeLocationTab() {
    ResizeSettingsTab(1);
}
void MainForm::ResizeInstallTab() {
    ResizeSettingsTab(2);
}
void MainForm::ResizeDestinationTab() {
    ResizeSettingsTab(3);
}
void MainForm::ResizeOptionsTab() {
    ResizeSettingsTab(4);
}

void MainForm::ResizeSceneryTab() {
    if (!m_d) return;
    const int32_t px = m_d->TwipsPerPixelX, py = m_d->TwipsPerPixelY;
    plat::forms::Control& tabs = *m_form.Find("ctlTabs");
    plat::forms::Control& props = *m_form.Find("pnlOperationProperties");
    plat::forms::Control& file = *m_form.Find("pnlOperationFile");
    plat::forms::Control& registry = *m_form.Find("pnlOperationRegistry");
    plat::forms::Control& oper_file = *m_form.Find("pnlOperFile");
    plat::forms::Control& dest = *m_form.Find("pnlOperDestFolder");
    plat::forms::Control& criteria = *m_form.Find("pnlOperFileCriteria");
    plat::forms::Control& label = *m_form.Find("lblOperationList");
    plat::forms::Control& list = *m_operations;

    if (!m_designed.scenery_taken) {
        m_designed.scenery_taken = true;
        m_designed.properties_width = props.Width();
        m_designed.dest_height = dest.Height();
        m_designed.criteria_height = criteria.Height();
        m_designed.file_gap = dest.Top() - (oper_file.Top() + oper_file.Height());
    }
    if (!DocumentOpen()) {
        tabs.SetVisible(false);
        return;
    }
    tabs.SetVisible(true);

    if (m_d->ActionListViewStyle == 1) {
        props.SetVisible(false);
        label.SetVisible(true);
        list.SetVisible(true);
        list.SetWidth(tabs.Width() - 2 * list.Left());
        list.SetHeight(tabs.Height() - list.Top() - 8 * py);
        return;
    }
    label.SetVisible(true);
    int32_t left = tabs.Width() - props.Width() - 8 * px;

    props.SetHeight(tabs.Height() - props.Top() - 8 * py);
    file.SetHeight(props.Height() - file.Top() - 2 * py);
    file.SetWidth(props.Width() - file.Left() - 2 * px);
    registry.SetHeight(file.Height());
    registry.SetWidth(file.Width());

    if (list.Left() + 48 * px < left) {
        list.SetVisible(true);
        label.SetVisible(true);
        list.SetWidth(left - list.Left() - 16 * px);
        list.SetHeight(tabs.Height() - list.Top() - 8 * py);
    } else {
        list.SetVisible(false);
        label.SetVisible(false);
        left = 8 * px;
    }
    props.SetLeft(left);

    // A sub-panel keeps its designed height while it fits, shrinks to what
    // is left under its top, and goes when less than 48 px would remain.
    auto fit = [&](plat::forms::Control& panel, int32_t designed) {
        if (file.Height() > panel.Top() + designed + 8 * py) {
            panel.SetHeight(designed);
            return true;
        }
        const int32_t room = file.Height() - panel.Top() - 8 * py;
        if (room < 48 * py) return false;
        panel.SetHeight(panel.Height() > designed ? designed : room);
        return true;
    };
    const bool dest_shown = fit(dest, m_designed.dest_height);
    dest.SetVisible(dest_shown);
    bool criteria_shown = false;
    if (dest_shown) {
        criteria_shown = fit(criteria, m_designed.criteria_height);
        if (criteria_shown) criteria.SetTop(dest.Top() + dest.Height() + m_designed.file_gap);
    }
    criteria.SetVisible(criteria_shown);

    if (props.Width() + 16 * px > tabs.Width())
        props.SetWidth(tabs.Width() - 16 * px);
    else
        props.SetWidth(m_designed.properties_width);
}

} // namespace kld::ui
