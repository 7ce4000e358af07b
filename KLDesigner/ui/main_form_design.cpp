#include "KLDesigner/ui/main_form_design.h"

namespace kld::ui {

namespace {

constexpr ControlDesign kControls[] = {
    {Kind::Panel, "pnlToolbar", -1, nullptr, 0, 0, 9600, 540, "", "", true, 2},
    {Kind::Panel, "pnlMain", -1, nullptr, 0, 540, 9600, 6060, "", "", true, 0},
    {Kind::TabStrip, "ctlTabs", -1, "pnlMain", 120, 120, 9360, 5820, "", "", true, 6},
    // Product
    {Kind::Frame, "pnlProductAttributes", -1, "ctlTabs#0", 180, 480, 9000, 3240, "Product"},
    {Kind::CommandButton, "cmdProductIcon", -1, "pnlProductAttributes", 7320, 1200, 1095, 315, "Browse..."},
    {Kind::CommandButton, "cmdWhatsNewFile", -1, "pnlProductAttributes", 7320, 2040, 1095, 315, "Browse..."},
    {Kind::CommandButton, "cmdAdvertismentFile", -1, "pnlProductAttributes", 7320, 2520, 1095, 315,
     "Browse..."},
    // Location
    {Kind::Frame, "pnlLocation", -1, "ctlTabs#1", 180, 480, 9000, 2400, "Location"},
    // Installation
    {Kind::Frame, "pnlInstallCriterias", -1, "ctlTabs#2", 180, 480, 9000, 2880, "Installation Criteria"},
    {Kind::ComboBox, "cboInstallCriteriaRegKey", -1, "pnlInstallCriterias", 240, 1320, 8640, 315, "", "",
     true, 0},
    {Kind::TextBox, "txtInstallCriteriaRegValue", -1, "pnlInstallCriterias", 240, 1920, 8640, 285},
    // Destination
    {Kind::Frame, "pnlInstallPathes", -1, "ctlTabs#3", 180, 480, 9000, 2880, "Destination"},
    {Kind::ComboBox, "cboProductDestinationPath", -1, "pnlInstallPathes", 240, 720, 8640, 315, "", "", true,
     0},
    {Kind::ComboBox, "cboProductDestinationRegKey", -1, "pnlInstallPathes", 240, 1320, 8640, 315, "", "",
     true, 0},
    {Kind::TextBox, "txtProductDestinationRegValue", -1, "pnlInstallPathes", 240, 1920, 8640, 285},
    // Downloading
    {Kind::Frame, "pnlChunks", -1, "ctlTabs#4", 180, 480, 9000, 1920, "Downloading"},
    // Actions
    {Kind::Label, "lblOperationList", -1, "ctlTabs#5", 120, 480, 3000, 255, "Actions:"},
    {Kind::Frame, "pnlOperationProperties", -1, "ctlTabs#5", 3960, 480, 5280, 5040, "Action Properties"},
    {Kind::Panel, "pnlOperationFile", -1, "pnlOperationProperties", 30, 30, 5220, 4980, "", "", true, 0},
    {Kind::Frame, "pnlOperFile", -1, "pnlOperationFile", 60, 210, 5100, 1860, "File"},
    {Kind::Frame, "pnlOperDestFolder", -1, "pnlOperationFile", 60, 2130, 5100, 2040, "Destination Folder"},
    {Kind::Frame, "pnlOperFileCriteria", -1, "pnlOperationFile", 60, 4230, 5100, 2700, "Criteria"},
    {Kind::Panel, "pnlOperationRegistry", -1, "pnlOperationProperties", 30, 30, 5220, 4980, "", "", false, 0},
};

constexpr ButtonPairDesign kPairs[] = {
    {"cmdNew", 90, 90, true, "Create New Update Description", "Create new update description"},
    {"cmdOpen", 435, 90, true, "Open Update Description File", "Open update description file"},
    {"cmdSave", 780, 90, true, "Save Update Description", "Save update description"},
    {"cmdPrint", 1200, 90, true, "Print Action List", "Print Action List"},
    {"cmdUpdateOperInfo", 1620, 90, true, "Validate File(s) Information", "Update File(s) Information"},
    {"cmdMakeStuff", 2040, 90, true, "Create INF File", "Create INF File"},
    {"cmdNewCopyFile", 2460, 90, true, "Add \"Install File\" Action Group", ""},
    {"cmdNewExecuteFile", 2805, 90, true, "Add \"Execute File\" Action Group", ""},
    {"cmdNewItem", 3150, 90, true, "Add \"Install File\" Action", "Add \"Install File\" Operation"},
    {"cmdMoveDown", 3495, 90, true, "Move Action Down", ""},
    {"cmdMoveUp", 3840, 90, true, "Move Action Up", ""},
    {"cmdDuplicate", 4185, 90, true, "Duplicate Action", ""},
    {"cmdDelete", 4530, 90, true, "Delete Action", ""},
    {"cmdNewRegistryKey", 6600, 330, false, "Add \"Create Registry Key / Set Value Data\" Operation Group",
     ""},
    {"cmdDelRegistryKey", 6945, 330, false, "Add \"Delete Registry Key\" Operation Group", ""},
    {"cmdNewGroupItem", 7440, 345, false, "Add \"Install Folder\" Operation",
     "Add \"Install Folder\" Operation"},
};

constexpr MenuDesign kMenus[] = {
    {"mnuFile", -1, nullptr, "&File"},
    {"mnuFileNew", -1, "mnuFile", "&New Update Description", "Ctrl+N"},
    {"mnuFileOpen", -1, "mnuFile", "&Open Update Description...", "Ctrl+O"},
    {"mnuFileSave", -1, "mnuFile", "&Save Update Description", "Ctrl+S"},
    {"mnuFileSaveAs", -1, "mnuFile", "Save Update Description &As File..."},
    {"mnuSep5", -1, "mnuFile", "-"},
    {"mnuFilePrepare", -1, "mnuFile", "Create &INF File"},
    {"mnuSep0", -1, "mnuFile", "-"},
    {"mnuFilePrintTree", -1, "mnuFile", "&Print Action List"},
    {"mnuSep2", -1, "mnuFile", "-"},
    {"mnuFileRecentlyUsedKLD", 1, "mnuFile", "&1"},
    {"mnuFileRecentlyUsedKLDSep", -1, "mnuFile", "-", "", false},
    {"mnuFileExit", -1, "mnuFile", "E&xit"},

    {"mnuEdit", -1, nullptr, "&Edit"},
    {"mnuEditNewOperation", -1, "mnuEdit", "New Action &Group..."},
    {"mnuEditNewOperationUpdateFile", -1, "mnuEditNewOperation", "&Install Files"},
    {"mnuEditNewOperationExecuteFile", -1, "mnuEditNewOperation", "&Execute Files"},
    {"mnuEditNewOperationCreateRegKey", -1, "mnuEditNewOperation", "&Create Registry Keys / Set Values", "",
     false},
    {"mnuEditNewOperationDeleteRegKey", -1, "mnuEditNewOperation", "&Delete Registry Keys", "", false},
    {"mnuEditNewOperationItem", -1, "mnuEdit", "&New Action..."},
    {"mnuEditNewOperationItemFile", -1, "mnuEditNewOperationItem", "Install &File"},
    {"mnuEditNewOperationItemFolder", -1, "mnuEditNewOperationItem", "Install F&older", "", false},
    {"mnuEditDuplicateOperation", -1, "mnuEdit", "Du&plicate"},
    {"mnuEditDeleteOperation", -1, "mnuEdit", "&Delete"},
    {"mnuSep1", -1, "mnuEdit", "-"},
    {"mnuEditMoveOperationUp", -1, "mnuEdit", "Move &Up"},
    {"mnuEditMoveOperationDown", -1, "mnuEdit", "Move Do&wn"},

    {"mnuView", -1, nullptr, "&View"},
    {"mnuViewTab", 0, "mnuView", "&Product"},
    {"mnuViewTab", 1, "mnuView", "&Location"},
    {"mnuViewTab", 2, "mnuView", "&Installation"},
    {"mnuViewTab", 3, "mnuView", "&Destination"},
    {"mnuViewTab", 4, "mnuView", "Do&wnload"},
    {"mnuViewTab", 5, "mnuView", "&Action List"},
    {"mnuSep3", -1, "mnuView", "-"},
    {"mnuViewActionListStyle", 0, "mnuView", "View Actions / &Edit Action Properties"},
    {"mnuViewActionListStyle", 1, "mnuView", "View Actions As Tree &Grid"},

    {"mnuTools", -1, nullptr, "&Tools"},
    {"mnuToolsUpdateOperation", -1, "mnuTools", "&Validate File(s) Information", "F5"},

    {"mnuHelp", -1, nullptr, "&Help"},
    {"mnuHelpContents", -1, "mnuHelp", "Contents", "F1"},
    {"mnuHelpAbout", -1, "mnuHelp", "&About MV Kestrelite Designer..."},
};

constexpr const char* kTabCaptions[] = {"&Product ",    "&Location",    "&Installation",
                                        "&Destination", "Do&wnloading", "&Actions"};

} // namespace

std::span<const ControlDesign> MainControls() {
    return kControls;
}
std::span<const ButtonPairDesign> ToolbarPairs() {
    return kPairs;
}
std::span<const MenuDesign> MainMenus() {
    return kMenus;
}
std::span<const char* const> TabCaptions() {
    return kTabCaptions;
}

} // namespace kld::ui
