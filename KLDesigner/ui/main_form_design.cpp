#include "KLDesigner/ui/main_form_design.h"

namespace kld::ui {

namespace {

constexpr ControlDesign kControls[] = {
    {Kind::Panel, "pnlToolbar", -1, nullptr, 0, 0, 9600, 540, "", "", true, 2},
    {Kind::Panel, "pnlMain", -1, nullptr, 0, 540, 9600, 6060, "", "", true, 0},
    {Kind::TabStrip, "ctlTabs", -1, "pnlMain", 120, 120, 9360, 5820, "", "", true, 6},
    // Product
    {Kind::Frame, "pnlProductAttributes", -1, "ctlTabs#0", 180, 480, 9000, 3240, "Product"},
    {Kind::Label, "lblProductName", -1, "pnlProductAttributes", 240, 405, 1860, 255, "Product Name"},
    {Kind::TextBox, "txtProductName", -1, "pnlProductAttributes", 2160, 360, 5040, 315, "", "Product Name"},
    {Kind::Label, "lblManufacturer", -1, "pnlProductAttributes", 240, 825, 1860, 255, "Manufacturer"},
    {Kind::TextBox, "txtManufacturer", -1, "pnlProductAttributes", 2160, 780, 5040, 315, "",
     "Manufacturer Name"},
    {Kind::Label, "lblProductIcon_", -1, "pnlProductAttributes", 240, 1245, 1860, 255, "Icon File"},
    {Kind::TextBox, "txtIconFile", -1, "pnlProductAttributes", 2160, 1200, 5040, 315, "", "Product Icon File"},
    {Kind::CommandButton, "cmdProductIcon", -1, "pnlProductAttributes", 7320, 1200, 1095, 315, "Browse..."},
    {Kind::PictureBox, "picProductIcon", -1, "pnlProductAttributes", 2160, 1560, 480, 480, "", "Product Icon"},
    {Kind::Label, "lblWhatsNewText", -1, "pnlProductAttributes", 240, 2085, 1860, 255, "\"What's New\" File"},
    {Kind::TextBox, "txtWhatsNewFile", -1, "pnlProductAttributes", 2160, 2040, 5040, 315, "",
     "File Describing What This Update Does"},
    {Kind::CommandButton, "cmdWhatsNewFile", -1, "pnlProductAttributes", 7320, 2040, 1095, 315, "Browse..."},
    {Kind::Label, "lblAdvertismentText", -1, "pnlProductAttributes", 240, 2565, 1860, 255,
     "Advertisment File"},
    {Kind::TextBox, "txtAdvertismentFile", -1, "pnlProductAttributes", 2160, 2520, 5040, 315, "",
     "File Containing Advertisment Text"},
    {Kind::CommandButton, "cmdAdvertismentFile", -1, "pnlProductAttributes", 7320, 2520, 1095, 315,
     "Browse..."},
    // Location
    {Kind::Frame, "pnlLocation", -1, "ctlTabs#1", 180, 480, 9000, 1920, "Location"},
    {Kind::Label, "lblInternetPath", -1, "pnlLocation", 240, 405, 2400, 255, "Web Location"},
    {Kind::TextBox, "txtInternetPath", -1, "pnlLocation", 2640, 360, 5700, 315, "",
     "Location Where The Update Stuff Will Be Stored On The Web"},
    {Kind::Label, "lblINFFile", -1, "pnlLocation", 240, 825, 2400, 255, "INF File Name"},
    {Kind::TextBox, "txtINFFile", -1, "pnlLocation", 2640, 780, 5700, 315, "",
     "File Name Of The Update INF File (Without Path, Stored In The KLDesigner Output Folder)"},
    {Kind::Label, "lblKLDTempPath", -1, "pnlLocation", 240, 1245, 2400, 255, "KLDesigner Output Folder"},
    {Kind::TextBox, "txtKLDTempPath", -1, "pnlLocation", 2640, 1200, 4560, 315, "",
     "Folder Where Prepared Update Stuff Will Be Stored On This Computer"},
    {Kind::CommandButton, "cmdKLDTempPath", -1, "pnlLocation", 7320, 1200, 1095, 315, "Browse..."},
    // Installation
    {Kind::OptionButton, "optUpdateOld", -1, "ctlTabs#2", 300, 420, 3900, 255, "Update Installed Product Only",
     "Update Only Installed Product"},
    {Kind::OptionButton, "optInstallNew", -1, "ctlTabs#2", 4320, 420, 4500, 255, "Install New Product",
     "Install Product Update Even If The User Has Not It Installed"},
    {Kind::Frame, "pnlInstallCriterias", -1, "ctlTabs#2", 180, 780, 9000, 3360,
     "Assume Product As Installed If The Registry Key Exists"},
    {Kind::ListBox, "lstInstallCriterias", -1, "pnlInstallCriterias", 240, 360, 2520, 1560, "",
     "List Of Criterias Whether The Product Is Installed On User's PC"},
    {Kind::OptionButton, "optInstallCriteriaType", 0, "pnlInstallCriterias", 2940, 360, 5940, 255,
     "Not Specified"},
    {Kind::OptionButton, "optInstallCriteriaType", 1, "pnlInstallCriterias", 2940, 630, 5940, 255,
     "If Registry Key Value Exists"},
    {Kind::OptionButton, "optInstallCriteriaType", 2, "pnlInstallCriterias", 2940, 900, 5940, 255,
     "If Disk File Exists"},
    {Kind::OptionButton, "optInstallCriteriaType", 3, "pnlInstallCriterias", 2940, 1170, 5940, 255,
     "If Disk Folder Exists"},
    {Kind::OptionButton, "optInstallCriteriaType", 4, "pnlInstallCriterias", 2940, 1440, 5940, 255,
     "If Disk File Specified In Registry Key Value Exists"},
    {Kind::OptionButton, "optInstallCriteriaType", 5, "pnlInstallCriterias", 2940, 1710, 5940, 255,
     "If Disk Folder Specified In Registry Key Value Exists"},
    {Kind::Label, "lblInstallCriteria", -1, "pnlInstallCriterias", 240, 2145, 1020, 255},
    {Kind::ComboBox, "cboInstallCriteriaRegKey", -1, "pnlInstallCriterias", 1320, 2100, 7560, 315, "", "",
     true, 0},
    {Kind::ComboBox, "cboInstallCriteriaPath", -1, "pnlInstallCriterias", 1320, 2100, 7560, 315, "", "",
     true, 0},
    {Kind::Label, "lblInstallCriteria_2", -1, "pnlInstallCriterias", 240, 2565, 1020, 255, "Value"},
    {Kind::TextBox, "txtInstallCriteriaRegValue", -1, "pnlInstallCriterias", 1320, 2520, 7560, 315},
    {Kind::Label, "lblInstallEdition", -1, "pnlInstallCriterias", 240, 2985, 4020, 255,
     "If Criteria Is True Assume Installed Edition As"},
    {Kind::TextBox, "txtInstallEdition", -1, "pnlInstallCriterias", 4320, 2940, 1200, 315, "",
     "True criteria means that specified product edition was installed"},
    // Destination
    {Kind::Label, "lblInstallWinVersion", -1, "ctlTabs#3", 300, 465, 1920, 255, "Destination Platforms"},
    {Kind::ComboBox, "cboInstallWinVersion", -1, "ctlTabs#3", 2280, 420, 3000, 315, "", "Operating System(s)",
     true, 2},
    {Kind::Frame, "pnlInstallPathes", -1, "ctlTabs#3", 180, 840, 9000, 2940, "Product Destination (%PRODUCT%)"},
    {Kind::ListBox, "lstProductPathes", -1, "pnlInstallPathes", 240, 360, 2520, 1020, "",
     "What Folder On User's PC Should Be Assumed As \"Product Main Folder\""},
    {Kind::OptionButton, "optInstallPathType", 0, "pnlInstallPathes", 2940, 360, 5940, 255, "Not Specified"},
    {Kind::OptionButton, "optInstallPathType", 1, "pnlInstallPathes", 2940, 630, 5940, 255, "Disk Folder"},
    {Kind::OptionButton, "optInstallPathType", 2, "pnlInstallPathes", 2940, 900, 5940, 255,
     "Disk Folder Specified In Registry Key Value"},
    {Kind::OptionButton, "optInstallPathType", 3, "pnlInstallPathes", 2940, 1170, 5940, 255, "Ask The User",
     "File Dialog Will Be Presented To The User"},
    {Kind::Label, "lblProductDestination", -1, "pnlInstallPathes", 240, 1605, 1020, 255},
    {Kind::ComboBox, "cboProductDestinationPath", -1, "pnlInstallPathes", 1320, 1560, 7560, 315, "",
     "Folder Where The Product Is Installed On The Client's Computer", true, 0},
    {Kind::ComboBox, "cboProductDestinationRegKey", -1, "pnlInstallPathes", 1320, 1560, 7560, 315, "",
     "Registry Key Where The Destination Folder Is Specified On The Client's Computer", true, 0},
    {Kind::Label, "lblProductDestination_2", -1, "pnlInstallPathes", 240, 2025, 1020, 255, "Value"},
    {Kind::TextBox, "txtProductDestinationRegValue", -1, "pnlInstallPathes", 1320, 1980, 7560, 315},
    {Kind::CheckBox, "chkInstallPathCreateNewFolder", -1, "pnlInstallPathes", 1320, 2430, 5400, 255,
     "Create New Folder If Does Not Exist"},
    // Downloading
    {Kind::Frame, "pnlChunks", -1, "ctlTabs#4", 180, 480, 9000, 3480, "Downloading Optimization"},
    {Kind::CheckBox, "chkDivideOntoChunks", -1, "pnlChunks", 240, 390, 3600, 255, "Divide Files Onto Chunks",
     "All The Files Will Be Divided Onto Chunks"},
    {Kind::TextBox, "txtDivideOntoChunks", -1, "pnlChunks", 3960, 360, 1200, 315, "", "Chunk Size"},
    {Kind::Label, "lblDivideOntoChunks", -1, "pnlChunks", 5280, 405, 900, 255, "KByte"},
    {Kind::CheckBox, "chkResumeDownloading", -1, "pnlChunks", 240, 810, 8520, 255,
     "Allow To The User Resume Interrupted Download",
     "The User Will Be Able To Download Only Remaining Files After Incomplete Download"},
    {Kind::Frame, "frmProtection", -1, "pnlChunks", 240, 1200, 8520, 1200, "Password Protection"},
    {Kind::CheckBox, "chkPasswordProtection", -1, "frmProtection", 180, 330, 5400, 255,
     "Protect The Update With Password",
     "Only Users Who Know This Password Will Be Able To Access The Update"},
    {Kind::TextBox, "txtPasswordProtection", -1, "frmProtection", 180, 705, 5400, 315, "", "Product name"},
    {Kind::CheckBox, "chkMaskPassword", -1, "frmProtection", 5760, 735, 2520, 255, "Mask Password"},
    {Kind::Frame, "pnlAutoUninstall", -1, "pnlChunks", 240, 2520, 8520, 780, "Uninstall"},
    {Kind::CheckBox, "chkAutoUninstall", -1, "pnlAutoUninstall", 180, 345, 8160, 255,
     "Allow To The User Uninstall The Update",
     "The User Will Be Able To Uninstall The Update With KL Uninstall Utility Later"},
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
