#pragma once
// In-place activation between a container and a control that has a window:
// the container names its window by window number and gives the rectangle
// in its pixels; the control makes its own window as a child of it. This is
// the short form of the standard path (DoVerb with an activation verb, then
// IOleInPlaceObject), for hosts of this system that need nothing more.
#include <cstdint>

#include "platform/com/ole.h"

namespace plat {

using PixelRect = RECT;

struct IInPlaceControl : IUnknown {
    static constexpr IID kIID = make_guid("6C1E2A40-3B77-4F1D-9A52-0D4B7C21E913");
    // Creates the control's window inside `parent_window` at `rect` and shows it.
    virtual HRESULT Activate(uint32_t parent_window, const PixelRect& rect) = 0;
    virtual HRESULT SetRect(const PixelRect& rect) = 0;
    // Destroys the control's window; the control lives on without one.
    virtual HRESULT Deactivate() = 0;
    // The control's window number (0 while it has none).
    virtual HRESULT GetWindow(uint32_t* window) = 0;

  protected:
    ~IInPlaceControl() = default;
};

} // namespace plat
