// The action check that Prepare runs after the product check: every file
// group and item in tree order, the first problem shown on its item.
#include <optional>

#include "KLDesigner/builder/designer.h"
#include "KLDesigner/builder/file_version.h"
#include "KLDesigner/builder/utilities.h"
#include "KLDesigner/builder/vb.h"
#include "platform/base/strings.h"
#include "platform/config/registry.h"
#include "platform/sys/files.h"

namespace kld {

namespace {

constexpr size_t kValueMax = 255;
constexpr uint64_t kMaxSourceSize = 0x7FFFFFFFu; // sizes travel as 32-bit numbers

struct Failure {
    Control control;
    std::string message;
};

std::string M(const std::string& x) {
    return x + ".\nPlease, correct information and try again.";
}

bool UsableRegistryKey(std::string_view key) {
    plat::Hive hive;
    std::string below;
    std::string text = vb::Trim(key);
    ReplaceText(text, "/", "\\");
    return plat::split_registry_key(text, hive, below) == plat::SysError::Success &&
           below.find_first_not_of("\\ ") != std::string::npos;
}

// Where an item's file lands, for telling two items for one target apart.
std::string DestinationKey(const ActionRecord& r) {
    const DestinationFolder& d = r.Destinations[0];
    std::string folder = d.FolderType == 2 ? MakeRegistryPath(d.RegKey, d.RegValueName) : vb::Trim(d.Path);
    ReplaceText(folder, "/", "\\");
    while (!folder.empty() && folder.back() == '\\')
        folder.pop_back();
    return std::to_string(d.FolderType) + "|" + plat::to_lower(folder) + "|" +
           plat::to_lower(vb::Trim(r.SourcePath));
}

} // namespace

bool Designer::ValidateActions() {
    const int32_t selected = m_tree.ListIndex();
    const int32_t last = m_tree.ListCount() - 1;
    std::vector<std::string> destinations;
    for (int32_t p = 0; p <= last; ++p) {
        TreeValue v = m_tree.ItemLngValue(p);
        if (!v.ok() || !IsRecordIndex(static_cast<int16_t>(v.value))) continue;
        const int32_t idx = static_cast<int16_t>(v.value);
        ActionRecord& r = Actions[static_cast<size_t>(idx)];
        if (r.ActionType != action::InstallFile && r.ActionType != action::ExecuteFile) continue;
        std::optional<Failure> f;

        if (r.IsGroup) {
            if (vb::IsBlank(r.SourceFolder))
                f = Failure{Control::cmdOperFileName,
                            M("You specified an incorrect source folder (not specified)")};
            else if (!FileExists(r.SourceFolder))
                f = Failure{Control::cmdOperFileName,
                            "You have not specified any files for the action group.\n"
                            "Please, add files or remove the action group and try again."};
        } else {
            std::string folder;
            TreeValue parentPos = m_tree.ItemParent(p);
            TreeValue group =
                parentPos.ok() ? m_tree.ItemLngValue(parentPos.value) : TreeValue{0, kBadPosition};
            if (group.ok() && IsRecordIndex(static_cast<int16_t>(group.value)))
                folder = Actions[static_cast<size_t>(static_cast<int16_t>(group.value))].SourceFolder;
            const std::string source = SourceFilePath(folder, r.SourcePath);
            const DestinationFolder& d = r.Destinations[0];
            if (vb::IsBlank(r.SourcePath)) {
                f = Failure{Control::cmdOperFileName,
                            M("You specified an incorrect file name (file not specified)")};
            } else if (!FileExists(source)) {
                f = Failure{Control::cmdOperFileName,
                            M("You specified an incorrect file name (file not found)")};
            } else if (r.SourcePath.size() > kValueMax) {
                f = Failure{Control::cmdOperFileName,
                            M("You specified an incorrect file name (value is longer than 255 characters)")};
            } else if (plat::file_length(NativePath(source)).value_or(0) > kMaxSourceSize) {
                f = Failure{Control::cmdOperFileName,
                            M("You specified an incorrect file name (file is larger than 2 GB)")};
            }
            if (!f) {
                // I3: the recorded attributes follow the file when the vendor agrees.
                OleDate date = 0;
                int32_t size = 0, high = 0, low = 0, build = 0, type = r.FileType, revision = 0;
                GetFileAttributes(source, date, size, high, low, build, type, revision);
                if (date != r.FileDate || size != r.FileSize || high != r.VersionHigh ||
                    low != r.VersionLow || build != r.Build || type != r.FileType ||
                    revision != r.FileReserved) {
                    TreeValue expanded = m_tree.Expand(parentPos.value);
                    if (parentPos.ok() && expanded.ok() && expanded.value == 0)
                        m_tree.SetExpand(parentPos.value, true);
                    m_tree.SetListIndex(p);
                    if (Message("Specified file attributes differ from source file.\n"
                                "Do you want to update specified attributes ?",
                                mb::YesNo | mb::Exclamation) == plat::ui::MsgAnswer::Yes) {
                        r.FileDate = date;
                        r.FileSize = size;
                        r.VersionHigh = high;
                        r.VersionLow = low;
                        r.Build = build;
                        r.FileType = type;
                        r.FileReserved = revision;
                        m_host.RefreshOperAttributes(1);
                        SetDocumentChanged();
                    }
                }
            }
            if (!f && r.ActionType == action::InstallFile && r.Register && r.FileType != 1 && r.FileType != 2)
                f = Failure{Control::chkOperFileRegister,
                            M("You specified an incorrect file to be registered (not application or DLL)")};
            if (!f && r.ActionType == action::ExecuteFile && r.FileType != 1)
                f = Failure{Control::cmdOperFileName,
                            M("You specified an incorrect file to be executed (not executable)")};
            if (!f && d.FolderType == 1) {
                static const char* const macros[] = {"%PRODUCT%", "%WIN%", "%SYS%", "%PROGRAM FILES%",
                                                     "%TEMP%"};
                bool macro = false;
                for (const char* m : macros)
                    if (d.Path.find(m) != std::string::npos) macro = true;
                if (d.Path.empty())
                    f = Failure{Control::cboOperFileDestPath,
                                M("You specified an incorrect file destination path (empty value)")};
                else if (d.Path.find(':') != std::string::npos)
                    f = Failure{
                        Control::cboOperFileDestPath,
                        M("You specified an incorrect file destination path (disk drive is specified)")};
                else if (!macro)
                    f = Failure{Control::cboOperFileDestPath, M("You specified an incorrect file destination "
                                                                "path (no predefined folders are used in "
                                                                "the path specification)")};
                else if (d.Path.size() > kValueMax)
                    f = Failure{
                        Control::cboOperFileDestPath,
                        M("You specified an incorrect file destination path (value is longer than 255 "
                          "characters)")};
            }
            if (!f && d.FolderType == 2) {
                if (d.RegKey.empty())
                    f = Failure{
                        Control::cboOperFileDestRegKey,
                        M("You specified an incorrect file destination path (Registry key is empty)")};
                else if (!UsableRegistryKey(d.RegKey))
                    f = Failure{
                        Control::cboOperFileDestRegKey,
                        M("You specified an incorrect file destination path (Registry key is not valid)")};
                else if (MakeRegistryPath(d.RegKey, d.RegValueName).size() + 2 > kValueMax)
                    f = Failure{
                        Control::cboOperFileDestRegKey,
                        M("You specified an incorrect file destination path (value is longer than 255 "
                          "characters)")};
            }
            if (!f && (r.CriteriaType == 1 || r.CriteriaType == -1) && r.CriteriaRegKey.empty())
                f = Failure{Control::cboOperFileCriteriaRegKey,
                            M("You specified an incorrect file criteria (Registry key is empty)")};
            if (!f && !r.LogToRegistryData.empty() && r.CriteriaRegKey.empty())
                f = Failure{Control::cboOperFileCriteriaRegKey,
                            M("You specified an incorrect Registry key (empty value)")};
            if (!f && !r.CriteriaRegKey.empty()) {
                if (!UsableRegistryKey(r.CriteriaRegKey))
                    f = Failure{Control::cboOperFileCriteriaRegKey,
                                M("You specified an incorrect file criteria (Registry key is not valid)")};
                else if (MakeRegistryPath(r.CriteriaRegKey, r.CriteriaValueName).size() + 10 > kValueMax)
                    f = Failure{
                        Control::cboOperFileCriteriaRegKey,
                        M("You specified an incorrect file criteria (value is longer than 255 characters)")};
            }
            if (!f) {
                // Two items putting a file of one name in one place would
                // overwrite each other on the user's machine.
                const std::string key = DestinationKey(r);
                for (const auto& seen : destinations)
                    if (seen == key)
                        f = Failure{
                            Control::cmdOperFileName,
                            M("You specified an incorrect file name (another item puts a file of this name "
                              "into the same destination)")};
                destinations.push_back(key);
            }
        }

        if (f) {
            if (m_tree.ListIndex() != p) {
                TreeValue parentPos = m_tree.ItemParent(p);
                if (parentPos.ok() && parentPos.value >= 0) {
                    TreeValue expanded = m_tree.Expand(parentPos.value);
                    if (expanded.ok() && expanded.value == 0) m_tree.SetExpand(parentPos.value, true);
                }
                m_tree.SetListIndex(p);
            }
            m_host.FocusControl(f->control);
            Message(f->message, mb::Exclamation);
            return false;
        }
    }
    m_tree.SetListIndex(selected);
    return true;
}

} // namespace kld
