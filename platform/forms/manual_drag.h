#pragma once
// The form runtime's drag of a hosted control: `Drag(1)` on the extended
// control (or `begin` here) grabs the mouse and shows the control's drag
// icon as the pointer. From then on the mouse drives the drag: each move
// gives the host under the pointer "DragOver" (Source, X, Y, State), with
// State 0 when the pointer enters that host, 2 while it moves within it and
// 1 when it leaves; releasing the button gives the host under the pointer
// "DragDrop" (Source, X, Y) and ends the drag. Esc, `Drag(2)` or `Drag(0)`
// cancel it: the host under the pointer hears State 1 and nothing drops.
// Mouse presses and Esc go to the drag alone; moves and the release reach
// the widgets too, after the drag, so a control's drop feedback can follow
// the pointer.
// X and Y are in the receiving host's scale units; Source is the dragged
// control's extended control.
//
// Not the platform's drag and drop: the data travels through the source's
// automation members, and every window taking part is a host of this
// process. One drag runs at a time.
namespace plat::forms {

class ControlHost;

namespace manual_drag {

// Starts dragging the control of `source`. False when another control is
// being dragged (that drag goes on); true when `source` is dragged already.
bool begin(ControlHost& source);
// Ends a running drag without a drop; nothing when none runs.
void cancel();
bool active();
// The host whose control is dragged (null when none).
ControlHost* source();
// The source's drag icon changed: the pointer follows it.
void update_cursor();

} // namespace manual_drag

} // namespace plat::forms
