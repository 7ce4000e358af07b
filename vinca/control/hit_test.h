#pragma once
// Handlers of the members that ask the control's window: where items are,
// what lies under a point, which rows show, and the About box. Without a
// window they report that there is none.
#include "platform/com/dispatcher.h"
#include "vinca/control/control.h"

namespace vinca::members {

using Call = plat::DispCall;

// X and Y in twips; the hit kind, and the row's item index or a grid cell
// object into the by-reference target.
void HitTest(CVincaCtrl& self, Call& c);
// The item at a client pixel (nX, nY) under a search kind; -1 for none.
void GetItemByXY(CVincaCtrl& self, Call& c);
// Fills pRect with an item's row or a part of its cell; answers a status.
void GetItemRect(CVincaCtrl& self, Call& c);
void GetTopIndex(CVincaCtrl& self, Call& c);
void PutTopIndex(CVincaCtrl& self, Call& c);
void GetBottomIndex(CVincaCtrl& self, Call& c);
void GetScrollHorz(CVincaCtrl& self, Call& c);
void PutScrollHorz(CVincaCtrl& self, Call& c);
void AboutBox(CVincaCtrl& self, Call& c);

} // namespace vinca::members
