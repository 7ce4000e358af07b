// The product INF file and the one-product catalogue lines: what the client
// reads to find, check, download and install the update.
#include "KLDesigner/builder/designer.h"
#include "KLDesigner/builder/utilities.h"
#include "KLDesigner/builder/vb.h"
#include "platform/base/strings.h"
#include "platform/config/ini.h"
#include "platform/sys/files.h"
#include "platform/sys/paths.h"

namespace kld {

namespace {

constexpr size_t kValueMax = 255;

// At most 255 bytes, never cutting a character in two.
std::string Cut(std::string_view value) {
    if (value.size() <= kValueMax) return std::string(value);
    size_t n = kValueMax;
    while (n > 0 && (static_cast<unsigned char>(value[n]) & 0xC0) == 0x80)
        --n;
    return std::string(value.substr(0, n));
}

// Keys are gathered in a document and saved whole; the first key that cannot
// be set is remembered so the writer reports it instead of leaving it out.
class InfBuilder {
  public:
    void Write(const std::string& section, const std::string& key, std::string_view value) {
        if (!m_failedKey.empty()) return;
        if (m_doc.set(section, key, Cut(value)) != plat::SysError::Success) m_failedKey = section + "/" + key;
    }
    const std::string& FailedKey() const { return m_failedKey; }
    plat::SysError Save(const std::string& path) const { return m_doc.save(path); }

