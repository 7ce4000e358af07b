#pragma once
// Trees and stream helpers shared by the storage suites.
#include <cstdint>
#include <vector>

#include "vinca/model/item.h"
#include "vinca/model/tree_stream_records.h"

namespace storage_test {

using Bytes = std::vector<uint8_t>;

// An empty whole tree (a root item with an empty child node).
vinca::CTreeRef NewTree();
vinca::CItem* AddChild(const vinca::CTreeRef& tree, const char* text);
vinca::CItem* AddChild(vinca::CItem* parent, const char* text);

// The tree stream of a reference (header and two-byte tag payload).
Bytes Save(const vinca::CTreeRef& ref, bool descendants = true);
// Reads a tree stream into `out`; the stream's kept error.
vinca::VResult Load(const Bytes& bytes, vinca::CTreeRef& out);

// A tree with every value type, nested values, a grid, pictures, a font,
// a sort key and a virtual parent; and the checks that it came back.
vinca::CTreeRef RichTree();
void ExpectRichTree(const vinca::CTreeRef& tree);

// A small bitmap file.
std::string BitmapBytes();

} // namespace storage_test
