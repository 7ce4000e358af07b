#pragma once
// Dragging and dropping. Drops from any program arrive as the window
// system's drops and reach the container as OLEDragOver and OLEDragDrop
// events with a data object. Items are dragged between tree-list controls
// through the container's own drag: the source starts it, the target's
// container calls OnDragOver and OnDragDrop, and the target copies or moves
// the items out of the source through the source's members.
#include <cstdint>

#include "platform/com/dispatcher.h"
#include "vinca/control/control.h"

namespace vinca {

class CViewWindow;

// The band along a window's edges (pixels) where a drag scrolls: WIN.INI's
// ScrollInset in [windows] of the emulated machine, 11 without one. Read
// once per process.
int32_t DragScrollInset();

// Makes a new control window a drop target (when OLEDropMode asks for it)
// and a possible drag source; what this adds goes with the window.
void AttachDragAndDrop(CVincaCtrl& ctrl, CViewWindow* view);

// Forgets the control a drag of items started from (the library ends).
void ClearDragSource();

namespace oledrag {
using Call = plat::DispCall;
void PutOLEDropMode(CVincaCtrl& self, Call& c);
void PutAutoDragMode(CVincaCtrl& self, Call& c);
void PutDragIconStyle(CVincaCtrl& self, Call& c);
void BeforeDrag(CVincaCtrl& self, Call& c);
void OnDragOver(CVincaCtrl& self, Call& c);
// The index of the item a drag is over now; -1 while none is.
void DropTarget(CVincaCtrl& self, Call& c);
void OnDragDrop(CVincaCtrl& self, Call& c);
} // namespace oledrag

} // namespace vinca
