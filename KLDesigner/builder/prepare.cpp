// Prepare: check the output folder and the description, empty the folder,
// make the update files and write the INF files, with progress and cancel.
#include <filesystem>

#include "KLDesigner/builder/designer.h"
#include "KLDesigner/builder/utilities.h"
#include "KLDesigner/builder/vb.h"
#include "platform/sys/files.h"
#include "platform/sys/paths.h"

namespace fs = std::filesystem;

namespace kld {

namespace {

// Clears the running flag however Prepare ends.
class RunningFlag {
  public:
    explicit RunningFlag(bool& flag) : m_flag(flag) { m_flag = true; }
    ~RunningFlag() { m_flag = false; }
    RunningFlag(const RunningFlag&) = delete;
    RunningFlag& operator=(const RunningFlag&) = delete;

  private:
    bool& m_flag;
};

std::string Canonical(const std::string& native) {
    std::error_code ec;
    fs::path p = fs::weakly_canonical(fs::path(native), ec);
    std::string s = (ec ? fs::path(native) : p).lexically_normal().string();
    while (s.size() > 1 && s.back() == '/')
        s.pop_back();
    return s;
}

// True when `inside` is `folder` or lies below it.
bool IsAtOrBelow(const std::string& inside, const std::string& folder) {
    if (inside == folder) return true;
    if (folder == "/") return true;
    return inside.size() > folder.size() && inside.compare(0, folder.size(), folder) == 0 &&
           inside[folder.size()] == '/';
}

std::string FileNamePart(std::string_view path) {
    std::string folder, name;
    SplitPath(path, folder, name);
    return name;
}

} // namespace

bool Designer::ValidateDescription() {
    return ValidateProductSettings() && ValidateActions();
}

void Designer::PrepareUpdate() {
    // One build at a time: the message loop runs while files are made.
    if (PrepareRunning) return;
    RunningFlag running(PrepareRunning);

    auto stopAtField = [&] {
        m_host.ShowTab(tab::Location);
        m_host.SelectAllAndFocus(Control::txtKLDTempPath);
    };

    std::string F = Product.OutputFolder;
    // Only an absolute folder will do; a drive-letter text counts once its
    // "\" are "/".
    if (vb::IsBlank(F) || !NativePath(vb::Trim(F)).starts_with("/")) {
        Message(
            "Update output folder is not specified or has incorrect value. Please, specify it and try again.",
            mb::Exclamation);
        stopAtField();
        return;
    }
    bool trimmed = false;
    while (F.size() > 1 && plat::is_separator(F.back())) {
        F.pop_back();
        trimmed = true;
    }
    if (trimmed) {
        Product.OutputFolder = F;
        m_host.RefreshLocationTab(1);
    }

    const std::string out = OutputPath();
    std::string reason;
    if (IsSystemFolder(F, AppPath)) {
        reason = out == "/" || vb::Trim(F).size() == 2 ? "This folder is a disk drive root folder"
                                                       : "This folder may contain system components";
    } else {
        // Clearing a folder that holds what the build reads would destroy it.
        const std::string folder = Canonical(out);
        std::vector<std::string> inputs;
        for (const std::string* p : {&Product.IconFile, &Product.AdvertisementFile, &Product.WhatsNewFile})
            if (!vb::IsBlank(*p)) inputs.push_back(NativePath(vb::Trim(*p)));
        if (!CurrentFileName.empty() && CurrentFileName != kNoDocument)
            inputs.push_back(NativePath(CurrentFileName));
        const int32_t count = m_tree.ListCount();
        for (int32_t pos = 0; pos < count; ++pos) {
            TreeValue v = m_tree.ItemLngValue(pos);
            if (!v.ok() || !IsRecordIndex(v.value)) continue;
            const ActionRecord& r = Actions[static_cast<size_t>(v.value)];
            if (r.ActionType != action::InstallFile && r.ActionType != action::ExecuteFile) continue;
            if (r.IsGroup && !vb::IsBlank(r.SourceFolder))
                inputs.push_back(NativePath(vb::Trim(r.SourceFolder)));
            if (!r.IsGroup) {
                TreeValue parentPos = m_tree.ItemParent(pos);
                TreeValue parent =
                    parentPos.ok() ? m_tree.ItemLngValue(parentPos.value) : TreeValue{0, kBadPosition};
                if (parent.ok() && IsRecordIndex(parent.value) && !vb::IsBlank(r.SourcePath))
                    inputs.push_back(SourceFilePath(Actions[static_cast<size_t>(parent.value)].SourceFolder,
                                                    r.SourcePath));
            }
        }
        for (const std::string& input : inputs)
            if (!input.empty() && IsAtOrBelow(Canonical(input), folder))
                reason = "This folder holds sources of this update description";
    }
    if (!reason.empty()) {
        Message("You specified '" + F +
                    "' as the update output folder.\n"
                    "Contents of this folder will be permanently deleted before creating update stuff.\n" +
                    reason +
                    " and cannot be used as update output folder.\n"
                    "Please, specify another update output folder and try again.",
                mb::Exclamation);
        stopAtField();
        return;
    }

    if (!ValidateDescription()) return;

    if (Message("You are about to create update stuff and INF file in the '" + F +
                    "' folder.\n"
                    "This operation can take some seconds.\n"
                    "Do you want to proceed ?",
                mb::YesNo | mb::Question | mb::DefaultButton2) != plat::ui::MsgAnswer::Yes)
        return;

    if (!CreateFolder(out)) {
        Message("Cannot create update output folder '" + F +
                    "'.\nPlease, verify update output folder name and try again.",
                mb::Exclamation);
        stopAtField();
        return;
    }

    while (!IsFolderEmpty(out)) {
        if (Message("The update output folder '" + F +
                        "' is not empty.\n"
                        "Do you want to permanently remove all files and subfolders from the update output "
                        "folder ?",
                    mb::YesNo | mb::Exclamation | mb::DefaultButton2) != plat::ui::MsgAnswer::Yes)
            return;
        m_host.SetBusy(true);
        std::string remaining;
        const bool cleared = ClearFolder(out, &remaining);
        m_host.SetBusy(false);
        if (!cleared) {
            // Asking again would only meet the same file.
            Message("Cannot remove '" + remaining + "' from the update output folder '" + F +
                        "'.\n"
                        "Please, remove it and try again.",
                    mb::Exclamation);
            return;
        }
    }

    CancelRequested = false;
    if (BuildUpdateFiles()) {
        if (WriteProductINF()) {
            m_host.ProgressStatus(100);
            m_host.HideProgress();
            m_host.ShowMainForm();
            if (WriteProductsINF()) {
                Message("Product INF file was created successfully.\n"
                        "PRODUCTS.INF file was created successfully.\n"
                        "Update stuff was created successfully.\n\n"
                        "All the files are located in the '" +
                            F +
                            "' update output folder.\n\n"
                            "To access created update via the Internet, do the following:\n\n"
                            "1. Move product INF file and update stuff to the '" +
                            Product.WebLocation +
                            "' Web folder.\n"
                            "2. Copy lines from newly created PRODUCTS.INF file to your Web-located "
                            "PRODUCTS.INF file.",
                        mb::Information);
            }
        }
    } else if (CancelRequested) {
        m_host.SetBusy(true);
        ClearFolder(out);
        m_host.SetBusy(false);
    }
    CancelRequested = false;
    m_host.HideProgress();
    m_host.ShowMainForm();
}

bool Designer::BuildUpdateFiles() {
    std::string errorText, sourcePath;
    int32_t current = 0;
    const std::string out = OutputPath();
    m_host.SetBusy(true);

    auto failure = [&] {
        if (m_tree.ListIndex() != current) m_tree.SetListIndex(current);
        m_host.HideProgress();
        m_host.SetBusy(false);
        if (CancelRequested)
            Message("Operation was cancelled by the user.\nUpdate stuff and INF file have not been created.",
                    mb::Exclamation);
        else
            Message("Cannot copy file '" + sourcePath +
                        "'\nto the update output folder. Error: " + errorText + "\n",
                    mb::Exclamation);
        return false;
    };

    struct {
        const std::string& value;
        const char* label;
    } productFiles[] = {{Product.IconFile, "icon file name"},
                        {Product.AdvertisementFile, "advertisment file name"},
                        {Product.WhatsNewFile, "What's New file name"}};
    for (const auto& pf : productFiles) {
        errorText = pf.label;
        sourcePath = pf.value;
        if (vb::IsBlank(pf.value)) continue;
        const std::string target = plat::join_path(out, FileNamePart(pf.value));
        if (FileExists(target) && plat::delete_file(target) != plat::SysError::Success) return failure();
        if (plat::copy_file(NativePath(vb::Trim(pf.value)), target, true) != plat::SysError::Success)
            return failure();
    }

    errorText.clear();
    const int32_t remembered = m_tree.ListIndex();
    ZipProgress.total = ComputeBuildTotals();
    UpdateFileCounter = 0;
    ZipProgress.done = 0;
    m_host.ShowProgress();
    m_host.ProgressStatus(0);

    const int32_t last = m_tree.ListCount() - 1;
    for (int32_t p = 0; p <= last; ++p) {
        current = p;
        errorText.clear();
        TreeValue v = m_tree.ItemLngValue(p);
        if (!v.ok()) continue;
        const int32_t idx = static_cast<int16_t>(v.value);
        if (!IsRecordIndex(idx)) continue;
        const ActionRecord& r = Actions[static_cast<size_t>(idx)];
        if ((r.ActionType != action::InstallFile && r.ActionType != action::ExecuteFile) || r.IsGroup)
            continue;
        std::string folder;
        TreeValue parentPos = m_tree.ItemParent(p);
        TreeValue parent = parentPos.ok() ? m_tree.ItemLngValue(parentPos.value) : TreeValue{0, kBadPosition};
        if (parent.ok() && IsRecordIndex(parent.value))
            folder = Actions[static_cast<size_t>(parent.value)].SourceFolder;
        sourcePath = SourceFilePath(folder, r.SourcePath);
        if (FileExists(sourcePath) && plat::is_file(sourcePath)) {
            ++UpdateFileCounter;
            if (!MakeUpdateFile(idx, sourcePath, errorText)) return failure();
        } else {
            errorText = "file not found. Please, fix the problem and try again.";
            return failure();
        }
    }
    m_host.ProgressStatus(99);
    m_tree.SetListIndex(remembered);
    m_host.SetBusy(false);
    return true;
}

double Designer::ComputeBuildTotals() {
    double total = 0;
    const int32_t last = m_tree.ListCount() - 1;
    for (int32_t p = 0; p <= last; ++p) {
        TreeValue v = m_tree.ItemLngValue(p);
        if (!v.ok() || !IsRecordIndex(v.value)) continue;
        const ActionRecord& r = Actions[static_cast<size_t>(v.value)];
        if (r.IsGroup) continue;
        if (r.ActionType == action::InstallFile && r.IsFolder) continue;
        if (r.ActionType != action::InstallFile && r.ActionType != action::ExecuteFile) continue;
        TreeValue parentPos = m_tree.ItemParent(p);
        if (!parentPos.ok()) continue;
        TreeValue parent = m_tree.ItemLngValue(parentPos.value);
        if (!parent.ok() || !IsRecordIndex(parent.value)) continue;
        const std::string& folder = Actions[static_cast<size_t>(parent.value)].SourceFolder;
        if (vb::IsBlank(folder)) continue;
        const std::string path = SourceFilePath(folder, r.SourcePath);
        if (FileExists(path)) total += static_cast<double>(plat::file_length(path).value_or(0));
    }
    return total;
}

} // namespace kld
