#include "platform/ui/image_strip.h"

namespace plat::ui {

QImage WithMaskColour(const QImage& image, QColor mask) {
    QImage out = image.convertToFormat(QImage::Format_ARGB32);
    if (!mask.isValid()) return out;
    const QRgb key = mask.rgb() & 0xFFFFFF;
    for (int y = 0; y < out.height(); ++y) {
        auto* line = reinterpret_cast<QRgb*>(out.scanLine(y));
        for (int x = 0; x < out.width(); ++x)
            if ((line[x] & 0xFFFFFF) == key) line[x] = 0;
    }
    return out;
}

ImageStrip::ImageStrip(const QImage& strip, int frame_width, QColor mask) {
    if (strip.isNull() || frame_width <= 0) return;
    m_size = QSize(frame_width, strip.height());
    QImage masked = WithMaskColour(strip, mask);
    for (int x = 0; x + frame_width <= masked.width(); x += frame_width)
        m_frames.push_back(QPixmap::fromImage(masked.copy(x, 0, frame_width, masked.height())));
}

ImageStrip ImageStrip::FromResource(const QString& path, int frame_width, QColor mask) {
    return ImageStrip(QImage(path), frame_width, mask);
}

int ImageStrip::add(const QImage& image, QColor mask) {
    QImage scaled = WithMaskColour(image, mask);
    if (scaled.size() != m_size)
        scaled = scaled.scaled(m_size, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    m_frames.push_back(QPixmap::fromImage(scaled));
    return count() - 1;
}

int ImageStrip::add_empty() {
    QPixmap empty(m_size);
    empty.fill(Qt::transparent);
    m_frames.push_back(empty);
    return count() - 1;
}

QPixmap ImageStrip::frame(int index) const {
    if (index < 0 || index >= count()) return {};
    return m_frames[static_cast<size_t>(index)];
}

QIcon ImageStrip::icon(int index) const {
    QPixmap p = frame(index);
    return p.isNull() ? QIcon() : QIcon(p);
}

} // namespace plat::ui
