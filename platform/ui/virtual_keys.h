#pragma once
// Keyboard input in the window system's terms: virtual-key codes and the
// shift mask of key events (1 Shift, 2 Ctrl, 4 Alt).
#include <cstdint>

#include <QtCore/Qt>

namespace plat::ui {

enum VirtualKey : int32_t {
    VK_BACK = 0x08,
    VK_TAB = 0x09,
    VK_RETURN = 0x0D,
    VK_SHIFT = 0x10,
    VK_CONTROL = 0x11,
    VK_MENU = 0x12,
    VK_ESCAPE = 0x1B,
    VK_SPACE = 0x20,
    VK_PRIOR = 0x21,
    VK_NEXT = 0x22,
    VK_END = 0x23,
    VK_HOME = 0x24,
    VK_LEFT = 0x25,
    VK_UP = 0x26,
    VK_RIGHT = 0x27,
    VK_DOWN = 0x28,
    VK_INSERT = 0x2D,
    VK_DELETE = 0x2E,
    VK_F1 = 0x70,
    VK_ADD = 0x6B,
    VK_SUBTRACT = 0x6D,
    VK_MULTIPLY = 0x6A,
};

// The virtual-key code of a Qt key; 0 for keys without one.
int32_t VirtualKeyFromQt(int qtKey);
int16_t ShiftMask(Qt::KeyboardModifiers mods);

} // namespace plat::ui