  private:
    plat::IniDocument m_doc;
    std::string m_failedKey;
};

std::string RegistryLocation(std::string_view key, std::string_view valueName) {
    return MakeRegistryPath(key, vb::IsBlank(valueName) ? std::string_view("(Default)") : valueName);
}

std::string FileNamePart(std::string_view path) {
    std::string folder, name;
    SplitPath(path, folder, name);
    return name;
}

} // namespace

bool Designer::WriteProductINF() {
    const std::string file = plat::join_path(OutputPath(), NativePath(Product.INFFileName));
    if (FileExists(file) && plat::delete_file(file) != plat::SysError::Success) {
        Message("Cannot delete existing INF file", mb::Exclamation);
        return false;
    }
    const ProductSettings& p = Product;
    InfBuilder inf;
    const std::string common = "Common";
    inf.Write(common, "INFVersion", "3");
    inf.Write(common, "Name", p.ProductName);
    inf.Write(common, "Manufacturer", p.Manufacturer);
    inf.Write(common, "Path", p.WebLocation);
    if (!vb::IsBlank(p.WhatsNewFile)) inf.Write(common, "WhatsNew", FileNamePart(p.WhatsNewFile));
    if (!vb::IsBlank(p.IconFile)) inf.Write(common, "Icon", FileNamePart(p.IconFile));
    if (!vb::IsBlank(p.AdvertisementFile))
        inf.Write(common, "Advertisment", FileNamePart(p.AdvertisementFile));
    const ProductCriterion& c = p.InstallCriteria[0];
    inf.Write(common, "CriteriaType", std::to_string(c.CriterionType));
    inf.Write(common, "RegistryCriteria", RegistryLocation(c.RegKey, c.RegValueName));
    const DestinationFolder& where = p.InstallPaths[0];
    inf.Write(common, "PathType", std::to_string(where.FolderType));
    if (where.FolderType == 1) inf.Write(common, "DiskPath", vb::Trim(where.Path));
    if (where.FolderType == 2)
        inf.Write(common, "RegistryPath", RegistryLocation(where.RegKey, where.RegValueName));
    if (p.ResumeDownloading) inf.Write(common, "ResumeDownloading", "1");
    // The client finds the product's folder and whether it is installed
    // through these two keys.
    if (where.FolderType == 1 && !vb::IsBlank(where.Path))
        inf.Write(common, "ProductPath", "0," + vb::Trim(where.Path));
    if (!p.InstallNew) {
        const std::string location =
            vb::IsBlank(c.RegKey) ? std::string() : RegistryLocation(c.RegKey, c.RegValueName);
        switch (c.CriterionType) {
        case 2:
        case 3:
            if (!vb::IsBlank(c.Path)) inf.Write(common, "ProductInstalled", "1," + vb::Trim(c.Path));
            break;
        case 4:
        case 5:
            if (!location.empty()) inf.Write(common, "ProductInstalled", "3," + location);
            break;
        case 1:
            if (!location.empty()) inf.Write(common, "ProductInstalled", "5," + location);
            break;
        default:
            break;
        }
    }

    if (ActionCount >= 1) {
        int32_t n = 0;
        const int32_t count = m_tree.ListCount();
        for (int32_t i = 0; i < count; ++i) {
            TreeValue v = m_tree.ItemLngValue(i);
            if (!v.ok() || !IsRecordIndex(v.value)) continue;
            const ActionRecord& r = Actions[static_cast<size_t>(v.value)];
            if (r.IsGroup || (r.ActionType != action::InstallFile && r.ActionType != action::ExecuteFile))
                continue;
            const std::string s = "File" + std::to_string(++n);
            inf.Write(s, "FileName", r.SourcePath);
            inf.Write(s, "Date", vb::FormatDate(r.FileDate));
            inf.Write(s, "Size", std::to_string(r.FileSize));
            inf.Write(s, "Version", std::to_string(r.VersionHigh) + "." + std::to_string(r.VersionLow));
            inf.Write(s, "Build",
                      r.FileReserved != 0 ? std::to_string(r.Build) + "." + std::to_string(r.FileReserved)
                                          : std::to_string(r.Build));
            inf.Write(s, "Action", r.ActionType == action::ExecuteFile ? "2" : (r.Register ? "1" : "0"));
            // A log entry needs a criterion key to name; a criterion that only
            // asks whether the value exists leaves nothing to log. The
            // document keeps what the vendor typed.
            std::string logData = r.LogToRegistryData;
            if ((vb::IsBlank(r.CriteriaRegKey) && vb::IsBlank(r.CriteriaValueName)) || r.CriteriaType == 1)
                logData.clear();
            bool keyWritten = false;
            if (!logData.empty()) {
                inf.Write(s, "RegEntryOnExec", "1");
                inf.Write(s, "CriteriaRegistryKey", RegistryLocation(r.CriteriaRegKey, r.CriteriaValueName));
                keyWritten = true;
            }
            if (r.Compare != 0) {
                inf.Write(s, "Compare", std::to_string(r.Compare));
            } else if (r.CriteriaType == 1 || r.CriteriaType == -1) {
                inf.Write(s, "CriteriaType", std::to_string(r.CriteriaType));
                if (!keyWritten)
                    inf.Write(s, "CriteriaRegistryKey",
                              RegistryLocation(r.CriteriaRegKey, r.CriteriaValueName));
            } else {
                inf.Write(s, "CriteriaType", "0");
            }
            const DestinationFolder& d = r.Destinations[0];
            inf.Write(s, "DestinationType", std::to_string(d.FolderType));
            if (d.FolderType == 1) {
                const std::string path = vb::Trim(d.Path);
                // A "," would read as a type prefix: say the type then.
                inf.Write(s, "DestinationPath", path.find(',') != std::string::npos ? "0," + path : path);
            }
            if (d.FolderType == 2) {
                const std::string location = RegistryLocation(d.RegKey, d.RegValueName);
                inf.Write(s, "DestinationRegistryKey", location);
                inf.Write(s, "DestinationPath", "1," + location);
            }
            if (r.AskClose) inf.Write(s, "CloseFileRequest", "1");
            if (r.UpdateOnRestart) inf.Write(s, "UpdateOnRestart", "1");
            const bool archive =
                !r.ProducedFiles.empty() && plat::iends_with(r.ProducedFiles[0].SourcePath, ".ZIP");
            if (r.Compress || archive) inf.Write(s, "Compress", "1");
            if (r.Encrypt) inf.Write(s, "Encrypt", "1");
            int32_t m = 0;
            for (const ProducedFileEntry& f : r.ProducedFiles) {
                if (vb::IsBlank(f.SourcePath)) continue;
                ++m;
                inf.Write(s, "SourceFile" + std::to_string(m), f.SourcePath);
                inf.Write(s, "SourceSize" + std::to_string(m), std::to_string(f.FileSize));
            }
        }
    }
    if (!inf.FailedKey().empty()) {
        Message("Cannot write key '" + inf.FailedKey() + "' of INF file '" + file + "'", mb::Exclamation);
        return false;
    }
    if (inf.Save(file) != plat::SysError::Success) {
        Message("Cannot write INF file '" + file + "'", mb::Exclamation);
        return false;
    }
    return true;
}

bool Designer::WriteProductsINF() {
    const std::string file = plat::join_path(OutputPath(), "Products.INF");
    if (FileExists(file) && plat::delete_file(file) != plat::SysError::Success) {
        Message("Cannot delete existing 'Products.INF' file", mb::Exclamation);
        return false;
    }
    InfBuilder inf;
    inf.Write("Common", "INFVersion", "3");
    inf.Write("Common", "Server", Product.WebLocation);
    inf.Write("Common", "CompanyName", Product.Manufacturer);
    inf.Write("Product1", "Name", Product.ProductName);
    std::string web = Product.WebLocation;
    while (!web.empty() && web.back() == '/')
        web.pop_back();
    std::string name = Product.INFFileName;
    while (!name.empty() && name.front() == '/')
        name.erase(0, 1);
    inf.Write("Product1", "File", web + "/" + name);
    if (!inf.FailedKey().empty()) {
        Message("Cannot write key '" + inf.FailedKey() + "' of INF file '" + file + "'", mb::Exclamation);
        return false;
    }
    if (inf.Save(file) != plat::SysError::Success) {
        Message("Cannot write INF file '" + file + "'", mb::Exclamation);
        return false;
    }
    return true;
}

} // namespace kld
