#pragma once
// Pictures from the bytes of their image files. Bitmaps (BMP, PNG, JPEG,
// GIF) and icons decode to images; icons keep their mask as alpha, so
// transparent pixels stay transparent whatever raster operation draws them.
// Metafiles are measured from their headers (the placeable header of a
// metafile, the frame of an enhanced metafile) and played into an image of
// that size (metafile_player.h).
#include <cstdint>
#include <optional>
#include <string_view>

#include <QtGui/QImage>

#include "platform/gdi/geometry.h"

namespace plat::gdi {

enum PictureKind : int32_t { PIC_BITMAP = 1, PIC_METAFILE = 2, PIC_ICON = 3, PIC_ENHMETAFILE = 4 };

struct DecodedPicture {
    int32_t kind{0};
    QImage image;  // null for a picture that is measured but cannot be drawn
    Size size;     // natural size in screen pixels
    Size himetric; // natural size in hundredths of a millimetre
};

// Empty when the bytes are not a picture of that kind.
std::optional<DecodedPicture> DecodePicture(int32_t kind, std::string_view bytes);

} // namespace plat::gdi
