#pragma once
// Plays the drawing records of a metafile (with its placeable header) or an
// enhanced metafile into an image: lines and polylines, polygons,
// rectangles, ellipses, text, pens, brushes and fonts, with the window's
// origin and extent mapped onto the whole image (the anisotropic mapping
// a picture gets when it is drawn into a rectangle). Other records are
// passed over. Every record is checked against the bytes it claims, and
// the counts of points, objects and records are bounded, so damaged or
// hostile data draws less but never reads outside the bytes.
#include <string_view>

#include <QtGui/QImage>

namespace plat::gdi {

// A transparent image of `width` x `height` with the metafile played into
// it; a null image when the bytes are not a metafile of that kind (2 for a
// placeable metafile, 4 for an enhanced one) or the size is empty.
QImage PlayMetafile(int32_t kind, std::string_view bytes, int width, int height);

} // namespace plat::gdi
