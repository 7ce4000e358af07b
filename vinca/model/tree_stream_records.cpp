// Item, child node and tree-reference records.
//
// Trees may be as deep as memory allows, so neither side recurses: an item
// record is split around its child node record (head: text to values; tail:
// grid, sort key, item word), and the nodes being written or read wait on an
// explicit stack. Reading, every level costs stream bytes, so a stream that
// claims more nesting than it holds runs out of bytes, not of stack.
#include "vinca/model/tree_stream_records.h"

#include <algorithm>
#include <vector>

#include "vinca/model/grid.h"
#include "vinca/model/names.h"

namespace vinca {

namespace {

constexpr uint16_t kStoredFlags = 0xFF3C;
constexpr uint16_t kHasNode = 0x2, kHasValues = 0x4;
// Smallest stored item: text length, mark, hidden, flags, content bits.
constexpr uint64_t kMinItemBytes = 10;

bool read_item_text(CTreeStream& ts, std::string& text) {
    if (ts.Version() >= 9) return ts.ReadByteString(text);
    std::optional<std::string> old;
    if (!ts.ReadString(old)) return false;
    text = old.value_or(std::string());
    return true;
}

bool count_fits(CTreeStream& ts, uint64_t count, uint64_t min_bytes) {
    auto left = ts.Bytes().Remaining();
    return !left || *left / min_bytes >= count;
}

// ---- writing ----

// The item's record up to its child node; the node to write next, or null.
CItemNode* write_item_head(CTreeStream& ts, CItem& item, bool descendants) {
    CVincaStream& s = ts.Bytes();
    ts.WriteByteString(item.Text());
    s.WriteU8(item.Mark());
    s.WriteU8(item.Hidden() ? 1 : 0);
    s.WriteU16(item.Flags() & kStoredFlags);
    CItemNode* node = descendants ? item.ChildNode() : nullptr;
    CItemData* data = item.ItemData();
    s.WriteU16(static_cast<uint16_t>(1 | (node ? kHasNode : 0) | (data ? kHasValues : 0)));
    if (data) ts.WriteAttrList(data->Values());
    return node;
}

// The item's record after its child node.
void write_item_tail(CTreeStream& ts, CItem& item) {
    WriteGridRecord(ts, item.Grid());
    ts.WriteNameRef(item.SortKey());
    ts.Bytes().WriteI32(item.ItemWord());
}

// A node's record up to its children; false for a null node (written empty).
bool write_node_head(CTreeStream& ts, CItemNode* node, CItem& owner) {
    CVincaStream& s = ts.Bytes();
    s.WriteU8(node && node->IsVirtual() ? 1 : 0);
    ts.WriteNameRef(owner.SortKey());
    s.WriteI32(owner.SortMethod());
    s.WriteI32(node ? node->GetCount() : 0);
    return node != nullptr;
}

// A node whose children are being written.
struct WriteFrame {
    CItemNode* node;
    CItem* owner;
    int32_t pos{0}; // next child (of a virtual parent: next materialised child)
};

// The next child of the frame to write; a virtual parent's children made on
// demand are made again when asked for, so only those that carry something
// of their own are stored, each after its marker and index.
CItem* next_child(CTreeStream& ts, WriteFrame& f) {
    if (!f.node->IsVirtual()) return f.pos < f.node->GetCount() ? f.node->MaterialisedAt(f.pos++) : nullptr;
    while (f.pos < f.node->MaterialisedCount()) {
        CItem* child = f.node->MaterialisedAt(f.pos++);
        if (!child->HasChildren() && !child->ItemData()) continue;
        ts.Bytes().WriteU8(1);
        ts.Bytes().WriteI32(child->IndexField());
        return child;
    }
    ts.Bytes().WriteU8(0);
    return nullptr;
}

// ---- reading ----

// The item's record up to its child node; `node` is the node whose record
// follows, or null.
bool read_item_head(CTreeStream& ts, CItem& item, CItemNode*& node) {
    node = nullptr;
    CVincaStream& s = ts.Bytes();
    std::string text;
    uint8_t mark = 0, hidden = 0;
    uint16_t flags = 0, content = 0;
    if (!read_item_text(ts, text) || !s.ReadU8(mark) || !s.ReadU8(hidden) || !s.ReadU16(flags) ||
        !s.ReadU16(content))
        return false;
    item.AdoptText(std::move(text));
    item.SetMark(mark);
    item.SetHidden(hidden & 0xF);
    item.SetFlags(static_cast<uint16_t>((item.Flags() & CItem::kRuntimeMask) | (flags & kStoredFlags)));
    if (content & kHasValues) {
        // A new holder's own (empty) set takes the values.
        Ref<CItemData> data = CItemData::New();
        if (!data) return ts.SetError(VE_OUT_OF_MEMORY), false;
        if (!ts.ReadAttrList(data->Values())) return false;
        item.SetItemData(data.get());
    }
    if (content & kHasNode) {
        node = item.GetChildNode();
        if (!node) return ts.SetError(VE_OUT_OF_MEMORY), false;
    }
    return true;
}

bool read_item_tail(CTreeStream& ts, CItem& item) {
    if (ts.Version() >= 4) {
        Ref<CItemGridBase> grid;
        if (!ReadGridRecord(ts, grid)) return false;
        if (grid) item.SetGrid(grid.get());
    }
    if (ts.Version() >= 14) {
        const CVincaName* key = ts.ReadNameRef();
        if (!key) return false;
        item.SetSortKey(key);
    }
    if (ts.Version() >= 16) {
        int32_t word = 0;
        if (!ts.Bytes().ReadI32(word)) return false;
        item.SetItemWord(word);
    }
    return !ts.Failed();
}

// A node whose children are being read.
struct ReadFrame {
    CItemNode* node;
    bool isVirtual;
    int32_t count;
    int32_t next{0}; // ordinary: children read so far; virtual: the lowest index allowed next
};

bool read_node_head(CTreeStream& ts, CItemNode& node, ReadFrame& f) {
    CVincaStream& s = ts.Bytes();
    uint8_t is_virtual = 0;
    if (ts.Version() >= 7 && !s.ReadU8(is_virtual)) return false;
    if (ts.Version() >= 14) {
        const CVincaName* key = ts.ReadNameRef();
        int32_t method = 0;
        if (!key || !s.ReadI32(method)) return false;
        if (CItem* owner = node.OwnerItem()) {
            owner->SetSortKey(key);
            owner->SetSortMethodBits(method & 0xFFFF);
        }
    }
    int32_t count = 0;
    if (ts.Version() >= 6) {
        if (!s.ReadI32(count)) return false;
    } else {
        uint16_t count16 = 0;
        if (!s.ReadU16(count16)) return false;
        count = count16;
    }
    if (count < 0) return ts.BadFormat();
    f = {&node, is_virtual != 0, count};
    if (is_virtual) {
        node.SetVirtual(true);
        node.SetVirtualCount(count);
        return true;
    }
    if (!count_fits(ts, static_cast<uint64_t>(count), kMinItemBytes)) return ts.BadFormat();
    // The count was checked against the bytes left when the stream knows
    // them; otherwise room is made for a modest number only.
    constexpr int32_t kBlindReserve = 4096;
    int32_t room = ts.Bytes().Remaining() ? count : std::min(count, kBlindReserve);
    if (!node.ReserveChildren(node.MaterialisedCount() + room)) return ts.SetError(VE_OUT_OF_MEMORY), false;
    return true;
}

// The next child of the frame to read into, made in its place; null (with
// `ok`) when the node's children are complete.
CItem* next_child(CTreeStream& ts, ReadFrame& f, bool& ok) {
    ok = false;
    if (!f.isVirtual) {
        if (f.next >= f.count) return ok = true, nullptr;
        ++f.next;
        int32_t at = -1;
        CItem* child = nullptr;
        if (f.node->AddNewChild(at, {}, 0, &child) != VE_OK || !child)
            return ts.SetError(VE_OUT_OF_MEMORY), nullptr;
        return ok = true, child;
    }
    CVincaStream& s = ts.Bytes();
    uint8_t marker = 0;
    if (!s.ReadU8(marker)) return nullptr;
    if (marker == 0) return ok = true, nullptr;
    if (marker != 1) return ts.BadFormat(), nullptr;
    int32_t index = 0;
    if (!s.ReadI32(index)) return nullptr;
    // Indexes name existing children, each once, in increasing order.
    if (index < f.next || index >= f.count) return ts.BadFormat(), nullptr;
    f.next = index + 1;
    CItem* child = f.node->GetAt(index);
    if (!child) return ts.SetError(VE_OUT_OF_MEMORY), nullptr;
    return ok = true, child;
}

} // namespace

void WriteItemRecord(CTreeStream& ts, CItem& item, bool descendants) {
    if (CItemNode* node = write_item_head(ts, item, descendants))
        WriteNodeRecord(ts, node, item, descendants);
    write_item_tail(ts, item);
}

void WriteNodeRecord(CTreeStream& ts, CItemNode* node, CItem& owner, bool descendants) {
    if (!write_node_head(ts, node, owner)) return;
    std::vector<WriteFrame> stack;
    stack.push_back({node, &owner});
    while (!stack.empty() && !ts.Failed()) {
        WriteFrame& top = stack.back();
        if (CItem* child = next_child(ts, top)) {
            CItemNode* sub = write_item_head(ts, *child, descendants);
            if (sub && write_node_head(ts, sub, *child))
                stack.push_back({sub, child});
            else
                write_item_tail(ts, *child);
            continue;
        }
        CItem* finished = top.owner;
        stack.pop_back();
        // The owner of the outermost node is the caller's to finish.
        if (!stack.empty()) write_item_tail(ts, *finished);
    }
}

bool ReadItemRecord(CTreeStream& ts, CItem& item) {
    CItemNode* node = nullptr;
    if (!read_item_head(ts, item, node)) return false;
    if (node && !ReadNodeRecord(ts, *node)) return false;
    return read_item_tail(ts, item);
}

bool ReadNodeRecord(CTreeStream& ts, CItemNode& node) {
    std::vector<ReadFrame> stack(1);
    if (!read_node_head(ts, node, stack.back())) return false;
    while (!stack.empty()) {
        bool ok = false;
        CItem* child = next_child(ts, stack.back(), ok);
        if (!ok) return false;
        if (child) {
            CItemNode* sub = nullptr;
            if (!read_item_head(ts, *child, sub)) return false;
            if (!sub) {
                if (!read_item_tail(ts, *child)) return false;
                continue;
            }
            ReadFrame f{};
            if (!read_node_head(ts, *sub, f)) return false;
            stack.push_back(f);
            continue;
        }
        CItem* finished = stack.back().node->OwnerItem();
        stack.pop_back();
        // The owner of the outermost node is the caller's to finish.
        if (!stack.empty() && !read_item_tail(ts, *finished)) return false;
    }
    return !ts.Failed();
}
void WriteNodeAsTree(CTreeStream& ts, CItemNode* node, CItem& owner, bool descendants) {
    ts.Bytes().WriteU16(CTreeRef::kTree);
    WriteNodeRecord(ts, node, owner, descendants);
}

void WriteTreeRef(CTreeStream& ts, const CTreeRef& ref, bool descendants, TagForm form) {
    CVincaStream& s = ts.Bytes();
    CItem* item = ref.item.get();
    CTreeRef::Kind kind = item ? ref.kind : CTreeRef::kNone;
    if (form == TagForm::TwoByte)
        s.WriteU16(kind);
    else
        s.WriteU8(kind == CTreeRef::kTree ? 1 : kind == CTreeRef::kItem ? 2 : 0);
    if (kind == CTreeRef::kTree)
        WriteNodeRecord(ts, item->ChildNode(), *item, true);
    else if (kind == CTreeRef::kItem)
        WriteItemRecord(ts, *item, descendants);
}

bool ReadTreeRef(CTreeStream& ts, CTreeRef& out, TagForm form) {
    CVincaStream& s = ts.Bytes();
    CTreeRef::Kind kind = CTreeRef::kNone;
    if (form == TagForm::TwoByte) {
        uint16_t tag = 0;
        if (!s.ReadU16(tag)) return false;
        if (tag != CTreeRef::kNone && tag != CTreeRef::kTree && tag != CTreeRef::kItem) return ts.BadFormat();
        kind = static_cast<CTreeRef::Kind>(tag);
    } else {
        uint8_t tag = 0;
        if (!s.ReadU8(tag)) return false;
        kind = tag == 1 ? CTreeRef::kTree : tag == 2 ? CTreeRef::kItem : CTreeRef::kNone;
    }
    CTreeRef ref;
    ref.kind = kind;
    if (kind == CTreeRef::kTree) {
        Ref<CRootItem> root = CRootItem::New();
        CItemNode* node = root ? root->GetChildNode() : nullptr;
        if (!node) return ts.SetError(VE_OUT_OF_MEMORY), false;
        if (!ReadNodeRecord(ts, *node)) return false;
        ref.item = root;
    } else if (kind == CTreeRef::kItem) {
        Ref<CItem> item = CItem::New(nullptr, {}, 0);
        if (!item) return ts.SetError(VE_OUT_OF_MEMORY), false;
        if (!ReadItemRecord(ts, *item)) return false;
        if (form == TagForm::OneByte) {
            // The persisted form stores the whole tree as the root's record.
            if (item->HasChildren()) {
                // The item's child node, as it is (a virtual one too), becomes the tree.
                Ref<CRootItem> root = CRootItem::New();
                if (!root) return ts.SetError(VE_OUT_OF_MEMORY), false;
                root->TakeOver(*item);
                root->SetItemData(nullptr);
                root->SetGrid(nullptr);
                root->SetText({});
                ref.kind = CTreeRef::kTree;
                ref.item = root;
            } else {
                ref.kind = CTreeRef::kNone;
            }
        } else {
            ref.item = item;
        }
    }
    if (ts.Failed()) return false;
    out = std::move(ref);
    return true;
}

} // namespace vinca
