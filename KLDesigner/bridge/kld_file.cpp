#include "KLDesigner/bridge/kld_file.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <system_error>
#include <unordered_map>

#include "platform/sys/files.h"
#include "vinca/control/dispids.h"

namespace kld {

namespace d = vinca::dispid;
namespace fs = std::filesystem;
using plat::Variant;

namespace {

// The value object's Value property.
constexpr plat::DISPID kValueOfValue = 1;
// Index methods: tree order, and children of the current parent.
constexpr int16_t kIndexEnum = 0;
constexpr int16_t kIndexLevel = 2;

const char* const kKeys = "0123456789ABCDE";
// The index that names the current parent's own item.
constexpr int32_t kCurrentParentIndex = -2;
// Lists no longer than this are walked without asking how they are held.
constexpr int32_t kShortList = 64;

std::string RecordText(int32_t number) {
    char buf[16];
    std::snprintf(buf, sizeof buf, "9%04d", static_cast<int>(number));
    return buf;
}

bool Ok(plat::HRESULT hr) {
    return hr == plat::S_OK;
}

// Writes items and their values; remembers whether everything went in.
class TreeWriter {
  public:
    explicit TreeWriter(plat::IDispatch* ctl) : m_ctl(ctl) {}

    // A new last child of `parent` (-1: at the top); its position or -1.
    int32_t Add(const std::string& text, int32_t parent) {
        std::vector<Variant> args{Variant(std::string_view(text))};
        if (parent >= 0) args.emplace_back(parent);
        if (!Ok(plat::dispatch_call(m_ctl, d::kAddItem, args))) return Fail();
        Variant v;
        if (!Ok(plat::dispatch_get(m_ctl, d::kNewIndex, v))) return Fail();
        return v.to_i4();
    }

    void Put(int32_t item, int key, const Variant& value) {
        if (item < 0) {
            ok = false;
            return;
        }
        Variant object;
        const Variant index[] = {Variant(item), Variant(std::string_view(&kKeys[key], 1))};
        if (!Ok(plat::dispatch_get(m_ctl, d::kItemValues, object, index)) || object.vt != plat::VT_DISPATCH ||
            !object.pdispVal || !Ok(plat::dispatch_put(object.pdispVal, kValueOfValue, value)))
            ok = false;
    }
    void Text(int32_t item, int key, const std::string& s) { Put(item, key, Variant(std::string_view(s))); }
    void I2(int32_t item, int key, int16_t v) { Put(item, key, Variant(v)); }
    void I4(int32_t item, int key, int32_t v) { Put(item, key, Variant(v)); }
    void R4(int32_t item, int key, float v) { Put(item, key, Variant(v)); }
    void Bool(int32_t item, int key, bool v) { Put(item, key, Variant::boolean(v)); }
    void Date(int32_t item, int key, double v) { Put(item, key, Variant::from_date(v)); }

    void Destination(int32_t item, const DestinationFolder& f) {
        I2(item, 0, f.FolderType);
        Text(item, 1, f.Path);
        Text(item, 2, f.RegKey);
        Text(item, 3, f.RegValueName);
        Bool(item, 4, f.CreateIfMissing);
    }

    bool ok = true;

  private:
    int32_t Fail() {
        ok = false;
        return -1;
    }
    plat::IDispatch* m_ctl;
};

// Reads items by text below a current parent and their values by key. Any
// failure (an item not there, a value of the wrong kind) marks the read bad.
class TreeReader {
  public:
    explicit TreeReader(plat::IDispatch* ctl) : m_ctl(ctl) {}

    bool SetParent(const std::string& path) {
        m_count = -1;
        return Check(Ok(plat::dispatch_put(m_ctl, d::kCurrentParent, Variant(std::string_view(path)))));
    }

    // The relative index of the child with that text, or -1.
    int32_t Find(const std::string& text) {
        const int32_t n = Count();
        if (n <= 0) return Fail();
        Variant found;
        const Variant args[] = {Variant(std::string_view(text)), Variant(static_cast<int16_t>(1)), Variant(0),
                                Variant(n - 1)};
        if (!Ok(plat::dispatch_call(m_ctl, d::kFindItem, args, &found))) return Fail();
        const int32_t at = found.to_i4();
        return at < 0 ? Fail() : at;
    }

