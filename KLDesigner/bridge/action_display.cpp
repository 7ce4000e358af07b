#include "KLDesigner/bridge/action_display.h"

#include <algorithm>

#include "KLDesigner/bridge/display_members.h"
#include "KLDesigner/builder/vb.h"
#include "platform/gdi/font.h"
#include "vinca/control/dispids.h"

namespace kld {

namespace d = vinca::dispid;
namespace m = members;
using plat::Variant;

namespace {

// Members of the grid objects.
namespace grid {
constexpr plat::DISPID Cols = 4;
constexpr plat::DISPID ColDefs = 6;
constexpr plat::DISPID Visible = 18;
constexpr plat::DISPID Cells = 19;
} // namespace grid
namespace coldef {
constexpr plat::DISPID Item = 0; // the collection's default member
constexpr plat::DISPID CellDef = 1;
constexpr plat::DISPID Visible = 2;
constexpr plat::DISPID ValueName = 3;
constexpr plat::DISPID Width = 7;
} // namespace coldef
namespace celldef {
constexpr plat::DISPID BackColor = 4;
constexpr plat::DISPID Font = 8;
constexpr plat::DISPID TextAlignment = 10;
} // namespace celldef
namespace cell {
constexpr plat::DISPID CellDef = 1;
constexpr plat::DISPID Value = 5;
} // namespace cell
namespace font {
constexpr plat::DISPID Size = 2;
constexpr plat::DISPID Bold = 3;
} // namespace font
// An item value object's Value.
constexpr plat::DISPID kValueOfValue = 1;

constexpr int32_t kAlignCenterCenter = 5;
constexpr int32_t kAlignRightCenter = 8;
constexpr float kGroupFontSize = 10;
constexpr float kActionFontSize = 8;
constexpr float kTitleFontSize = 8;
// Room beside a title's text inside its column: the cell's borders and a
// little air on either side.
constexpr int32_t kTitlePadding = 10;

// A column as wide as the design wants it, and never narrower than its
// title in the title cells' font: the forms' face at the titles' size.
int32_t ColumnPixels(const OperationColumn& column) {
    static const plat::gdi::Font title_font(
        plat::gdi::FontSpec{.size = static_cast<int64_t>(kTitleFontSize * 10000)});
    return std::max(column.widthPixels, title_font.Extent(column.title) + kTitlePadding);
}

Variant Text(std::string_view s) {
    return Variant(s);
}

// A whole number with its thousands grouped by commas; 0 gives "".
std::string Grouped(int32_t value) {
    if (value == 0) return {};
    const int64_t wide = value;
    std::string digits = std::to_string(wide < 0 ? -wide : wide);
    std::string out;
    const size_t n = digits.size();
    for (size_t i = 0; i < n; ++i) {
        if (i > 0 && (n - i) % 3 == 0) out += ',';
        out += digits[i];
    }
    return wide < 0 ? "-" + out : out;
}

// "key\value", with "(Default)" for an empty value name.
std::string RegistryText(std::string_view key, std::string_view valueName) {
    std::string name = vb::Trim(valueName);
    return vb::Trim(key) + "\\" + (name.empty() ? "(Default)" : name);
}

std::string VersionText(const ActionRecord& r) {
    if (r.VersionHigh == 0) return {};
    std::string text = std::to_string(r.VersionHigh) + "." + std::to_string(r.VersionLow);
    if (r.Build != 0) text += "." + std::to_string(r.Build);
    return text;
}

std::string DestinationText(const ActionRecord& r) {
    if (r.Destinations.empty()) return {};
    const DestinationFolder& f = r.Destinations.front();
    switch (f.FolderType) {
    case 1:
        return vb::Trim(f.Path);
    case 2:
        return RegistryText(f.RegKey, f.RegValueName);
    case 3:
        return " ( Ask User ) ";
    default:
        return {};
    }
}

std::string CriteriaText(const ActionRecord& r) {
    if (r.Compare == 0) {
        switch (r.CriteriaType) {
        case 1:
            return "Key Exists: " + RegistryText(r.CriteriaRegKey, r.CriteriaValueName);
        case -1:
            return "Key Doesn't Exist: " + RegistryText(r.CriteriaRegKey, r.CriteriaValueName);
        default:
            return "Always";
        }
    }
    switch (r.Compare) {
    case 11:
        return "Compare By Version";
    case 12:
        return "Compare By Date";
    case 13:
        return "Compare By Size/CRC";
    default:
        return "Always";
    }
}

std::string YesNo(bool b) {
    return b ? " Yes" : " No";
}

bool IsFileKind(int16_t kind) {
    return kind == action::InstallFile || kind == action::ExecuteFile;
}

// Sets the font size of a cell definition (its font is a copy that writes
// itself back when changed).
void SetFontSize(plat::IDispatch* def, float size) {
    if (auto f = m::Object(def, celldef::Font)) m::Put(f.get(), font::Size, Variant(size));
}

} // namespace

OperationFace FaceOf(const ActionRecord& r) {
    OperationFace face;
    face.known = true;
    switch (r.ActionType) {
    case action::InstallFile:
        if (r.IsGroup) {
            face.text = "Install From: " + r.SourceFolder;
            face.picture = picture::InstallGroup;
        } else {
            face.text = r.SourcePath;
            face.picture = r.IsFolder ? picture::FileMask : picture::File;
        }
        break;
    case action::ExecuteFile:
        face.text = r.IsGroup ? "Execute From: " + r.SourceFolder : r.SourcePath;
        face.picture = r.IsGroup ? picture::ExecuteGroup : picture::File;
        break;
    case action::CreateRegistry: {
        const int32_t valuePicture = r.RegDataType == 4 ? picture::RegistryLong : picture::RegistryText;
        const bool hasData =
            (!r.RegDataText.empty() && r.RegDataType == 1) || (r.RegDataType == 4 && r.RegDataNumber != 0);
        if (r.IsGroup) {
            face.text = "Reg.Key: " + r.RegKey;
            face.picture = picture::CreateRegistryGroup;
        } else if (hasData) {
            const std::string data =
                r.RegDataType == 4 ? std::to_string(r.RegDataNumber) : "'" + r.RegDataText + "'";
            face.text = "Set Data: " + r.RegValueName + "=" + data;
            face.picture = valuePicture;
        } else if (!r.RegValueName.empty()) {
            face.text = "Create Value: " + r.RegValueName;
            face.picture = valuePicture;
        } else {
            face.text = "Create Key";
            face.picture = picture::RegistryText;
        }
        break;
    }
    case action::DeleteRegistry:
        if (r.IsGroup) {
            face.text = "Reg.Key: " + r.RegKey;
            face.picture = picture::DeleteRegistryGroup;
        } else {
            face.text = r.RegValueName.empty() ? "Delete Key" : "Delete Value: " + r.RegValueName;
            face.picture = picture::RegistryText;
        }
        break;
    default:
        face.known = false;
        return face;
    }
    face.color = IsFileKind(r.ActionType) ? kFileActionColor : kRegistryActionColor;
    return face;
}

const std::array<OperationColumn, 12>& OperationColumns() {
    static const std::array<OperationColumn, 12> columns{{
        {nullptr, "File Name", 100, 0, false},
        {"FDATE", "Creation Date", 70, kAlignCenterCenter, false},
        {"FSIZE", "Size, byte", 70, kAlignRightCenter, false},
        {"FVERSION", "Version", 50, 0, false},
        {"FDESTPATH", "Destination", 200, 0, false},
        {"FCRITERIA", "Criteria", 200, 0, false},
        {"FWRITEREG", "Create Registry Key", 50, 0, false},
        {"FCOMPRESS", "Compress", 50, 0, false},
        {"FENCRYPT", "Encrypt", 50, 0, false},
        {"FREGISTER", "Register", 50, 0, true},
        {"FASKCLOSE", "Ask User Close File", 50, 0, true},
        {"FRESTART", "Update On Restart", 50, 0, true},
    }};
    return columns;
}

std::string CellText(const ActionRecord& r, const std::string& key) {
    if (key == "FDATE") return vb::FormatDate(r.FileDate);
    if (key == "FSIZE") return Grouped(r.FileSize) + " ";
    if (key == "FVERSION") return " " + VersionText(r);
    if (key == "FDESTPATH") return " " + DestinationText(r);
    if (key == "FCRITERIA") return " " + CriteriaText(r);
    if (key == "FWRITEREG") return YesNo(!r.LogToRegistryData.empty());
    if (key == "FCOMPRESS") return YesNo(r.Compress);
    if (key == "FENCRYPT") return YesNo(r.Encrypt);
    if (key == "FREGISTER") return YesNo(r.Register);
    if (key == "FASKCLOSE") return YesNo(r.AskClose);
    if (key == "FRESTART") return YesNo(r.UpdateOnRestart);
    return {};
}

void CActionDisplay::SetPicture(int32_t index, plat::IDispatch* picture) {
    if (index >= 0 && index < picture::Count) m_pictures[static_cast<size_t>(index)] = picture;
}

void CActionDisplay::RefreshOperationItem(Designer& dsg, int32_t item, int32_t record) {
    if (!HasItem(item) || !dsg.IsRecordIndex(record)) return;
    RefreshItem(dsg, item, record, nullptr);
}

void CActionDisplay::RefreshItem(Designer& dsg, int32_t item, int32_t record, const ActionRecord* carried) {
    plat::IDispatch* ctl = m_ctl.get();
    const ActionRecord& r = dsg.Actions[static_cast<size_t>(record)];
    const Variant at(item);

    const OperationFace face = FaceOf(r);
    Variant shown;
    bool pictureSet = false;
    if (face.known) {
        m::Put(ctl, d::kList, Text(face.text), {at});
        shown = Variant(m_pictures[static_cast<size_t>(face.picture)].get());
        pictureSet = m::Put(ctl, d::kImage, shown, {at});
        m::Put(ctl, d::kItemForeColor, Variant(face.color), {at});
        if (IsFileKind(r.ActionType)) {
            // The grid and the cells go by the record the item carries.
            const ActionRecord* own = carried ? carried : RecordOfItem(dsg, item);
            if (own && r.IsGroup)
                InitColumns(dsg, item, *own);
            else if (own)
                WriteCells(item, *own);
        }
    }
    m::Put(ctl, d::kItemFontSize, Variant(r.IsGroup ? kGroupFontSize : kActionFontSize), {at});
    // The selected item shows the same picture: the one just set, or else
    // the one the item has.
    if (pictureSet || m::Get(ctl, d::kImage, shown, {at})) m::Put(ctl, d::kInvImage, shown, {at});
}

bool CActionDisplay::HasItem(int32_t item) const {
    bool counted = false;
    const int32_t count = m::Int(m_ctl.get(), d::kListCount, {}, 0, &counted);
    return counted && item >= 0 && item < count;
}

const ActionRecord* CActionDisplay::RecordOfItem(Designer& dsg, int32_t item) const {
    if (!HasItem(item)) return nullptr;
    bool read = false;
    const int32_t record = m::Int(m_ctl.get(), d::kItemLngValue, {Variant(item)}, 0, &read);
    if (!read || !dsg.IsRecordIndex(record)) return nullptr;
    return &dsg.Actions[static_cast<size_t>(record)];
}

void CActionDisplay::InitOperationColumns(Designer& dsg, int32_t item) {
    if (const ActionRecord* found = RecordOfItem(dsg, item)) InitColumns(dsg, item, *found);
}

void CActionDisplay::InitColumns(Designer& dsg, int32_t item, const ActionRecord& r) {
    plat::IDispatch* ctl = m_ctl.get();
    if (!r.IsGroup) return;
    const plat::ComPtr<plat::IDispatch> g = m::Object(ctl, d::kItemGrid, {Variant(item)});
    if (!IsFileKind(r.ActionType)) return;

    const bool install = r.ActionType == action::InstallFile;
    m::Put(g.get(), grid::Visible, Variant::boolean(dsg.ActionListViewStyle == 1));
    m::Put(g.get(), grid::Cols, Variant(install ? int32_t(13) : int32_t(10)));
    const plat::ComPtr<plat::IDispatch> cols = m::Object(g.get(), grid::ColDefs);
    auto column = [&](int32_t i) { return m::Object(cols.get(), coldef::Item, {Variant(int16_t(i))}); };
    auto title = [&](int32_t i, const char* text) {
        const plat::ComPtr<plat::IDispatch> c = m::Object(g.get(), grid::Cells, {Variant(0), Variant(i)});
        m::Put(c.get(), cell::Value, Text(text));
        SetFontSize(m::Object(c.get(), cell::CellDef).get(), kTitleFontSize);
    };
    auto width = [&](int32_t pixels) { return Variant(static_cast<float>(pixels * dsg.TwipsPerPixelX)); };

    m::Put(column(0).get(), coldef::Visible, Variant::boolean(false));

    const auto& table = OperationColumns();
    for (int32_t i = 1; i <= static_cast<int32_t>(table.size()); ++i) {
        const OperationColumn& entry = table[static_cast<size_t>(i - 1)];
        if (entry.installOnly && !install) break;
        const plat::ComPtr<plat::IDispatch> col = column(i);
        if (!entry.key) {
            // The name column: wide, yellow and bold.
            m::Put(col.get(), coldef::Width, width(entry.widthPixels));
            const plat::ComPtr<plat::IDispatch> def = m::Object(col.get(), coldef::CellDef);
            m::Put(def.get(), celldef::BackColor, Variant(kFileNameColumnColor));
            if (auto f = m::Object(def.get(), celldef::Font))
                m::Put(f.get(), font::Bold, Variant::boolean(true));
        } else {
            m::Put(col.get(), coldef::ValueName, Text(entry.key));
            m::Put(col.get(), coldef::Width, width(ColumnPixels(entry)));
            if (entry.alignment)
                m::Put(m::Object(col.get(), coldef::CellDef).get(), celldef::TextAlignment,
                       Variant(int16_t(entry.alignment)));
        }
        title(i, entry.title);
    }
}

void CActionDisplay::RefreshOperationCells(Designer& dsg, int32_t item) {
    if (const ActionRecord* found = RecordOfItem(dsg, item)) WriteCells(item, *found);
}

void CActionDisplay::WriteCells(int32_t item, const ActionRecord& r) {
    plat::IDispatch* ctl = m_ctl.get();
    if (r.IsGroup || !IsFileKind(r.ActionType)) return;
    const bool install = r.ActionType == action::InstallFile;
    for (const OperationColumn& entry : OperationColumns()) {
        if (!entry.key || (entry.installOnly && !install)) continue;
        const plat::ComPtr<plat::IDispatch> value =
            m::Object(ctl, d::kItemValues, {Variant(item), Text(entry.key)});
        m::Put(value.get(), kValueOfValue, Text(CellText(r, entry.key)));
    }
}

void CActionDisplay::AddOperationItem(Designer& dsg, int32_t record, bool isGroup) {
    plat::IDispatch* ctl = m_ctl.get();
    const int32_t selected = m::Int(ctl, d::kListIndex, {}, -1);
    // The group that holds the selection: the selected group, or the
    // selected action's parent.
    int32_t group = -1;
    if (selected >= 0) {
        bool ok = false;
        const int32_t shift = m::Int(ctl, d::kShift, {Variant(selected)}, 0, &ok);
        if (ok) group = shift > 0 ? m::Int(ctl, d::kItemParent, {Variant(selected)}, -1) : selected;
    }
    bool added = false;
    if (isGroup) {
        // After the whole of that group: before the next group, or at the end.
        int32_t before = -1;
        if (group >= 0) before = group + m::Int(ctl, d::kListCountEx, {Variant(group)}, 0) + 1;
        const int32_t count = m::Int(ctl, d::kListCount, {}, 0);
        if (before >= 1 && before < count)
            added = m::Put(ctl, d::kInsertItem, Text(""), {Variant(before)});
        else
            added = m::Call(ctl, d::kAddItem, {Text("")});
    } else {
        // Nothing selected: no group to put the action in.
        if (group < 0) return;
        added = m::Call(ctl, d::kAddItem, {Text(""), Variant(group)});
    }
    // Without a new item NewIndex still names an older one, whose record
    // must not change.
    if (!added) return;
    SetUpNewItem(dsg, record);
}

int32_t CActionDisplay::SetUpNewItem(Designer& dsg, int32_t record) {
    plat::IDispatch* ctl = m_ctl.get();
    bool ok = false;
    const int32_t created = m::Int(ctl, d::kNewIndex, {}, -1, &ok);
    if (!ok || created < 0) return -1;
    const bool carried = m::Put(ctl, d::kItemLngValue, Variant(record), {Variant(created)});
    // The item was just made, so it is there; its Long value is the record
    // unless that could not be set.
    if (dsg.IsRecordIndex(record))
        RefreshItem(dsg, created, record, carried ? &dsg.Actions[static_cast<size_t>(record)] : nullptr);
    return m::Put(ctl, d::kListIndex, Variant(created)) ? created : -1;
}

void CActionDisplay::RemoveOperationItem(Designer&, int32_t item) {
    plat::IDispatch* ctl = m_ctl.get();
    if (item < 0) return;
    m::Put(ctl, d::kRedraw, Variant::boolean(false));
    if (item < m::Int(ctl, d::kListCount, {}, 0)) m::Call(ctl, d::kRemoveItem, {Variant(item)});
    m::Put(ctl, d::kRedraw, Variant::boolean(true));

    const int32_t count = m::Int(ctl, d::kListCount, {}, 0);
    if (count <= 0) {
        m::Put(ctl, d::kListIndex, Variant(int32_t(-1)));
        return;
    }
    if (count == 1) {
        m::Put(ctl, d::kListIndex, Variant(int32_t(0)));
        return;
    }
    if (item >= count) item = count - 1;
    // An item inside a collapsed group cannot be seen: select its group.
    Variant visible;
    if (m::Get(ctl, d::kIsItemVisible, visible, {Variant(item)}) && !visible.to_bool()) {
        bool ok = false;
        const int32_t parent = m::Int(ctl, d::kItemParent, {Variant(item)}, -1, &ok);
        if (ok && parent >= 0) item = parent;
    }
    m::Put(ctl, d::kListIndex, Variant(item));
}

} // namespace kld
