#include <QBuffer>
#include <QFile>
#include <QImageReader>

#include "client/ui/artwork.h"
#include "client/ui/wizard_env.h"
#include "platform/ui/image_strip.h"

namespace klc {
namespace {

// Decodes in the given format at 16×16; refuses pictures larger than
// 256×256 before decoding them.
QImage Decode(const QByteArray& bytes, const char* format) {
    QByteArray copy = bytes;
    QBuffer buffer(&copy);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer, format);
    reader.setDecideFormatFromContent(false);
    if (!reader.canRead()) return {};
    QSize size = reader.size();
    if (!size.isValid() || size.width() > CUpdateIcons::kMaxSide || size.height() > CUpdateIcons::kMaxSide)
        return {};
    reader.setScaledSize(QSize(16, 16));
    return reader.read();
}

} // namespace

int32_t CUpdateIcons::Load(const std::string& path) {
    QFile file(QString::fromStdString(path));
    if (!file.open(QIODevice::ReadOnly) || file.size() > kMaxFileBytes) return -1;
    QByteArray bytes = file.read(kMaxFileBytes + 1);
    if (bytes.size() > kMaxFileBytes) return -1;
    QImage image = Decode(bytes, "ico");
    if (image.isNull()) {
        image = Decode(bytes, "bmp");
        if (image.isNull()) return -1;
        image = plat::ui::WithMaskColour(image, kBitmapIconMask);
    } else {
        image = image.convertToFormat(QImage::Format_ARGB32);
    }
    std::lock_guard lock(m_mutex);
    m_images.push_back(image);
    return static_cast<int32_t>(m_images.size()) + kFirstIndex - 1;
}

std::vector<QImage> CUpdateIcons::Images() const {
    std::lock_guard lock(m_mutex);
    return m_images;
}

} // namespace klc