    // Find for the records below the current parent: the first child with
    // that text, from the children's texts read once. A record's text is
    // digits, where Find's letter case plays no part; any other text, or a
    // list that cannot be read, goes through Find.
    int32_t FindRecord(const std::string& text) {
        const bool digits = !text.empty() && text.find_first_not_of("0123456789") == std::string::npos;
        if (!digits) return Find(text);
        if (!m_recordsRead) {
            m_recordsRead = true;
            const int32_t n = Count();
            for (int32_t i = 0; i < n; ++i) {
                Variant item;
                const Variant at[] = {Variant(i)};
                plat::HRESULT hr = plat::S_OK;
                std::string child;
                if (Ok(plat::dispatch_get(m_ctl, d::kList, item, at))) child = item.to_utf8(&hr);
                if (child.empty() || plat::FAILED(hr)) {
                    m_records.clear();
                    m_recordsUsable = false;
                    break;
                }
                m_records.emplace(std::move(child), i);
            }
        }
        if (!m_recordsUsable) return Find(text);
        const auto it = m_records.find(text);
        return it == m_records.end() ? Fail() : it->second;
    }

    // The children of the current parent, asked once while the parent
    // stays: reading values adds no items. A description has no virtual
    // parents: walking one would make each child it claims, however many,
    // though the file holds none of them. A long list is refused when it is
    // one, before anything is made; a short one costs nothing to walk and
    // holds no item the reader looks for.
    int32_t Count() {
        if (m_count >= 0) return m_count;
        Variant count;
        if (!Ok(plat::dispatch_get(m_ctl, d::kListCount, count))) return Fail();
        m_count = std::max(0, count.to_i4());
        if (m_count > kShortList) {
            Variant isVirtual;
            const Variant parent[] = {Variant(kCurrentParentIndex)};
            if (!Ok(plat::dispatch_get(m_ctl, d::kItemVirtualParent, isVirtual, parent)) ||
                isVirtual.to_bool()) {
                m_count = 0;
                return Fail();
            }
        }
        return m_count;
    }

    // The value, empty when the item has no such key.
    Variant Get(int32_t item, int key) {
        Variant object;
        const Variant index[] = {Variant(item), Variant(std::string_view(&kKeys[key], 1))};
        if (!Ok(plat::dispatch_get(m_ctl, d::kItemValues, object, index))) {
            ok = false;
            return {};
        }
        if (object.vt != plat::VT_DISPATCH || !object.pdispVal) return {};
        Variant v;
        if (!Ok(plat::dispatch_get(object.pdispVal, kValueOfValue, v))) ok = false;
        return v;
    }
    std::string Text(int32_t item, int key) {
        plat::HRESULT hr = plat::S_OK;
        std::string s = Get(item, key).to_utf8(&hr);
        Check(!plat::FAILED(hr));
        return s;
    }
    int32_t I4(int32_t item, int key) {
        plat::HRESULT hr = plat::S_OK;
        const int32_t v = Get(item, key).to_i4(&hr);
        Check(!plat::FAILED(hr));
        return v;
    }
    int16_t I2(int32_t item, int key) {
        plat::HRESULT hr = plat::S_OK;
        const int16_t v = Get(item, key).to_i2(&hr);
        Check(!plat::FAILED(hr));
        return v;
    }
    double R8(int32_t item, int key) {
        plat::HRESULT hr = plat::S_OK;
        const double v = Get(item, key).to_r8(&hr);
        Check(!plat::FAILED(hr));
        return v;
    }
    float R4(int32_t item, int key) { return static_cast<float>(R8(item, key)); }
    bool Bool(int32_t item, int key) {
        plat::HRESULT hr = plat::S_OK;
        const bool v = Get(item, key).to_bool(&hr);
        Check(!plat::FAILED(hr));
        return v;
    }

    void Destination(int32_t item, DestinationFolder& f) {
        f.FolderType = I2(item, 0);
        f.Path = Text(item, 1);
        f.RegKey = Text(item, 2);
        f.RegValueName = Text(item, 3);
        f.CreateIfMissing = Bool(item, 4);
    }

    bool ok = true;

