#pragma once
// Item, child node and tree-reference records of the tree stream.
//
// Item record: text, mark, hidden, flags (& 0xFF3C), content bits (1 always,
// 2 child node follows, 4 values follow), values, child node, grid presence
// and grid (version 4+), sort key (14+), item word (16+).
// Child node record: virtual flag (7+), the owner's sort key and method
// (14+), then the children (an int32 count, uint16 before version 6), or for
// a virtual parent its count and the materialised children that carry
// anything, each as 1, index, item record; 0 ends the list.
//
// Readers build into objects nobody else sees yet; a caller that gets false
// drops what was read, so a failed load never touches a live tree.
#include <cstdint>

#include "vinca/model/item.h"
#include "vinca/model/tree_stream.h"

namespace vinca {

// The payload tag forms: two bytes ("TR", "TI", 0) in streams of their own,
// one byte (1 tree, 2 item) inside the persisted tree object.
enum class TagForm { TwoByte, OneByte };

void WriteItemRecord(CTreeStream& ts, CItem& item, bool descendants);
bool ReadItemRecord(CTreeStream& ts, CItem& item);
// `owner` is the item whose children the node holds (its sort key and method
// are stored with the node); a null node is written as an empty one.
void WriteNodeRecord(CTreeStream& ts, CItemNode* node, CItem& owner, bool descendants);
bool ReadNodeRecord(CTreeStream& ts, CItemNode& node);

// The payload of a tree buffer or file: the whole tree (the root item's
// children) or one item. With `descendants` off an item is written without
// its child node.
void WriteTreeRef(CTreeStream& ts, const CTreeRef& ref, bool descendants, TagForm form = TagForm::TwoByte);
// Reads into `out` only when the whole payload was read; `out` is untouched
// otherwise. In the one-byte form an item with children becomes the whole
// tree and an item without children an empty reference.
bool ReadTreeRef(CTreeStream& ts, CTreeRef& out, TagForm form = TagForm::TwoByte);

// Writes the children of `node` as a whole tree ("TR"): the node's record
// with the sort key and method of its owning item; without `descendants`
// the children alone, none of their sub-items.
void WriteNodeAsTree(CTreeStream& ts, CItemNode* node, CItem& owner, bool descendants = true);

} // namespace vinca
