#pragma once
// A title in a font of its own: "Arial" (fontconfig picks the face that
// stands in for it), bold or not, filling the control's height when asked.
// A filling title also keeps within the control's width: the face standing
// in for Arial may run wider, and the page must not grow for it.
#include <QLabel>

namespace klc {

class CTitleStatic : public QLabel {
    Q_OBJECT
  public:
    explicit CTitleStatic(QWidget* parent = nullptr) : QLabel(parent) {}
    explicit CTitleStatic(const QString& text, QWidget* parent = nullptr) : QLabel(text, parent) {}

    // Heights in pixels; 0 keeps the current font's.
    void SetFont(bool fill_height, bool bold, bool italic, int height = 0, int width = 0);
    // The largest pixel size whose ascent and descent together fit `height`
    // and whose `text` fits `width` (no limit when width < 0).
    static int FittingPixelSize(QFont font, int height, const QString& text = {}, int width = -1);

    QSize minimumSizeHint() const override;

  protected:
    void resizeEvent(QResizeEvent* event) override;

  private:
    void Fit();

    bool m_fill{false};
};

} // namespace klc
