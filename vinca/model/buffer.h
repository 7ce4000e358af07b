#pragma once
// Tree buffers: an in-memory tree or item handed to the host as a 32-bit
// handle. The host may keep it, give it to another control, save it into one
// of its open files, load one back, copy it to the clipboard or free it. A
// buffer belongs to the thread that made it; on any other thread, and after
// it was freed, its handle is invalid.
//
// The same operations serve the control's clipboard property, which copies
// a selection of its tree as a tree stream plus a text form and pastes a
// tree stream back into the tree.
#include <cstdint>

#include "platform/com/unknown.h"
#include "vinca/model/engine.h"
#include "vinca/model/item.h"

namespace vinca {

using BufferHandle = uint32_t;

class CVincaBuffer {
  public:
    static constexpr uint32_t kSignature = 0x4F4C4550; // "PELO"

    explicit CVincaBuffer(CTreeRef ref = {});
    ~CVincaBuffer();
    CVincaBuffer(const CVincaBuffer&) = delete;
    CVincaBuffer& operator=(const CVincaBuffer&) = delete;

    CTreeRef ref;
    uint32_t signature;
    uint32_t thread;
};

// Registers a buffer (the table owns it from now on); 0 when it cannot.
BufferHandle AddBuffer(CVincaBuffer* buffer);
// The buffer of a handle that passes the validity test, else null.
CVincaBuffer* BufferFromHandle(BufferHandle handle);
bool IsValidVincaBuffer(BufferHandle handle);
// Destroys a valid buffer; an invalid handle is left alone.
void FreeVincaBuffer(BufferHandle handle);

// Copies the buffer's tree or item with its descendants to the clipboard;
// 20108 for an invalid handle.
VResult CopyBufferToClipboard(BufferHandle handle);
// A new buffer from the clipboard's tree; 20113 for a null out pointer,
// 20115 when the clipboard holds no tree. `*out` stays 0 on failure.
VResult PasteBufferFromClipboard(BufferHandle* out);
// Writes the buffer as a tree stream into the host's open file; 20108.
VResult SaveBufferToHostFile(BufferHandle handle, int16_t file, plat::IUnknown* site);
// Reads a tree stream from the host's open file into a new buffer.
VResult LoadBufferFromHostFile(BufferHandle* out, int16_t file, plat::IUnknown* site);

// The control's clipboard property, with an item position (-1 the whole
// tree) and a mode: 0 the item with its descendants, 1 the item alone, 2 the
// item's children as a whole tree, 3 paste adding at the position, 4 paste
// inserting at it; anything else (or bit 0x8000) is 20113.
VResult ClipboardAction(CVincaEngine& engine, int32_t position, int32_t mode);
// Puts a reference on the clipboard (tree stream and text form); 7 when the
// clipboard cannot be had.
VResult CopyTreeRefToClipboard(const CTreeRef& ref, bool descendants);
// Reads the clipboard's tree; the tree is untouched on failure.
VResult ReadClipboardTree(CTreeRef& out);
bool IsTreeOnClipboard();

} // namespace vinca
