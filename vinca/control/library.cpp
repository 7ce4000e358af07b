// What the library does as a process loads and unloads it: trees copied and
// pasted through it use the window system's clipboard from the start.
#include "vinca/control/clipboard_qt.h"

namespace {

struct LibraryLifetime {
    LibraryLifetime() { vinca::InstallQtClipboard(); }
    ~LibraryLifetime() { vinca::RemoveQtClipboard(); }
};

LibraryLifetime g_library;

} // namespace
