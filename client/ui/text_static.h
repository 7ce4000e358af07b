#pragma once
// Advertisement text that scrolls up without end: the lines, centred and
// word-wrapped, then a gap of a quarter of the control's height, then the
// lines again.
#include <QStringList>
#include <QTimer>
#include <QWidget>
#include <vector>

namespace klc {

class CTextStatic : public QWidget {
    Q_OBJECT
  public:
    explicit CTextStatic(QWidget* parent = nullptr);

    void SetText(const QString& text);
    void AddLine(const QString& line);
    void SetTextFromString(int id);
    void StartScroll(int interval_ms, int step);
    void StopScroll();

    // One timer step; tests call it directly.
    void tick();
    const QStringList& lines() const { return m_lines; }
    int offset() const { return m_offset; }
    bool scrolling() const { return m_timer.isActive(); }
    // Where each copy of the first line begins, top to bottom, as painted now.
    std::vector<int> FirstLineTops() const;

  protected:
    void paintEvent(QPaintEvent* event) override;

  private:
    int BlockHeight() const; // the lines and the gap after them
    std::vector<int> LineHeights() const;

    QStringList m_lines;
    QTimer m_timer;
    int m_offset{0};
    int m_step{1};
};

} // namespace klc
