// Start-up and the document flow: new, open, save, the questions around
// them, the caption, the file dialogs, the view style and the help document.
#include <filesystem>
#include <unistd.h>

#include "KLDesigner/builder/designer.h"
#include "KLDesigner/builder/utilities.h"
#include "KLDesigner/builder/vb.h"
#include "platform/sys/paths.h"
#include "platform/sys/process.h"

namespace kld {

namespace {

const char* kDescriptionFilter = "Update Description Files (*.kld)|*.kld|All Files (*.*)|*.*";

std::string CurrentFolder() {
    char buf[4096];
    return getcwd(buf, sizeof buf) ? std::string(buf) : std::string();
}

// The command line's file: quotes and blanks around it removed; a relative
// name is looked for in the current folder, then in the program's folder,
// and made absolute where it is found. A name found nowhere stays as given,
// so opening it reports it missing.
std::string StartupArgument(const std::string& commandLine, const std::string& programFolder) {
    std::string name = vb::Trim(commandLine);
    if (name.size() >= 2 && name.front() == '"' && name.back() == '"')
        name = vb::Trim(name.substr(1, name.size() - 2));
    if (name.empty() || plat::is_absolute_path(name)) return name;
    for (const std::string& folder : {CurrentFolder(), programFolder}) {
        if (folder.empty()) continue;
        const std::string candidate = plat::join_path(folder, NativePath(name));
        if (FileExists(candidate)) return candidate;
    }
    return name;
}

} // namespace

void Designer::Main(const std::string& commandLine, const std::string& programFolder) {
    InitGlobals(programFolder);
    CreateRecentFilesMenu();
    CenterForm(Form::Main);
    LoadSettings();
    FillComboLists();
    m_host.RefreshControls();
    const std::string name = StartupArgument(commandLine, AppPath);
    if (!name.empty()) StartupFileName = name;
    if (!StartupFileName.empty() && StartupFileName != kNoDocument) {
        OpenDocument(StartupFileName);
        std::string folder, file;
        SplitPath(StartupFileName, folder, file);
        LastDialogFolder = folder;
        StartupFileName = kNoDocument;
    } else {
        RefreshFormCaption();
    }
    m_host.ShowMainForm();
    if (m_tree.ListCount() >= 1) m_tree.SetListIndex(0);
}

void Designer::InitGlobals(const std::string& programFolder) {
    TwipsPerPixelX = m_host.TwipsPerPixelX();
    TwipsPerPixelY = m_host.TwipsPerPixelY();
    EditEventsEnabled = false;
    ActionListViewStyle = -1;
    AppPath = programFolder;
    LastDialogFolder = programFolder;
    AppTitle = kAppTitle;
    Product.ProductName.clear();
    ActionCount = 0;
    UpdateFileCounter = 0;
    CancelRequested = false;
    CurrentFileName = kNoDocument;
    DocumentModified = false;
    RefreshFormCaption();
}

void Designer::CreateRecentFilesMenu() {
    m_host.SetRecentMenuVisible(1, false);
    for (int32_t i = 2; i <= 4; ++i) {
        m_host.LoadRecentMenuItem(i);
        m_host.SetRecentMenuVisible(i, false);
        m_host.SetRecentMenuCaption(i, "&" + std::to_string(i));
    }
}

void Designer::CenterForm(Form form) {
    const FormPlacement p = m_host.GetPlacement(form);
    if (p.state != 0) return;
    const int32_t left = vb::CLng(m_host.ScreenWidth() - p.width) / 2;
    const int32_t top = vb::CLng(m_host.ScreenHeight() - p.height) / 2;
    m_host.MoveForm(form, left, top, p.width, p.height);
}

void Designer::OpenDocument(const std::string& name) {
    if (name.empty() || name == kNoDocument || PrepareRunning) return;
    if (!FileExists(name)) {
        Message("File '" + name + "' not found.", mb::Exclamation);
        return;
    }
    if (!m_bridge.LoadTreeFromFile(*this, NativePath(name))) return;
    LoadDocumentFromBuffer();
    CurrentFileName = name;
    AddRecentFile(CurrentFileName);
    DocumentModified = false;
    m_host.RefreshControls();
    m_host.ResizeForm();
    m_host.SetMaskPassword(false);
    m_host.SelectListRow(ListBox::lstInstallCriterias, 0);
    m_host.SelectListRow(ListBox::lstProductPathes, 0);
    m_host.ShowTab(tab::Product);
    m_host.SelectAllAndFocus(Control::txtProductName);
    RefreshFormCaption();
}

void Designer::NewDocument() {
    if (PrepareRunning) return;
    ClearProduct();
    Product.ProductName = kNewProductName;
    ClearOperations();
    DocumentModified = false;
    CurrentFileName.clear();
    RefreshFormCaption();
    m_host.ResizeForm();
    m_host.RefreshControls();
    m_host.SetMaskPassword(false);
    m_host.SelectListRow(ListBox::lstInstallCriterias, 0);
    m_host.SelectListRow(ListBox::lstProductPathes, 0);
    m_host.ShowTab(tab::Product);
    m_host.SelectAllAndFocus(Control::txtProductName);
}

void Designer::LoadDocumentFromBuffer() {
    ClearProduct();
    Product.ProductName = " ";
    ClearOperations();
    m_bridge.ReadDescriptionFromTree(*this);
    m_bridge.FillOperationsTree(*this);
}

bool Designer::SaveDocument() {
    m_bridge.StoreDescriptionInTree(*this);
    std::string target;
    if (!CurrentFileName.empty() && CurrentFileName != kNoDocument)
        target = CurrentFileName;
    else
        target = ShowSaveDialog(kDescriptionFilter, LastDialogFolder, "Untitled.KLD",
                                "Save Update Description To File");
    if (target.empty() || target == kNoDocument || target == kCancelled) return false;
    if (!m_bridge.SaveTreeToFile(*this, NativePath(target))) return false;
    if (CurrentFileName.empty()) {
        CurrentFileName = target;
        AddRecentFile(CurrentFileName);
    }
    DocumentModified = false;
    m_host.RefreshToolbar(true);
    RefreshFormCaption();
    std::string folder, file;
    SplitPath(target, folder, file);
    LastDialogFolder = folder;
    return true;
}

void Designer::SetDocumentChanged() {
    if (DocumentModified) return;
    DocumentModified = true;
    m_host.DisplaySaveButtons(true);
}

void Designer::RefreshFormCaption() {
    std::string name;
    if (CurrentFileName == kNoDocument)
        name.clear();
    else if (!CurrentFileName.empty())
        name = CurrentFileName;
    else
        name = "<new description>";
    m_host.SetCaption(AppTitle + "  " + name);
}

std::string Designer::ShowOpenDialog(const std::string& filter, bool fileMustExist,
                                     const std::string& startFolder, const std::string& fileName,
                                     const std::string& title, bool programs) {
    plat::ui::FileRequest r;
    r.filter = filter;
    r.programs = programs;
    r.must_exist = fileMustExist;
    r.initial_folder = startFolder;
    r.file_name = fileName;
    r.title = title;
    auto chosen = m_prompt.choose_open_file(r);
    if (chosen) return *chosen;
    return fileName.empty() ? kCancelled : "";
}

std::string Designer::ShowSaveDialog(const std::string& filter, const std::string& startFolder,
                                     const std::string& fileName, const std::string& title) {
    plat::ui::FileRequest r;
    r.filter = filter;
    r.initial_folder = startFolder;
    r.file_name = fileName;
    r.title = title;
    r.overwrite_prompt = true;
    auto chosen = m_prompt.choose_save_file(r);
    return chosen ? *chosen : std::string();
}

bool Designer::AskSaveChanges(bool ask) {
    if (!DocumentModified) return true;
    if (!ask) return SaveDocument();
    switch (Message("Update description has changed. Do you want to save changes ?",
                    mb::YesNoCancel | mb::Exclamation)) {
    case plat::ui::MsgAnswer::Yes:
        return SaveDocument();
    case plat::ui::MsgAnswer::No:
        return true;
    default:
        return false;
    }
}

void Designer::SaveSettingsOnExit() {
    SaveSettings();
    if (!AppPath.empty() && ::chdir(AppPath.c_str()) != 0) {
        // The program's folder may be gone; staying where we are is harmless.
    }
    m_host.UnloadForm(Form::About);
    m_host.UnloadForm(Form::Progress);
}

void Designer::SetActionListViewStyle(int16_t style) {
    if (style == ActionListViewStyle || (style != 0 && style != 1)) return;
    ActionListViewStyle = style;
    m_tree.SetRedraw(false);
    const int32_t count = m_tree.ListCount();
    for (int32_t i = 0; i < count; ++i) {
        TreeValue shift = m_tree.Shift(i);
        if (shift.ok() && shift.value == 0) m_tree.SetItemGridVisible(i, style == 1);
    }
    m_tree.SetRedraw(true);
    m_host.ResizeSceneryTab();
    m_host.RefreshOperAttributes(0);
    m_host.RefreshToolbar(true);
}

void Designer::ShowHelpDocument() {
    const std::string document = plat::join_path(AppPath, "KLDesigner.DOC");
    const std::string editor = vb::Trim(GetWordPadPath());
    // The registered editor when there is one, else the desktop's opener.
    std::vector<std::string> argv = editor.empty() ? std::vector<std::string>{"xdg-open", document}
                                                   : std::vector<std::string>{NativePath(editor), document};
    plat::Process p;
    if (p.start(argv) != plat::SysError::Success)
        Message("WordPad.Exe cannot open KLDesigner.DOC file.", mb::Exclamation);
}

} // namespace kld
