#include <QtCore/QBuffer>
#include <cstring>
#include <gtest/gtest.h>

#include "platform/gdi/picture_decode.h"
#include "support/offscreen_gui.h"

using namespace plat::gdi;

namespace {

const bool kGui = kltest::InstallOffscreenGui();

std::string Encode(const QImage& img, const char* format) {
    QByteArray bytes;
    QBuffer buf(&bytes);
    buf.open(QIODevice::WriteOnly);
    img.save(&buf, format);
    return bytes.toStdString();
}

TEST(PictureDecode, BitmapsAndIconsAtScreenResolution) {
    QImage img(30, 20, QImage::Format_RGB32);
    img.fill(qRgb(1, 2, 3));
    img.setDotsPerMeterX(11811); // 300 dpi in the file does not change the size
    for (const char* fmt : {"PNG", "BMP", "JPEG"}) {
        auto pic = DecodePicture(PIC_BITMAP, Encode(img, fmt));
        ASSERT_TRUE(pic) << fmt;
        EXPECT_EQ(pic->size, (Size{30, 20})) << fmt;
        EXPECT_EQ(pic->himetric, (Size{794, 529})) << fmt;
    }
    EXPECT_FALSE(DecodePicture(PIC_BITMAP, "BM not really"));

    QImage icon(16, 16, QImage::Format_ARGB32);
    icon.fill(qRgba(200, 0, 0, 255));
    icon.setPixel(0, 0, qRgba(0, 0, 0, 0));
    auto pic = DecodePicture(PIC_ICON, Encode(icon, "ICO"));
    ASSERT_TRUE(pic);
    EXPECT_EQ(pic->size, (Size{16, 16}));
    EXPECT_EQ(qAlpha(pic->image.pixel(0, 0)), 0);
    EXPECT_EQ(qAlpha(pic->image.pixel(5, 5)), 255);
}

TEST(PictureDecode, MetafilesAreMeasuredFromTheirHeaders) {
    std::string wmf(40, '\0');
    auto put16 = [&](size_t at, int16_t v) { std::memcpy(wmf.data() + at, &v, 2); };
    uint32_t key = 0x9AC6CDD7u;
    std::memcpy(wmf.data(), &key, 4);
    put16(6, 0), put16(8, 0), put16(10, 1440), put16(12, 720), put16(14, 1440); // 1 x 0.5 inch
    auto w = DecodePicture(PIC_METAFILE, wmf);
    ASSERT_TRUE(w);
    EXPECT_EQ(w->size, (Size{96, 48}));
    EXPECT_EQ(w->himetric, (Size{2540, 1270}));

    std::string emf(100, '\0');
    auto put32 = [&](size_t at, int32_t v) { std::memcpy(emf.data() + at, &v, 4); };
    put32(0, 1), put32(4, 100), put32(32, 5080), put32(36, 2540);
    std::memcpy(emf.data() + 40, " EMF", 4);
    auto e = DecodePicture(PIC_ENHMETAFILE, emf);
    ASSERT_TRUE(e);
    EXPECT_EQ(e->size, (Size{192, 96}));
    EXPECT_FALSE(DecodePicture(PIC_ENHMETAFILE, emf.substr(0, 60)));
}

} // namespace
