#include "platform/gdi/picture_decode.h"

#include <QtCore/QBuffer>
#include <QtCore/QByteArray>
#include <QtGui/QImageReader>
#include <cstring>

#include "platform/gdi/font.h"
#include "platform/gdi/metafile_player.h"

namespace plat::gdi {

namespace {

template <typename T> T Le(std::string_view b, size_t at) {
    T v{};
    std::memcpy(&v, b.data() + at, sizeof(T));
    return v;
}

std::optional<QImage> ReadImage(std::string_view bytes, const char* format) {
    QByteArray data = QByteArray::fromRawData(bytes.data(), qsizetype(bytes.size()));
    QBuffer buf(&data);
    buf.open(QIODevice::ReadOnly);
    QImageReader reader(&buf, format);
    reader.setAutoTransform(false);
    QImage img = reader.read();
    if (img.isNull()) return std::nullopt;
    return img;
}

Size HimetricOf(Size px) {
    int32_t dpi = ScreenPixelsPerInch();
    return {MulDiv(px.cx, 2540, dpi), MulDiv(px.cy, 2540, dpi)};
}

// A metafile played at its natural size (at most 2048 pixels a side, the
// shape kept), drawn then like a bitmap with transparent gaps.
QImage Played(int32_t kind, std::string_view bytes, Size natural) {
    constexpr int kMaxSide = 2048;
    int w = std::abs(natural.cx), h = std::abs(natural.cy);
    if (w <= 0 || h <= 0) return {};
    if (w > kMaxSide || h > kMaxSide) {
        const double scale = double(kMaxSide) / std::max(w, h);
        w = std::max(1, int(w * scale));
        h = std::max(1, int(h * scale));
    }
    return PlayMetafile(kind, bytes, w, h);
}

} // namespace

std::optional<DecodedPicture> DecodePicture(int32_t kind, std::string_view bytes) {
    DecodedPicture pic;
    pic.kind = kind;
    int32_t dpi = ScreenPixelsPerInch();
    switch (kind) {
    case PIC_BITMAP: {
        auto img = ReadImage(bytes, nullptr);
        if (!img) return std::nullopt;
        // Bitmaps are measured at the screen's resolution, whatever they say.
        pic.image = img->hasAlphaChannel() ? img->convertToFormat(QImage::Format_ARGB32)
                                           : img->convertToFormat(QImage::Format_RGB32);
        pic.size = {pic.image.width(), pic.image.height()};
        pic.himetric = HimetricOf(pic.size);
        return pic;
    }
    case PIC_ICON: {
        auto img = ReadImage(bytes, "ico");
        if (!img) return std::nullopt;
        pic.image = img->convertToFormat(QImage::Format_ARGB32);
        pic.size = {pic.image.width(), pic.image.height()};
        pic.himetric = HimetricOf(pic.size);
        return pic;
    }
    case PIC_METAFILE: {
        // Placeable header: key, handle, bounding box (4 x int16), units per inch.
        if (bytes.size() < 22 || Le<uint32_t>(bytes, 0) != 0x9AC6CDD7u) return std::nullopt;
        int32_t l = Le<int16_t>(bytes, 6), t = Le<int16_t>(bytes, 8);
        int32_t r = Le<int16_t>(bytes, 10), b = Le<int16_t>(bytes, 12);
        int32_t inch = Le<uint16_t>(bytes, 14);
        if (inch == 0) return std::nullopt;
        pic.himetric = {MulDiv(std::abs(r - l), 2540, inch), MulDiv(std::abs(b - t), 2540, inch)};
        pic.size = {MulDiv(std::abs(r - l), dpi, inch), MulDiv(std::abs(b - t), dpi, inch)};
        pic.image = Played(kind, bytes, pic.size);
        return pic;
    }
    case PIC_ENHMETAFILE: {
        // Header record: type 1, size, bounds, frame (hundredths of a millimetre).
        if (bytes.size() < 88 || Le<uint32_t>(bytes, 0) != 1 ||
            std::memcmp(bytes.data() + 40, " EMF", 4) != 0)
            return std::nullopt;
        int32_t l = Le<int32_t>(bytes, 24), t = Le<int32_t>(bytes, 28);
        int32_t r = Le<int32_t>(bytes, 32), b = Le<int32_t>(bytes, 36);
        pic.himetric = {r - l, b - t};
        pic.size = {MulDiv(r - l, dpi, 2540), MulDiv(b - t, dpi, 2540)};
        pic.image = Played(kind, bytes, pic.size);
        return pic;
    }
    default:
        return std::nullopt;
    }
}

} // namespace plat::gdi
