// Tree buffers, their handles, and the clipboard copies of trees.
#include "vinca/model/buffer.h"

#include "platform/base/handle_table.h"
#include "vinca/model/clipboard.h"
#include "vinca/model/host_file.h"
#include "vinca/model/search.h"
#include "vinca/model/stream.h"
#include "vinca/model/thread_registry.h"
#include "vinca/model/tree_stream_records.h"

namespace vinca {

namespace {

plat::HandleTable<CVincaBuffer>& buffers() {
    static plat::HandleTable<CVincaBuffer> table;
    return table;
}

// The tree stream of a selection: a reference, or a node written as a tree.
VResult write_selection(CVincaByteArray& store, const CTreeRef& ref, bool descendants, CItemNode* node,
                        CItem* owner) {
    CVincaMemStream mem(store);
    CTreeStream ts(mem, CTreeStream::MODE_WRITE);
    if (ts.Open()) {
        if (node || owner)
            WriteNodeAsTree(ts, node, *owner);
        else
            WriteTreeRef(ts, ref, descendants);
    }
    ts.Close();
    return mem.Error();
}

std::string selection_text(const CTreeRef& ref, bool descendants, CItemNode* node) {
    std::string text;
    if (node)
        WriteNodeText(node, text);
    else if (ref.kind == CTreeRef::kTree && ref.item && ref.item->ChildNode())
        WriteNodeText(ref.item->ChildNode(), text);
    else if (ref.kind == CTreeRef::kItem && ref.item)
        WriteItemText(ref.item.get(), text, descendants);
    return text;
}

VResult put_on_clipboard(CVincaByteArray& tree, const std::string& text) {
    auto tree_block = DetachToGlobal(tree, false);
    if (!tree_block) return VE_OUT_OF_MEMORY;
    IClipboard& cb = Clipboard();
    if (!cb.Open()) return VE_OUT_OF_MEMORY;
    cb.Empty();
    GlobalBlock text_block(text.begin(), text.end());
    text_block.push_back(0);
    cb.SetData(kTextClipboardFormat, std::move(text_block));
    bool ok = cb.SetData(kTreeClipboardFormat, std::move(*tree_block));
    cb.Close();
    return ok ? VE_OK : VE_OUT_OF_MEMORY;
}

VResult copy_selection(const CTreeRef& ref, bool descendants, CItemNode* node, CItem* owner) {
    CVincaByteArray store(5120);
    if (VResult r = write_selection(store, ref, descendants, node, owner)) return r;
    return put_on_clipboard(store, selection_text(ref, descendants, node));
}

} // namespace

BufferHandle AddBuffer(CVincaBuffer* buffer);

namespace {
// A new buffer holding `ref`, its handle in `out`.
VResult hand_out(CTreeRef ref, BufferHandle* out) {
    BufferHandle h = AddBuffer(new CVincaBuffer(std::move(ref)));
    if (!h) return VE_OUT_OF_MEMORY;
    *out = h;
    return VE_OK;
}
} // namespace

CVincaBuffer::CVincaBuffer(CTreeRef r)
    : ref(std::move(r)), signature(kSignature), thread(CurrentThreadId()) {}

CVincaBuffer::~CVincaBuffer() {
    signature = 0;
    thread = 0;
}

// Buffer handles and item bookmarks travel in the same Long values (a
// control's Add accepts either), so buffers take their numbers from a range
// of their own, far above the bookmarks.
constexpr BufferHandle kBufferRange = 0x40000000;

BufferHandle AddBuffer(CVincaBuffer* buffer) {
    if (!buffer) return 0;
    const BufferHandle h = buffers().add(buffer);
    if (h >= kBufferRange) {
        delete buffers().remove(h);
        return 0;
    }
    return h | kBufferRange;
}

CVincaBuffer* BufferFromHandle(BufferHandle handle) {
    if (!(handle & kBufferRange) || handle >= 2 * kBufferRange) return nullptr;
    handle &= ~kBufferRange;
    CVincaBuffer* b = buffers().get(handle);
    if (!b || b->signature != CVincaBuffer::kSignature || b->thread != CurrentThreadId()) return nullptr;
    if (b->ref.kind == CTreeRef::kTree && !b->ref.item) return nullptr;
    return b;
}

bool IsValidVincaBuffer(BufferHandle handle) {
    return BufferFromHandle(handle) != nullptr;
}

void FreeVincaBuffer(BufferHandle handle) {
    if (!BufferFromHandle(handle)) return;
    delete buffers().remove(handle & ~kBufferRange);
}

VResult CopyTreeRefToClipboard(const CTreeRef& ref, bool descendants) {
    return copy_selection(ref, descendants, nullptr, nullptr);
}

VResult CopyBufferToClipboard(BufferHandle handle) {
    CVincaBuffer* b = BufferFromHandle(handle);
    if (!b) return VE_INVALID_TREE_BUFFER;
    return CopyTreeRefToClipboard(b->ref, true);
}

bool IsTreeOnClipboard() {
    return Clipboard().IsFormatAvailable(kTreeClipboardFormat);
}

VResult ReadClipboardTree(CTreeRef& out) {
    IClipboard& cb = Clipboard();
    if (!cb.IsFormatAvailable(kTreeClipboardFormat) || !cb.Open()) return VE_CLIPBOARD_EMPTY;
    auto block = cb.GetData(kTreeClipboardFormat);
    cb.Close();
    CVincaByteArray store(5120);
    if (!block || !AttachFromGlobal(store, *block, false)) return VE_CLIPBOARD_EMPTY;
    CVincaMemStream mem(store);
    CTreeStream ts(mem, CTreeStream::MODE_READ);
    CTreeRef ref;
    if (ts.Open()) ReadTreeRef(ts, ref, TagForm::TwoByte);
    if (VResult r = mem.Error()) return r;
    out = std::move(ref);
    return VE_OK;
}

VResult PasteBufferFromClipboard(BufferHandle* out) {
    if (!out) return VE_INVALID_ARGUMENTS;
    *out = 0;
    if (!IsTreeOnClipboard()) return VE_CLIPBOARD_EMPTY;
    CTreeRef ref;
    VResult r = ReadClipboardTree(ref);
    return r ? r : hand_out(std::move(ref), out);
}

VResult SaveBufferToHostFile(BufferHandle handle, int16_t file, plat::IUnknown* site) {
    CVincaBuffer* b = BufferFromHandle(handle);
    if (!b) return VE_INVALID_TREE_BUFFER;
    return UseHostFile(file, CTreeStream::MODE_WRITE, site, [&](CTreeStream& ts) {
        if (ts.Open()) WriteTreeRef(ts, b->ref, true);
    });
}

VResult LoadBufferFromHostFile(BufferHandle* out, int16_t file, plat::IUnknown* site) {
    if (!out) return VE_INVALID_ARGUMENTS;
    *out = 0;
    CTreeRef ref;
    VResult r = UseHostFile(file, CTreeStream::MODE_READ, site, [&](CTreeStream& ts) {
        if (ts.Open()) ReadTreeRef(ts, ref, TagForm::TwoByte);
    });
    return r ? r : hand_out(std::move(ref), out);
}

VResult ClipboardAction(CVincaEngine& engine, int32_t position, int32_t mode) {
    if ((mode & 0x8000) || mode < 0 || mode > 4) return VE_INVALID_ARGUMENTS;
    if (mode >= 3) {
        CTreeRef ref;
        if (VResult r = ReadClipboardTree(ref)) return r;
        return MergeTreeRef(engine, ref, position, mode == 4);
    }
    CItem* item = position < 0 ? nullptr : engine.ItemFromIndex(position);
    if (position >= 0 && !item) return VE_BAD_INDEX;
    if (!item) return copy_selection({}, true, engine.Root()->ChildNode(), engine.Root());
    if (mode == 2) return copy_selection({}, true, item->ChildNode(), item);
    return copy_selection(CTreeRef{CTreeRef::kItem, item}, mode == 0, nullptr, nullptr);
}

} // namespace vinca
