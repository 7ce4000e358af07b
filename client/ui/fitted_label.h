#pragma once
// A label for text that comes from outside (a server's name, an update's
// description, a file name from a URL, a path in a question): it wraps
// within a fixed number of lines, breaking inside a word that is longer than
// the line, ends the last line with "…" when more is left, and shows the
// whole text as tool tip. Its width never depends on the text, so no text
// can widen the window; its height is the lines' (fixed, or as many as the
// text needs up to the limit).
#include <QLabel>
#include <QStringList>

namespace klc {

class CFittedLabel : public QLabel {
    Q_OBJECT
  public:
    explicit CFittedLabel(int max_lines = 1, QWidget* parent = nullptr);

    int MaxLines() const { return m_max_lines; }
    // Off (the default): always as high as MaxLines lines, so the page's
    // layout stays as it is whatever the text. On: as high as the text
    // needs at the given width, up to MaxLines lines.
    void SetHeightToText(bool on);
    // The lines as they are drawn at the current width.
    QStringList ShownLines() const;
    // True when the text does not fit and the tool tip offers the rest.
    bool IsCut() const;

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;
    bool hasHeightForWidth() const override { return m_height_to_text; }
    int heightForWidth(int width) const override;

  protected:
    void paintEvent(QPaintEvent* event) override;
    bool event(QEvent* event) override;

  private:
    QStringList Lines(int width, bool* cut) const;
    int LinesHeight(int lines) const;

    int m_max_lines;
    bool m_height_to_text{false};
};

} // namespace klc
