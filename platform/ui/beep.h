#pragma once
// The short warning sound of a refused action. It goes through one place in
// the Qt platform library, so a test can hear it: a handler set here takes
// every beep in place of the sound.
#include <functional>

namespace plat::ui {

void Beep();
// Null goes back to the sound; answers the previous handler.
std::function<void()> SetBeepHandler(std::function<void()> handler);

} // namespace plat::ui