  private:
    bool Check(bool good) {
        if (!good) ok = false;
        return good;
    }
    int32_t Fail() {
        ok = false;
        return -1;
    }
    plat::IDispatch* m_ctl;
    int32_t m_count = -1;
    std::unordered_map<std::string, int32_t> m_records;
    bool m_recordsRead = false;
    bool m_recordsUsable = true;
};

bool SetIndexMethod(plat::IDispatch* ctl, int16_t method) {
    return Ok(plat::dispatch_put(ctl, d::kCurrentIndexMethod, Variant(method)));
}

} // namespace

bool CDescriptionFile::Store(const ProductSettings& p, const std::vector<ActionRecord>& actions,
                             IActionTree& operations) {
    plat::IDispatch* ctl = m_buffer.get();
    TreeWriter w(ctl);
    if (!SetIndexMethod(ctl, kIndexEnum) || !Ok(plat::dispatch_call(ctl, d::kClear))) return false;

    const int32_t product = w.Add("0", -1);
    w.Text(product, 0, p.ProductName);
    w.Text(product, 1, p.Manufacturer);
    w.Text(product, 2, p.PackagePassword);
    w.I4(product, 4, p.ChunkSize);
    w.Text(product, 5, p.OutputFolder);
    w.Text(product, 6, p.WhatsNewFile);
    w.Text(product, 7, p.AdvertisementFile);
    w.Text(product, 8, p.IconFile);
    w.Text(product, 9, p.INFFileName);
    w.Text(product, 10, p.WebLocation);
    w.R4(product, 11, p.ReservedValue);
    w.Bool(product, 12, p.InstallNew);
    w.Bool(product, 13, p.AutoUninstall);
    w.Bool(product, 14, p.ResumeDownloading);
    for (int i = 0; i < 3; ++i) {
        const int32_t row = w.Add("2" + std::to_string(i + 1), product);
        const ProductCriterion c =
            i < static_cast<int>(p.InstallCriteria.size()) ? p.InstallCriteria[i] : ProductCriterion{};
        w.I2(row, 0, c.CriterionType);
        w.Text(row, 1, c.Path);
        w.Text(row, 2, c.RegKey);
        w.Text(row, 3, c.RegValueName);
        w.R4(row, 4, c.Edition);
    }
    for (int i = 0; i < 3; ++i) {
        const int32_t row = w.Add("3" + std::to_string(i + 1), product);
        w.Destination(row,
                      i < static_cast<int>(p.InstallPaths.size()) ? p.InstallPaths[i] : DestinationFolder{});
    }

    const int32_t root = w.Add("1", -1);
    const int32_t count = operations.ListCount();
    for (int32_t j = 0; j < count; ++j) {
        const TreeValue lng = operations.ItemLngValue(j);
        const int32_t n = static_cast<int16_t>(lng.value);
        if (!lng.ok() || n < 0 || n >= static_cast<int32_t>(actions.size())) continue;
        const ActionRecord& r = actions[static_cast<size_t>(n)];
        const int32_t a = w.Add(RecordText(j + 1), root);
        w.Bool(a, 0, r.ReservedFlag);
        w.I2(a, 1, r.ActionType);
        w.Bool(a, 2, r.IsGroup);
        w.Text(a, 3, r.SourceFolder);
        w.Bool(a, 4, r.Compress);
        w.Bool(a, 5, r.Encrypt);
        w.Bool(a, 6, r.CreateNew);
        w.Bool(a, 7, r.AskClose);
        w.Bool(a, 8, r.UpdateOnRestart);
        w.Text(a, 9, r.LogToRegistryData);
        w.Bool(a, 10, r.Register);

        const int32_t file = w.Add("5", a);
        w.I4(file, 0, r.FileType);
        w.Bool(file, 1, r.IsFolder);
        w.Text(file, 2, r.SourcePath);
        w.Bool(file, 3, r.IncludeSubfolders);
        w.I4(file, 4, r.VersionHigh);
        w.I4(file, 5, r.VersionLow);
        w.I4(file, 6, r.Build);
        w.Date(file, 7, r.FileDate);
        w.I4(file, 8, r.FileSize);
        w.I4(file, 9, r.FileReserved);

        const int32_t reg = w.Add("6", a);
        w.Text(reg, 0, r.RegKey);
        w.Text(reg, 1, r.RegValueName);
        w.I4(reg, 2, r.RegDataType);
        w.Text(reg, 3, r.RegDataText);
        w.I4(reg, 4, r.RegDataNumber);

        const int32_t crit = w.Add("7", a);
        w.I2(crit, 0, r.Compare);
        w.I2(crit, 1, r.CriteriaType);
        w.Text(crit, 2, r.CriteriaPath);
        w.Text(crit, 3, r.CriteriaRegKey);
        w.Text(crit, 4, r.CriteriaValueName);
        const int32_t edition = w.Add("4", crit);
        w.I2(edition, 0, r.EditionCompare);
        w.R4(edition, 1, r.Edition);

        for (int i = 0; i < 3; ++i) {
            const int32_t row = w.Add("8" + std::to_string(i + 1), a);
            w.Destination(row, i < static_cast<int>(r.Destinations.size()) ? r.Destinations[i]
                                                                           : DestinationFolder{});
        }
    }
    return w.ok;
}

bool CDescriptionFile::Save(const std::string& path) {
    if (path.find_first_not_of(' ') == std::string::npos) return true;
    plat::IDispatch* ctl = m_buffer.get();
    if (!SetIndexMethod(ctl, kIndexEnum)) return false;

    // Written beside the file and renamed over it once complete: through a
    // symbolic link into the file it names, keeping that file's permission
    // (the description holds the package password).
    const plat::SysError e = plat::write_file_atomic(path, [&](const std::string& temp, int) {
        const int16_t n = m_site.OpenFile(temp, true);
        if (n == 0) return plat::SysError::WriteFault;
        const Variant index[] = {Variant(-1)};
        bool ok = Ok(plat::dispatch_put(ctl, d::kSave, Variant(n), index));
        ok = m_site.CloseFile(n) && ok;
        return ok ? plat::SysError::Success : plat::SysError::WriteFault;
    });
    return e == plat::SysError::Success;
}

CDescriptionFile::LoadResult CDescriptionFile::Load(const std::string& path, DescriptionDocument& out) {
    std::error_code ec;
    if (path.find_first_not_of(' ') == std::string::npos || !fs::is_regular_file(path, ec))
        return LoadResult::NoFile;
    plat::IDispatch* ctl = m_buffer.get();
    if (!SetIndexMethod(ctl, kIndexEnum) || !Ok(plat::dispatch_call(ctl, d::kClear)))
        return LoadResult::NotValid;
    const int16_t n = m_site.OpenFile(path, false);
    if (n == 0) return LoadResult::NoFile;
    const Variant index[] = {Variant(-1)};
    const bool loaded = Ok(plat::dispatch_put(ctl, d::kLoadAndAdd, Variant(n), index));
    m_site.CloseFile(n);
    if (!loaded) {
        plat::dispatch_call(ctl, d::kClear);
        return LoadResult::NotValid;
    }
    return Read(out) ? LoadResult::Loaded : LoadResult::NotValid;
}

bool CDescriptionFile::Read(DescriptionDocument& out) {
    plat::IDispatch* ctl = m_buffer.get();
    out = DescriptionDocument{};
    TreeReader r(ctl);
    const bool ready = Ok(plat::dispatch_put(ctl, d::kPathSeparator, Variant("\\"))) &&
                       SetIndexMethod(ctl, kIndexLevel) && r.SetParent("\\");
    const bool good = ready && [&] {
        const int32_t p = r.Find("0");
        if (p < 0) return false;
        ProductSettings& s = out.product;
        s.ProductName = r.Text(p, 0);
        s.Manufacturer = r.Text(p, 1);
        s.PackagePassword = r.Text(p, 2);
        s.ChunkSize = r.I4(p, 4);
        s.OutputFolder = r.Text(p, 5);
        s.WhatsNewFile = r.Text(p, 6);
        s.AdvertisementFile = r.Text(p, 7);
        s.IconFile = r.Text(p, 8);
        s.INFFileName = r.Text(p, 9);
        s.WebLocation = r.Text(p, 10);
        s.ReservedValue = r.R4(p, 11);
        s.InstallNew = r.Bool(p, 12);
        s.AutoUninstall = r.Bool(p, 13);
        s.ResumeDownloading = r.Bool(p, 14);

        if (!r.SetParent("\\0")) return false;
        for (int i = 0; i < 3; ++i) {
            const int32_t c = r.Find("2" + std::to_string(i + 1));
            if (c < 0) return false;
            ProductCriterion& row = s.InstallCriteria[static_cast<size_t>(i)];
            row.CriterionType = r.I2(c, 0);
            row.Path = r.Text(c, 1);
            row.RegKey = r.Text(c, 2);
            row.RegValueName = r.Text(c, 3);
            row.Edition = r.R4(c, 4);
        }
        for (int i = 0; i < 3; ++i) {
            const int32_t c = r.Find("3" + std::to_string(i + 1));
            if (c < 0) return false;
            r.Destination(c, s.InstallPaths[static_cast<size_t>(i)]);
        }

        if (!r.SetParent("\\1")) return false;
        const int32_t n = r.Count();
        if (n > kMaxActionUpperBound + 1) return false;
        out.actions.reserve(static_cast<size_t>(std::max(0, n)));
        for (int32_t k = 1; k <= n; ++k) {
            ActionRecord rec = ZeroedRecord();
            if (!r.SetParent("\\1")) return false;
            const std::string text = RecordText(k);
            const int32_t a = r.FindRecord(text);
            if (a < 0) return false;
            rec.ReservedFlag = r.Bool(a, 0);
            rec.ActionType = r.I2(a, 1);
            rec.IsGroup = r.Bool(a, 2);
            rec.SourceFolder = r.Text(a, 3);
            rec.Compress = r.Bool(a, 4);
            rec.Encrypt = r.Bool(a, 5);
            rec.CreateNew = r.Bool(a, 6);
            rec.AskClose = r.Bool(a, 7);
            rec.UpdateOnRestart = r.Bool(a, 8);
            rec.LogToRegistryData = r.Text(a, 9);
            rec.Register = r.Bool(a, 10);

            // The record found is addressed by its position: a path by text
            // would search the records again.
            const std::string path = "\\1\\#" + std::to_string(a);
            if (!r.SetParent(path)) return false;
            const int32_t f = r.Find("5");
            if (f < 0) return false;
            rec.FileType = r.I4(f, 0);
            rec.IsFolder = r.Bool(f, 1);
            rec.SourcePath = r.Text(f, 2);
            rec.IncludeSubfolders = r.Bool(f, 3);
            rec.VersionHigh = r.I4(f, 4);
            rec.VersionLow = r.I4(f, 5);
            rec.Build = r.I4(f, 6);
            rec.FileDate = r.R8(f, 7);
            rec.FileSize = r.I4(f, 8);
            rec.FileReserved = r.I4(f, 9);

            const int32_t g = r.Find("6");
            if (g < 0) return false;
            rec.RegKey = r.Text(g, 0);
            rec.RegValueName = r.Text(g, 1);
            rec.RegDataType = r.I4(g, 2);
            rec.RegDataText = r.Text(g, 3);
            rec.RegDataNumber = r.I4(g, 4);

            const int32_t c = r.Find("7");
            if (c < 0) return false;
            rec.Compare = r.I2(c, 0);
            rec.CriteriaType = r.I2(c, 1);
            rec.CriteriaPath = r.Text(c, 2);
            rec.CriteriaRegKey = r.Text(c, 3);
            rec.CriteriaValueName = r.Text(c, 4);

            if (!r.SetParent(path + "\\7")) return false;
            const int32_t e = r.Find("4");
            if (e < 0) return false;
            rec.EditionCompare = r.I2(e, 0);
            rec.Edition = r.R4(e, 1);

            if (!r.SetParent(path)) return false;
            for (int i = 0; i < 3; ++i) {
                const int32_t row = r.Find("8" + std::to_string(i + 1));
                if (row < 0) return false;
                r.Destination(row, rec.Destinations[static_cast<size_t>(i)]);
            }
            out.actions.push_back(std::move(rec));
        }
        return true;
    }() && r.ok;
    SetIndexMethod(ctl, kIndexEnum);
    return good;
}

// ---- the bridge's file procedures ----

void CDescriptionBridge::StoreDescriptionInTree(Designer& d) {
    m_loaded.reset();
    m_stored = m_file.Store(d.Product, d.Actions, d.Operations());
}

bool CDescriptionBridge::SaveTreeToFile(Designer&, const std::string& fileName) {
    // A tree that did not take the whole document is never written.
    if (!m_stored) return false;
    return m_file.Save(fileName);
}

bool CDescriptionBridge::LoadTreeFromFile(Designer& d, const std::string& fileName) {
    m_loaded.reset();
    DescriptionDocument doc;
    switch (m_file.Load(fileName, doc)) {
    case CDescriptionFile::LoadResult::Loaded:
        m_loaded = std::move(doc);
        return true;
    case CDescriptionFile::LoadResult::NoFile:
        return false;
    case CDescriptionFile::LoadResult::NotValid:
        break;
    }
    d.Message("File '" + fileName + "' is not a valid update description.", mb::Exclamation);
    return false;
}

void CDescriptionBridge::ReadDescriptionFromTree(Designer& d) {
    DescriptionDocument doc;
    if (m_loaded) {
        // The tree was read as it was loaded, and is still the same.
        doc = std::move(*m_loaded);
        m_loaded.reset();
    } else if (!m_file.Read(doc)) {
        return;
    }
    d.Product = std::move(doc.product);
    const auto n = static_cast<int16_t>(doc.actions.size());
    if (n > 0) d.Actions = std::move(doc.actions);
    d.ActionCount = n > 0 ? n : d.ActionCount;
}

} // namespace kld
