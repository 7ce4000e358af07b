#include "vinca/model/search.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "platform/base/strings.h"
#include "vinca/model/values.h"

namespace vinca {

int32_t FindOptionsToFlags(int32_t options) {
    return (options & 0x1) | ((options & 0xE) << 25);
}

namespace {

int Sign(int c) {
    return c < 0 ? -1 : (c > 0 ? 1 : 0);
}

// Byte order of UTF-8 text is the order of its characters.
int CompareBytes(std::string_view a, std::string_view b) {
    return Sign(a.compare(b));
}

int CompareCase(std::string_view a, std::string_view b, bool ignoreCase) {
    return ignoreCase ? Sign(plat::icompare(a, b)) : CompareBytes(a, b);
}

// Length of the UTF-8 character starting at s[i].
size_t CharLength(std::string_view s, size_t i) {
    unsigned char c = static_cast<unsigned char>(s[i]);
    size_t n = c < 0x80 ? 1 : (c >> 5) == 6 ? 2 : (c >> 4) == 14 ? 3 : (c >> 3) == 30 ? 4 : 1;
    return std::min(n, s.size() - i);
}

// The leading decimal number of a text and the rest after it.
bool LeadingNumber(std::string_view s, uint64_t& value, std::string_view& rest) {
    size_t i = 0;
    value = 0;
    while (i < s.size() && s[i] >= '0' && s[i] <= '9') {
        if (value < UINT64_MAX / 10) value = value * 10 + (s[i] - '0');
        ++i;
    }
    rest = s.substr(i);
    return i > 0;
}

int CompareTextRules(std::string_view first, std::string_view second, int32_t flags) {
    bool ignoreCase = flags & CMP_IGNORE_CASE;
    if (flags & CMP_PREFIX) {
        if (first.size() < second.size()) return -1;
        return CompareCase(first.substr(0, second.size()), second, ignoreCase);
    }
    if (flags & CMP_SUBSTRING) {
        if (first.size() < second.size()) return -1;
        if (second.empty()) return 1;
        for (size_t i = 0; i + second.size() <= first.size(); i += CharLength(first, i))
            if (CompareCase(first.substr(i, second.size()), second, ignoreCase) == 0) return 0;
        return 1;
    }
    if (flags & CMP_NUMERIC_PREFIX) {
        uint64_t na, nb;
        std::string_view ra, rb;
        bool ha = LeadingNumber(first, na, ra), hb = LeadingNumber(second, nb, rb);
        int32_t rest = flags & ~CMP_NUMERIC_PREFIX;
        if (ha && hb) {
            if (na != nb) return na < nb ? -1 : 1;
            return CompareTextRules(ra, rb, rest);
        }
        if (ha != hb) return ha ? -1 : 1;
        return CompareTextRules(first, second, rest);
    }
    return CompareCase(first, second, ignoreCase);
}

} // namespace

int CompareTexts(std::string_view first, std::string_view second, int32_t flags) {
    if (first.empty()) return second.empty() ? 0 : -1;
    if (second.empty()) return 1;
    if (flags & (CMP_IGNORE_CASE | CMP_NUMERIC_PREFIX)) return CompareTextRules(first, second, flags);
    if (flags & CMP_PREFIX) // the first characters of the first text, as many as the second has
        return CompareBytes(first.substr(0, second.size()), second);
    if (!(flags & CMP_SUBSTRING)) return CompareBytes(first, second);
    if (first.size() < second.size()) return -1;
    return first.find(second) != std::string_view::npos ? 0 : 1;
}

int CompareBstrs(plat::BSTR first, plat::BSTR second, int32_t flags) {
    if (!first) return second ? -1 : 0;
    if (!second) return 1;
    return CompareTexts(plat::bstr_to_utf8(first), plat::bstr_to_utf8(second), flags);
}

int CompareItemValues(const plat::VARIANT& aIn, const plat::VARIANT& bIn, int32_t flags) {
    return ValueCompare(plat::deref(aIn), plat::deref(bIn), flags & ~CMP_VALUES);
}

int CompareKey(CItem* item, const plat::VARIANT& value, int32_t flags, const CVincaName* key) {
    if (flags & CMP_VALUES) {
        CItemData* data = item->ItemData();
        if (!data) return -1;
        return data->Compare(value, flags & ~CMP_VALUES, key ? key : names::ObsoleteValue());
    }
    const plat::VARIANT& v = plat::deref(value);
    if (v.vt == plat::VT_BSTR || v.vt == plat::VT_ANSI)
        return CompareTexts(item->Text(), ValueToText(v), flags);
    return CompareTexts(item->Text(), {}, flags);
}

bool CompareTreeValue(CItem* item, std::string_view text, int32_t flags, const CVincaName* name,
                      int& result) {
    CItemData* data = item->ItemData();
    CAttrSet* tree = data ? data->GetValueSet(names::Tree(), false) : nullptr;
    const plat::Variant* v = tree ? tree->FindValue(name) : nullptr;
    if (!v) return false;
    result = CompareTexts(ValueToText(*v), text, flags & ~CMP_VALUES);
    return true;
}

// ---- paths ----

VResult FindItemByPath(CItemNode* top, CItemNode* start, std::string_view path, std::string_view sep,
                       CNodeRef& out) {
    if (!start || path.empty() || sep.empty()) return VE_INVALID_ARGUMENT;
    auto above = [top](CItemNode* n) { return n && n->Above() ? n->Above() : top; };
    CNodeRef pos{start, -1};
    size_t i = 0;
    if (path.substr(0, 2) == "..") {
        pos.node = start == top ? top : above(start);
        i = 2;
    } else if (path.substr(0, sep.size()) == sep) {
        pos.node = top;
    } else if (path[0] == '.') {
        i = 1;
    }
    bool atLeaf = false; // the last item found has no children
    while (i < path.size()) {
        if (path.substr(i, sep.size()) == sep) {
            i += sep.size();
            continue;
        }
        size_t end = path.find(sep, i);
        std::string_view comp =
            path.substr(i, end == std::string_view::npos ? std::string_view::npos : end - i);
        i = end == std::string_view::npos ? path.size() : end;
        if (atLeaf) return VE_ITEM_NOT_FOUND; // path text remains below an item without children
        CItemNode* node = pos.node;
        if (pos.index >= 0) // (node, index) of a leaf: descend is impossible
            return VE_ITEM_NOT_FOUND;
        if (comp == "..") {
            pos = {above(node), -1};
            continue;
        }
        int32_t index;
        if (comp[0] == '#') {
            std::string_view digits = comp.substr(1);
            if (digits.empty()) return VE_INVALID_ARGUMENT;
            bool ok = std::all_of(digits.begin(), digits.end(), [](char c) { return c >= '0' && c <= '9'; });
            int64_t v = 0;
            for (char c : digits)
                v = std::min<int64_t>(v * 10 + (c - '0'), INT32_MAX);
            if (!ok || v >= node->GetCount()) return VE_ITEM_NOT_FOUND;
            index = static_cast<int32_t>(v);
        } else {
            index = node->FindChildByText(comp);
            if (index < 0) return VE_ITEM_NOT_FOUND;
        }
        CItem* child = node->GetAt(index);
        if (!child) return VE_ITEM_NOT_FOUND;
        if (CItemNode* sub = child->ChildNode()) {
            pos = {sub, -1};
        } else {
            pos = {node, index};
            atLeaf = true;
        }
    }
    out = pos;
    return VE_OK;
}

std::string BuildFullPath(CItemNode* top, CItem* item, std::string_view sep) {
    std::vector<CItem*> chain;
    for (CItem* it = item; it && it->ParentNode(); it = it->GetParentItem()) {
        chain.push_back(it);
        if (it->ParentNode() == top) break;
    }
    std::string path;
    for (auto it = chain.rbegin(); it != chain.rend(); ++it) {
        path += sep;
        path += (*it)->Text();
    }
    return path;
}

// ---- text export ----

void WriteItemText(CItem* item, std::string& out, bool withChildren) {
    if (!item) return;
    out += item->Text();
    out += "\r\n";
    if (withChildren && item->ChildNode()) WriteNodeText(item->ChildNode(), out);
}

void WriteNodeText(CItemNode* node, std::string& out) {
    struct Frame {
        CItemNode* node;
        int32_t pos;
        int32_t level;
    };
    int32_t level = 0;
    for (CItemNode* n = node->Above(); n; n = n->Above())
        ++level;
    // A stack of nodes rather than nested calls: trees may be of any depth.
    std::vector<Frame> stack{{node, 0, level}};
    while (!stack.empty()) {
        Frame& f = stack.back();
        if (f.pos >= f.node->MaterialisedCount()) {
            stack.pop_back();
            continue;
        }
        CItem* item = f.node->MaterialisedAt(f.pos++);
        int32_t at = f.level;
        out.append(static_cast<size_t>(at), '\t');
        out += item->Text();
        out += "\r\n";
        if (CItemNode* sub = item->ChildNode()) stack.push_back({sub, 0, at + 1});
    }
}

} // namespace vinca
