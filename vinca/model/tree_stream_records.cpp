// Item, child node and tree-reference records.
#include "vinca/model/tree_stream_records.h"

#include <algorithm>

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

} // namespace

void WriteItemRecord(CTreeStream& ts, CItem& item, bool descendants) {
    CStreamDepth guard(ts, ts.ItemDepth(), CTreeStream::kMaxItemDepth);
    if (!guard) return;
    CVincaStream& s = ts.Bytes();
    ts.WriteByteString(item.Text());
    s.WriteU8(item.Mark());
    s.WriteU8(item.Hidden() ? 1 : 0);
    s.WriteU16(item.Flags() & kStoredFlags);
    CItemNode* node = descendants ? item.ChildNode() : nullptr;
    CItemData* data = item.ItemData();
    s.WriteU16(static_cast<uint16_t>(1 | (node ? kHasNode : 0) | (data ? kHasValues : 0)));
    if (data) ts.WriteAttrList(data->Values());
    if (node) WriteNodeRecord(ts, node, item, descendants);
    WriteGridRecord(ts, item.Grid());
    ts.WriteNameRef(item.SortKey());
    s.WriteI32(item.ItemWord());
}

bool ReadItemRecord(CTreeStream& ts, CItem& item) {
    CStreamDepth guard(ts, ts.ItemDepth(), CTreeStream::kMaxItemDepth);
    if (!guard) return false;
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
        CItemNode* node = item.GetChildNode();
        if (!node) return ts.SetError(VE_OUT_OF_MEMORY), false;
        if (!ReadNodeRecord(ts, *node)) return false;
    }
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
        if (!s.ReadI32(word)) return false;
        item.SetItemWord(word);
    }
    return !ts.Failed();
}

void WriteNodeRecord(CTreeStream& ts, CItemNode* node, CItem& owner, bool descendants) {
    CVincaStream& s = ts.Bytes();
    bool is_virtual = node && node->IsVirtual();
    s.WriteU8(is_virtual ? 1 : 0);
    ts.WriteNameRef(owner.SortKey());
    s.WriteI32(owner.SortMethod());
    if (!node) {
        s.WriteI32(0);
        return;
    }
    if (!is_virtual) {
        int32_t count = node->GetCount();
        s.WriteI32(count);
        for (int32_t i = 0; i < count && !ts.Failed(); ++i)
            WriteItemRecord(ts, *node->MaterialisedAt(i), descendants);
        return;
    }
    s.WriteI32(node->GetCount());
    // Children made on demand are made again when asked for; only those that
    // carry something of their own are stored.
    for (int32_t pos = 0; pos < node->MaterialisedCount() && !ts.Failed(); ++pos) {
        CItem* child = node->MaterialisedAt(pos);
        if (!child->HasChildren() && !child->ItemData()) continue;
        s.WriteU8(1);
        s.WriteI32(child->IndexField());
        WriteItemRecord(ts, *child, descendants);
    }
    s.WriteU8(0);
}

bool ReadNodeRecord(CTreeStream& ts, CItemNode& node) {
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
    if (!is_virtual) {
        if (!count_fits(ts, static_cast<uint64_t>(count), kMinItemBytes)) return ts.BadFormat();
        // The count was checked against the bytes left when the stream knows
        // them; otherwise room is made for a modest number only.
        constexpr int32_t kBlindReserve = 4096;
        int32_t room = ts.Bytes().Remaining() ? count : std::min(count, kBlindReserve);
        if (!node.ReserveChildren(node.MaterialisedCount() + room)) return ts.SetError(VE_OUT_OF_MEMORY), false;
        for (int32_t i = 0; i < count; ++i) {
            int32_t at = -1;
            CItem* child = nullptr;
            if (node.AddNewChild(at, {}, 0, &child) != VE_OK || !child)
                return ts.SetError(VE_OUT_OF_MEMORY), false;
            if (!ReadItemRecord(ts, *child)) return false;
        }
        return true;
    }
    node.SetVirtual(true);
    node.SetVirtualCount(count);
    int32_t last = -1;
    for (;;) {
        uint8_t marker = 0;
        if (!s.ReadU8(marker)) return false;
        if (marker == 0) return true;
        if (marker != 1) return ts.BadFormat();
        int32_t index = 0;
        if (!s.ReadI32(index)) return false;
        // Indexes name existing children, each once, in increasing order.
        if (index <= last || index >= count) return ts.BadFormat();
        last = index;
        CItem* child = node.GetAt(index);
        if (!child) return ts.SetError(VE_OUT_OF_MEMORY), false;
        if (!ReadItemRecord(ts, *child)) return false;
    }
}

void WriteNodeAsTree(CTreeStream& ts, CItemNode* node, CItem& owner) {
    ts.Bytes().WriteU16(CTreeRef::kTree);
    WriteNodeRecord(ts, node, owner, true);
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
