#pragma once
// Draws an icon picture into a rectangle: as it is, stretched, or with its
// colours inverted over an unchanged background. The icon is the decoded
// image of a picture, its mask kept as alpha; the picture keeps it.
#include <cstdint>

#include <QtGui/QImage>

#include "platform/gdi/dc.h"

namespace vinca {

class CIconPicture {
  public:
    explicit CIconPicture(const QImage* icon = nullptr) : m_icon(icon) {}

    bool HoldsIcon() const { return m_icon && !m_icon->isNull(); }

    // 0 when no icon is held, else 1. An empty rectangle draws nothing.
    // NOTSRCCOPY shows the icon inverted, the background as it was; any
    // other operation draws the icon plainly.
    int32_t Draw(plat::gdi::Dc& dc, const plat::gdi::Rect& rect, uint32_t rop) const;
    // The icon at the rectangle's top-left, stretched to its size; answers
    // whether it was drawn.
    int32_t DrawStretched(plat::gdi::Dc& dc, const plat::gdi::Rect& rect) const;

  private:
    const QImage* m_icon; // not owned
};

} // namespace vinca
