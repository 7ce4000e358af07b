#pragma once
// A title in a font of its own: "Arial" (fontconfig picks the face that
// stands in for it), bold or not, filling the control's height when asked.
#include <QLabel>

namespace klc {

class CTitleStatic : public QLabel {
    Q_OBJECT
  public:
    explicit CTitleStatic(QWidget* parent = nullptr) : QLabel(parent) {}
    explicit CTitleStatic(const QString& text, QWidget* parent = nullptr) : QLabel(text, parent) {}

    // Heights in pixels; 0 keeps the current font's.
    void SetFont(bool fill_height, bool bold, bool italic, int height = 0, int width = 0);
    // The largest pixel size whose ascent and descent together fit `room`.
    static int FittingPixelSize(QFont font, int room);
};

} // namespace klc
