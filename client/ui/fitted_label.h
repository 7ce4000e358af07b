#pragma once
// A label for text that comes from outside (a server's name, an update's
// description, a file name from a URL): it wraps within a fixed number of
// lines, breaking inside a word that is longer than the line, ends the last
// line with "…" when more is left, and shows the whole text as tool tip.
// Its size hints never depend on the text, so no text can widen the window.
#include <QLabel>
#include <QStringList>

namespace klc {

class CFittedLabel : public QLabel {
    Q_OBJECT
  public:
    explicit CFittedLabel(int max_lines = 1, QWidget* parent = nullptr);

    int MaxLines() const { return m_max_lines; }
    // The lines as they are drawn at the current width.
    QStringList ShownLines() const;
    // True when the text does not fit and the tool tip offers the rest.
    bool IsCut() const;

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

  protected:
    void paintEvent(QPaintEvent* event) override;
    bool event(QEvent* event) override;

  private:
    QStringList Lines(bool* cut) const;

    int m_max_lines;
};

} // namespace klc
