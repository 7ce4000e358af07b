// Pictures loaded from files: an image file is read whole and must decode
// as one of the formats the control shows (bitmap, icon, GIF, JPEG, PNG,
// metafile with its placeable header, enhanced metafile); the picture keeps
// the file's bytes, which is what it saves and draws from.
#include <filesystem>
#include <fstream>
#include <iterator>

#include "platform/com/errors.h"
#include "vinca/control/members.h"
#include "vinca/model/picture.h"
#include "vinca/model/values.h"

#include <QtCore/QBuffer>
#include <QtCore/QByteArray>
#include <QtGui/QImage>
#include <QtGui/QImageReader>

#include "platform/gdi/picture_decode.h"

namespace vinca::members {

namespace {

// The picture type of an image in one of the formats the control loads;
// PICTYPE_NONE for anything else or an image that does not decode.
PictureType DecodedPictureType(const std::string& data) {
    const PictureType sniffed =
        SniffPictureType(std::span(reinterpret_cast<const uint8_t*>(data.data()), data.size()));
    if (sniffed == PICTYPE_METAFILE || sniffed == PICTYPE_ENHMETAFILE)
        return plat::gdi::DecodePicture(sniffed, data) ? sniffed : PICTYPE_NONE;
    QByteArray bytes = QByteArray::fromRawData(data.data(), static_cast<qsizetype>(data.size()));
    QBuffer buffer(&bytes);
    if (!buffer.open(QIODevice::ReadOnly)) return PICTYPE_NONE;
    QImageReader reader(&buffer);
    const QByteArray format = reader.format().toLower();
    const bool icon = format == "ico";
    if (!icon && format != "bmp" && format != "gif" && format != "jpeg" && format != "jpg" && format != "png")
        return PICTYPE_NONE;
    if (reader.read().isNull()) return PICTYPE_NONE;
    return icon ? PICTYPE_ICON : PICTYPE_BITMAP;
}

// Larger image files are not pictures a tree shows.
constexpr uintmax_t kMaxPictureFile = 256u << 20;

} // namespace

void LoadPicture(CVincaCtrl&, Call& c) {
    const std::string path = c.text(0);
    if (path.empty()) {
        c.result() = plat::Variant(static_cast<plat::IDispatch*>(nullptr)); // Nothing
        return;
    }
    std::error_code ec;
    if (std::filesystem::is_directory(path, ec)) plat::raise_error(plat::kErrFileNotFound);
    if (!std::filesystem::exists(path, ec)) plat::raise_error(plat::kErrFileNotFound);
    // Only a file whose size is known is read whole: a device or a pipe
    // could deliver bytes without end.
    const auto size = std::filesystem::is_regular_file(path, ec) ? std::filesystem::file_size(path, ec) : 0;
    if (ec || !std::filesystem::is_regular_file(path, ec) || size > kMaxPictureFile)
        plat::raise_error(plat::kErrInvalidFileFormat);
    std::ifstream in(path, std::ios::binary);
    if (!in) plat::raise_error(plat::kErrFileNotFound);
    std::string data((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    const PictureType type = DecodedPictureType(data);
    plat::ComPtr<IVincaPicture> pic = type == PICTYPE_NONE ? nullptr : NewPicture(type, std::move(data));
    if (!pic) plat::raise_error(plat::kErrInvalidFileFormat);
    plat::Variant v;
    ValueSetPicture(v, pic.get());
    c.result() = v;
}

} // namespace vinca::members
