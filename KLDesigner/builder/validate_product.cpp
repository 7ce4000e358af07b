// The product settings check that Prepare runs first: tab by tab, the first
// wrong field is shown, focused and explained.
#include <optional>
#include <regex>

#include "KLDesigner/builder/designer.h"
#include "KLDesigner/builder/utilities.h"
#include "KLDesigner/builder/vb.h"
#include "platform/base/strings.h"
#include "platform/config/registry.h"
#include "platform/sys/files.h"
#include "platform/sys/paths.h"

namespace kld {

namespace {

constexpr size_t kValueMax = 255;
const char* const kTooLong = " (value is longer than 255 characters)";

struct Failure {
    int16_t tab = 0;
    Control control = Control::txtProductName;
    std::string field;
};

// A registry key the client can use: a known hive and a key below it.
bool UsableRegistryKey(std::string_view key) {
    plat::Hive hive;
    std::string below;
    std::string text = vb::Trim(key);
    ReplaceText(text, "/", "\\");
    return plat::split_registry_key(text, hive, below) == plat::SysError::Success && !vb::IsBlank(below) &&
           below.find_first_not_of('\\') != std::string::npos;
}

std::string FileNameOf(std::string_view path) {
    std::string folder, name;
    SplitPath(path, folder, name);
    return name;
}

bool IsUpdateFileName(const std::string& name) {
    static const std::regex pattern("_[0-9]{4,}\\..*", std::regex::icase);
    return std::regex_match(name, pattern);
}

} // namespace

bool Designer::ValidateProductSettings() {
    const ProductSettings& p = Product;
    std::optional<Failure> f;
    auto fail = [&](int16_t tab, Control c, std::string field) {
        if (!f) f = Failure{tab, c, std::move(field)};
    };

    struct ProductFile {
        const std::string& value;
        Control control;
        const char* label;
    } files[] = {{p.WhatsNewFile, Control::txtWhatsNewFile, "What's New file name"},
                 {p.AdvertisementFile, Control::txtAdvertismentFile, "advertisment file name"},
                 {p.IconFile, Control::txtIconFile, "icon file name"}};

    if (p.ProductName.empty()) fail(tab::Product, Control::txtProductName, "product name (empty value)");
    if (p.ProductName.size() > kValueMax)
        fail(tab::Product, Control::txtProductName, std::string("product name") + kTooLong);
    // The client makes a folder of the product's name.
    if (!plat::safe_file_name(p.ProductName))
        fail(tab::Product, Control::txtProductName, "product name (not usable as a folder name)");
    if (p.Manufacturer.empty())
        fail(tab::Product, Control::txtManufacturer, "manufacturer name (empty value)");
    if (p.Manufacturer.size() > kValueMax)
        fail(tab::Product, Control::txtManufacturer, std::string("manufacturer name") + kTooLong);
    for (size_t i = 0; i < std::size(files); ++i) {
        const ProductFile& pf = files[i];
        if (vb::IsBlank(pf.value)) continue;
        if (!FileExists(pf.value))
            fail(tab::Product, pf.control, std::string(pf.label) + " (file not found)");
        if (plat::is_folder(NativePath(pf.value)))
            fail(tab::Product, pf.control, std::string(pf.label) + " (a folder, not a file)");
        if (FileNameOf(pf.value).size() > kValueMax)
            fail(tab::Product, pf.control, std::string(pf.label) + kTooLong);
        // All three land in one output folder under their own names, beside
        // the files Prepare makes there: one of those names would be
        // replaced by the build's own file.
        const std::string name = FileNameOf(pf.value);
        if (plat::iequals(name, "Products.INF"))
            fail(tab::Product, pf.control, std::string(pf.label) + " (the name of the catalogue file)");
        if (IsUpdateFileName(name))
            fail(tab::Product, pf.control, std::string(pf.label) + " (the name of an update file)");
        for (size_t j = 0; j < i; ++j)
            if (!vb::IsBlank(files[j].value) &&
                plat::iequals(FileNameOf(files[j].value), FileNameOf(pf.value)))
                fail(tab::Product, pf.control,
                     std::string(pf.label) + " (same name as another product file)");
    }

    if (vb::IsBlank(p.INFFileName)) fail(tab::Location, Control::txtINFFile, "INF file name (empty value)");
    if (!vb::IsBlank(p.INFFileName)) {
        const std::string name = vb::Trim(p.INFFileName);
        if (!plat::safe_file_name(p.INFFileName) || name != p.INFFileName)
            fail(tab::Location, Control::txtINFFile, "INF file name (not a plain file name)");
        if (p.INFFileName.size() > kValueMax)
            fail(tab::Location, Control::txtINFFile, std::string("INF file name") + kTooLong);
        if (plat::iequals(name, "Products.INF"))
            fail(tab::Location, Control::txtINFFile, "INF file name (the name of the catalogue file)");
        if (IsUpdateFileName(name))
            fail(tab::Location, Control::txtINFFile, "INF file name (the name of an update file)");
        for (const ProductFile& pf : files)
            if (!vb::IsBlank(pf.value) && plat::iequals(FileNameOf(pf.value), name))
                fail(tab::Location, Control::txtINFFile, "INF file name (same name as a product file)");
    }
    if (vb::IsBlank(p.WebLocation))
        fail(tab::Location, Control::txtInternetPath, "Web location (empty value)");
    if (!vb::IsBlank(p.WebLocation)) {
        const std::string web = vb::Trim(p.WebLocation);
        if (!plat::istarts_with(web, "http://") && !plat::istarts_with(web, "ftp://") &&
            !plat::istarts_with(web, "file://"))
            fail(tab::Location, Control::txtInternetPath, "Web location (not an http, ftp or file address)");
        if (web.size() + 1 + vb::Trim(p.INFFileName).size() > kValueMax)
            fail(tab::Location, Control::txtInternetPath, std::string("Web location") + kTooLong);
    }
    if (f) goto report;

    {
        const ProductCriterion& c = p.InstallCriteria[0];
        if (vb::IsBlank(c.RegKey)) {
            const auto answer = Message("You have specified no product installation criteria.\n"
                                        "This means that any Kestrelite client will be able to install this "
                                        "product on his(her) computer.\n"
                                        "Do you want to allow install the product to any person ?",
                                        mb::YesNo | mb::Exclamation | mb::DefaultButton2);
            if (answer != plat::ui::MsgAnswer::Yes)
                fail(tab::Installation, Control::cboInstallCriteriaRegKey,
                     "product installation criteria (Registry key is empty)");
        } else {
            if (!UsableRegistryKey(c.RegKey))
                fail(tab::Installation, Control::cboInstallCriteriaRegKey,
                     "product installation criteria (Registry key is not valid)");
            if (MakeRegistryPath(c.RegKey, c.RegValueName).size() > kValueMax)
                fail(tab::Installation, Control::cboInstallCriteriaRegKey,
                     std::string("product installation criteria") + kTooLong);
        }
        const DestinationFolder& w = p.InstallPaths[0];
        if (w.FolderType == 1 && w.Path.empty())
            fail(tab::Destination, Control::cboProductDestinationPath,
                 "product destination path (disk path is empty)");
        if (w.FolderType == 1 && w.Path.size() > kValueMax)
            fail(tab::Destination, Control::cboProductDestinationPath,
                 std::string("product destination path") + kTooLong);
        if (w.FolderType == 2 && w.RegKey.empty())
            fail(tab::Destination, Control::cboProductDestinationRegKey,
                 "product destination path (Registry key is empty)");
        if (w.FolderType == 2 && !w.RegKey.empty() && !UsableRegistryKey(w.RegKey))
            fail(tab::Destination, Control::cboProductDestinationRegKey,
                 "product destination path (Registry key is not valid)");
        if (w.FolderType == 2 && MakeRegistryPath(w.RegKey, w.RegValueName).size() > kValueMax)
            fail(tab::Destination, Control::cboProductDestinationRegKey,
                 std::string("product destination path") + kTooLong);
    }
    if (!f) return true;

report:
    m_host.ShowTab(f->tab);
    m_host.SelectAllAndFocus(f->control);
    Message("You specified an incorrect " + f->field + ".\nPlease, correct information and try again.",
            mb::Exclamation);
    return false;
}

} // namespace kld
