#pragma once
// Dropped data seen in numbered formats: the window system's MIME data
// answers the standard numbers and the registered format names the control
// knows, so the container's data object reads a drop as it reads any other.
//   1 (text)            text/plain
//   15 (file drop)      text/uri-list, local files only
//   2, 8 (bitmap, DIB)  an image
//   "Rich Text Format"  text/rtf
//   "Vinca4 Tree"       application/x-vinca4-tree
//   any other name      application/x-qt-windows-mime;value="<name>"
#include <string>
#include <vector>

#include "platform/com/data_object.h"

class QMimeData;

namespace vinca {

// A data object over `mime`, which must outlive every read: the drop event's
// data is read only while the event runs. Null data offers nothing.
plat::ComPtr<plat::IDataObject> MimeDataObject(const QMimeData* mime);

namespace oleformats {
// The MIME type carrying a format number (empty when there is none).
std::string MimeTypeOf(uint32_t format);
// A file-drop block (wide names) of the given paths.
std::string FileDropBlock(const std::vector<std::string>& paths);
} // namespace oleformats

} // namespace vinca
