#pragma once
// The one comparison behind item search, sorting and cell values; item
// paths (texts of ancestors joined by the path separator); the text export
// of items as indented lines.
#include <cstdint>
#include <string>
#include <string_view>

#include "platform/com/bstr.h"
#include "platform/com/variant.h"
#include "vinca/model/item.h"

namespace vinca {

// Comparison flags.
enum CompareFlags : int32_t {
    CMP_IGNORE_CASE = 0x1,
    CMP_LOCALE_MASK = 0x31007, // further locale flags passed on with ignore-case
    CMP_NUMERIC_PREFIX = 0x1000000,
    CMP_SUBSTRING = 0x4000000,
    CMP_PREFIX = 0x8000000,
    CMP_VALUES = 0x10000000,
};

// The comparison flags of the find members' option bits: 0x1 ignore case,
// 0x2 substring, 0x4 prefix, 0x8 value search.
int32_t FindOptionsToFlags(int32_t options);

// Compares two texts (negative, 0, positive). With ignore-case or numeric
// prefix the text rules apply; otherwise the texts compare character by
// character, with prefix and substring as the flags say.
int CompareTexts(std::string_view first, std::string_view second, int32_t flags);
// The same for automation strings; a null text orders before any other.
int CompareBstrs(plat::BSTR first, plat::BSTR second, int32_t flags);

// Compares two values for sorting and searching: texts by the text rules
// with every flag (prefix, substring, numeric prefix), anything else by the
// value comparison.
int CompareItemValues(const plat::VARIANT& a, const plat::VARIANT& b, int32_t flags);

// Compares the item with a value: with CMP_VALUES its value under `key`
// (-1 without a value holder), else its text with a text value (a non-text
// value compares as an empty text).
int CompareKey(CItem* item, const plat::VARIANT& value, int32_t flags, const CVincaName* key);
// Compares `text` with the value under `name` in the item's "__Tree" set;
// false (no match) when there is none.
bool CompareTreeValue(CItem* item, std::string_view text, int32_t flags, const CVincaName* name, int& result);

// Looks an item up by path. 0 and the position; 380 for no start node, an
// empty path or separator, or an empty index; 20103 when the path leads nowhere.
VResult FindItemByPath(CItemNode* top, CItemNode* start, std::string_view path, std::string_view separator,
                       CNodeRef& out);
// The separator and text of every ancestor below the top node, then the
// separator and the item's text.
std::string BuildFullPath(CItemNode* top, CItem* item, std::string_view separator);

// The item's text and "\r\n", then (when asked) its subtree, each line
// indented by one TAB per level below the item.
void WriteItemText(CItem* item, std::string& out, bool withChildren);
// Every child of the node with its subtree, each line indented by one TAB
// per level of the line's item.
void WriteNodeText(CItemNode* node, std::string& out);

} // namespace vinca
