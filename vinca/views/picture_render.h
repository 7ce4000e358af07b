#pragma once
// Pictures of the control (item pictures, marks, plus/minus, cell pictures,
// the background picture, the picture list) measured and drawn into
// rectangles on the screen and on printer pages. A picture's image is decoded
// once and kept in a small cache that holds a reference to the picture.
#include <cstdint>
#include <vector>

#include "platform/gdi/dc.h"
#include "platform/gdi/picture_decode.h"
#include "vinca/model/picture.h"
#include "vinca/views/paint.h"

namespace vinca {

// One counted reference to a picture, or none.
class CPictureHolder {
  public:
    CPictureHolder() = default;
    explicit CPictureHolder(plat::ComPtr<IVincaPicture> p) : m_picture(std::move(p)) {}
    // Setting the picture it holds already changes nothing.
    void Set(plat::ComPtr<IVincaPicture> p) {
        if (p.get() != m_picture.get()) m_picture = std::move(p);
    }
    void Clear() { m_picture.reset(); }
    IVincaPicture* Get() const { return m_picture.get(); }
    bool IsEmpty() const {
        return !m_picture || m_picture->Type() == PICTYPE_NONE || m_picture->Type() == PICTYPE_UNINITIALIZED;
    }

  private:
    plat::ComPtr<IVincaPicture> m_picture;
};

// Pixels of one colour left out when a bitmap is drawn.
struct Transparency {
    bool enabled{false};
    COLORREF colour{0xFFFFFF};
};

// The decoded picture (cached); null for an empty holder or bytes that do
// not decode.
const plat::gdi::DecodedPicture* DecodedOf(const CPictureHolder& holder);
// How many decoded pictures the cache keeps at most.
inline constexpr size_t kPictureCacheSize = 64;
void ClearPictureCache();

// Natural size in screen pixels; (0, 0) for an empty holder.
Size PictureHolderGetSize(const CPictureHolder& holder);

// 0 for an empty holder; 1 otherwise (an empty rectangle draws nothing).
int32_t RenderToScreen(const CPictureHolder& holder, Dc& dc, const Rect& rect, uint32_t rop,
                       bool copyBackground, Transparency transparency);
int32_t RenderToPrinter(const CPictureHolder& holder, Dc& dc, const Rect& rect, Transparency transparency,
                        bool scaled);

// The control's picture list: owned holders in order.
class CPictureList {
  public:
    void Add(plat::ComPtr<IVincaPicture> picture) { m_items.emplace_back(std::move(picture)); }
    size_t Count() const { return m_items.size(); }
    const CPictureHolder* At(size_t i) const { return i < m_items.size() ? &m_items[i] : nullptr; }
    // The picture's dispatch interface with a reference added; null for a
    // missing entry.
    plat::IDispatch* GetPictureDisp(size_t index) const;
    void Clear() { m_items.clear(); }

  private:
    std::vector<CPictureHolder> m_items;
};

} // namespace vinca
