// Members that move items out of and into the control: tree buffers, the
// container's files by number, the clipboard and the control's data file.
#include "platform/com/safearray.h"
#include "vinca/control/members.h"
#include "vinca/model/buffer.h"
#include "vinca/model/data_file.h"
#include "vinca/model/host_file.h"
#include "vinca/model/stream.h"
#include "vinca/model/tree_stream.h"
#include "vinca/model/tree_stream_records.h"

namespace vinca::members {

namespace {

// A detached copy of a selection, made by writing it as a tree stream and
// reading it back: exactly what a buffer must hold.
BufferHandle CopySelection(const CTreeRef& ref, bool descendants, CItemNode* node, CItem* owner) {
    CVincaByteArray store(5120);
    {
        CVincaMemStream mem(store);
        CTreeStream ts(mem, CTreeStream::MODE_WRITE);
        if (ts.Open()) {
            if (owner)
                WriteNodeAsTree(ts, node, *owner, descendants);
            else
                WriteTreeRef(ts, ref, descendants);
        }
        ts.Close();
        if (mem.Error()) return 0;
    }
    CVincaMemStream mem(store);
    mem.Seek(0, 0);
    CTreeStream ts(mem, CTreeStream::MODE_READ);
    CTreeRef copy;
    if (!ts.Open() || !ReadTreeRef(ts, copy, TagForm::TwoByte) || mem.Error()) return 0;
    return vinca::AddBuffer(new CVincaBuffer(std::move(copy)));
}

} // namespace

void CopyToBuffer(CVincaCtrl& self, Call& c, int mode) {
    CVincaEngine& e = self.Engine();
    const int32_t index = c.i4(0);
    CItem* item = index == -1 ? self.ItemOrNull(-1) : self.ItemOrNull(index);
    if (index != -1 && !item) self.Raise(VE_BAD_INDEX);
    BufferHandle h = 0;
    if (!item) {
        // The list that -1 names, with (0, 2) or without (1) the sub-items.
        CItemNode* node = e.Cursor().CurrentParent();
        CItem* owner = node->OwnerItem();
        if (owner && node->GetCount() > 0) h = CopySelection({}, mode != 1, node, owner);
    } else if (mode == 2) {
        if (item->ChildNode() && item->ChildNode()->GetCount() > 0)
            h = CopySelection({}, true, item->ChildNode(), item);
    } else {
        h = CopySelection(CTreeRef{CTreeRef::kItem, item}, mode == 0, nullptr, nullptr);
    }
    c.result() = plat::Variant(static_cast<int32_t>(h));
}

void CopyItemToBuffer(CVincaCtrl&, Call& c, CItem* item) {
    const BufferHandle h = CopySelection(CTreeRef{CTreeRef::kItem, Ref<CItem>(item)}, true, nullptr, nullptr);
    if (!h) ThrowVincaError(VE_OUT_OF_MEMORY);
    c.result() = plat::Variant(static_cast<int32_t>(h));
}

void CopyItemsToBuffer(CVincaCtrl&, Call& c, const std::vector<CItem*>& items) {
    // Detached copies gathered under a root of their own: a whole list.
    Ref<CRootItem> root = CRootItem::New();
    CItemNode* node = root ? root->GetChildNode() : nullptr;
    if (!node) ThrowVincaError(VE_OUT_OF_MEMORY);
    for (CItem* item : items) {
        const BufferHandle h =
            CopySelection(CTreeRef{CTreeRef::kItem, Ref<CItem>(item)}, true, nullptr, nullptr);
        CVincaBuffer* copy = BufferFromHandle(h);
        if (!copy) ThrowVincaError(VE_OUT_OF_MEMORY);
        Ref<CItem> made = copy->ref.item;
        FreeVincaBuffer(h);
        int32_t at = -1;
        if (!made || node->AddChild(at, made.get()) != VE_OK) ThrowVincaError(VE_OUT_OF_MEMORY);
    }
    const BufferHandle h =
        vinca::AddBuffer(new CVincaBuffer(CTreeRef{CTreeRef::kTree, Ref<CItem>(root.get())}));
    if (!h) ThrowVincaError(VE_OUT_OF_MEMORY);
    c.result() = plat::Variant(static_cast<int32_t>(h));
}

void AddBuffer(CVincaCtrl& self, Call& c, bool insert) {
    CVincaEngine& e = self.Engine();
    const int32_t index = c.i4(0);
    const uint32_t value = static_cast<uint32_t>(c.value().to_i4());
    CVincaBuffer* buffer = BufferFromHandle(value);
    CItem* source = buffer ? nullptr : e.ItemFromBookmark(value);
    if (!buffer && !source) ThrowVincaError(VE_INVALID_TREE_BUFFER);
    if (index != -1) self.Item(index); // 381 for a bad index
    if (buffer) {
        CTreeRef ref = buffer->ref; // the buffer stays the caller's
        self.Raise(MergeTreeRef(e, ref, index, insert));
    } else {
        CNodeRef pos;
        self.Raise(e.ItemPosition(index, pos));
        int32_t before = -1;
        if (insert && pos.index >= 0) {
            before = pos.index;
            pos.index = -1;
        }
        self.Raise(e.AddItemCopy(pos, source, before));
    }
    self.ClearPending();
}

void SaveToFile(CVincaCtrl& self, Call& c, int what) {
    CVincaEngine& e = self.Engine();
    const int32_t index = c.i4(0);
    if (index != -1)
        self.Item(index);
    else
        self.ItemOrNull(-1);
    if (what == 2 && index == -1 && e.Cursor().CurrentParent()->IsVirtual()) self.Raise(VE_VIRTUAL_TREE);
    if (what == 2 && index != -1) {
        CItem* item = self.Item(index);
        if (item->ChildNode() && item->ChildNode()->IsVirtual()) self.Raise(VE_VIRTUAL_TREE);
    }
    const SaveWhat kinds[] = {SaveWhat::Item, SaveWhat::ItemAlone, SaveWhat::Children};
    self.Raise(SaveToHostFile(e, c.value().to_i2(), index, kinds[what], FindHostFileSite().get()));
    self.ClearPending();
}

void LoadFromFile(CVincaCtrl& self, Call& c, bool insert) {
    CVincaEngine& e = self.Engine();
    const int32_t index = c.i4(0);
    if (index != -1) self.Item(index);
    self.Raise(
        LoadFromHostFile(e, c.value().to_i2(), index, insert && index != -1, FindHostFileSite().get()));
    self.ClearPending();
}

void FileAction(CVincaCtrl& self, Call& c) {
    const int16_t mode = c.value().to_i2();
    if (mode < 0 || mode > 2) ThrowVincaError(VE_INVALID_ARGUMENT);
    self.Raise(HostFileAction(c.i2(0), mode, FindHostFileSite().get()));
}

void ClipboardAction(CVincaCtrl& self, Call& c) {
    const int32_t index = c.i4(0);
    if (index != -1) self.Item(index);
    self.Raise(vinca::ClipboardAction(self.Engine(), index, c.value().to_i4()));
    self.ClearPending();
}

void SaveBuffer(CVincaCtrl&, Call& c) {
    c.result() = plat::Variant(static_cast<int16_t>(
        SaveBufferToHostFile(static_cast<uint32_t>(c.i4(0)), c.i2(1), FindHostFileSite().get())));
}

namespace {

// Stores a handle through a by-reference argument; false when it cannot:
// an argument passed by value, or a reference to a type that cannot hold
// the handle (the write-back would fail after the buffer was made).
bool StoreHandle(Call& c, size_t i, BufferHandle h) {
    const plat::VARTYPE passed = c.passed_type(i);
    if (!(passed & plat::VT_BYREF) || (passed & plat::VT_ARRAY)) return false;
    const plat::VARTYPE to = passed & ~plat::VT_BYREF;
    plat::Variant value(static_cast<int32_t>(h));
    if (to != plat::VT_VARIANT && plat::FAILED(value.change_type(to))) return false;
    plat::Variant& slot = c.ref(i);
    if (slot.vt == plat::VT_ERROR) return false;
    slot = plat::Variant(static_cast<int32_t>(h));
    return true;
}

} // namespace

void LoadBuffer(CVincaCtrl&, Call& c) {
    BufferHandle h = 0;
    VResult r = LoadBufferFromHostFile(&h, c.i2(1), FindHostFileSite().get());
    if (!StoreHandle(c, 0, r ? 0 : h)) {
        FreeVincaBuffer(h);
        r = VE_INVALID_ARGUMENTS;
    }
    c.result() = plat::Variant(static_cast<int16_t>(r));
}

void PasteBuffer(CVincaCtrl&, Call& c) {
    BufferHandle h = 0;
    VResult r = PasteBufferFromClipboard(&h);
    if (!StoreHandle(c, 0, r ? 0 : h)) {
        FreeVincaBuffer(h);
        r = VE_INVALID_ARGUMENTS;
    }
    c.result() = plat::Variant(static_cast<int16_t>(r));
}

void SaveData(CVincaCtrl& self, Call& c) {
    c.result() = plat::Variant(self.SaveData(c.text(0)));
}

void LoadData(CVincaCtrl& self, Call& c) {
    c.result() = plat::Variant(self.LoadData(c.text(0)));
}

} // namespace vinca::members
