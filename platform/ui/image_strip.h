#pragma once
// A row of equal images cut from one bitmap, with a mask colour that is
// drawn transparent: the animation frames and the tree's small images.
#include <QColor>
#include <QIcon>
#include <QImage>
#include <QPixmap>
#include <vector>

namespace plat::ui {

class ImageStrip {
  public:
    ImageStrip() = default;
    // Frames of `frame_width` pixels (the strip's height tall) cut from
    // `strip`; pixels of `mask` become transparent.
    ImageStrip(const QImage& strip, int frame_width, QColor mask);
    static ImageStrip FromResource(const QString& path, int frame_width, QColor mask);

    // Appends one image scaled to the frame size; `mask` (when valid) is
    // made transparent. Returns its index.
    int add(const QImage& image, QColor mask = QColor());
    // Appends an empty (fully transparent) image, keeping indexes in step.
    int add_empty();

    int count() const { return static_cast<int>(m_frames.size()); }
    QSize frame_size() const { return m_size; }
    // A null pixmap for an index out of range.
    QPixmap frame(int index) const;
    QIcon icon(int index) const;

  private:
    QSize m_size{16, 16};
    std::vector<QPixmap> m_frames;
};

// A copy of `image` where every pixel of `mask` is transparent.
QImage WithMaskColour(const QImage& image, QColor mask);

} // namespace plat::ui
