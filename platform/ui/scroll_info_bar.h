#pragma once
// A scroll bar driven the way the window system's standard bars are: by
// SCROLLINFO (range, page, position) and answering with scroll codes. The
// QScrollBar gets maximum nMax - nPage + 1, page step nPage and value nPos,
// and hides when the whole range fits one page, unless disable-no-scroll
// keeps it shown and disabled.
#include <cstdint>
#include <functional>

#include <QtCore/QObject>
#include <QtCore/QRect>
#include <QtWidgets/QScrollBar>

namespace plat::ui {

enum : uint32_t {
    SIF_RANGE = 1,
    SIF_PAGE = 2,
    SIF_POS = 4,
    SIF_DISABLENOSCROLL = 8,
    SIF_TRACKPOS = 16,
    SIF_ALL = 23
};
enum : int32_t { SB_HORZ = 0, SB_VERT = 1, SB_BOTH = 3 };
enum : int32_t { ESB_ENABLE_BOTH = 0, ESB_DISABLE_BOTH = 3 };
enum ScrollCode : int32_t {
    SB_LINEUP = 0,
    SB_LINEDOWN = 1,
    SB_PAGEUP = 2,
    SB_PAGEDOWN = 3,
    SB_THUMBPOSITION = 4,
    SB_THUMBTRACK = 5,
    SB_TOP = 6,
    SB_BOTTOM = 7,
    SB_ENDSCROLL = 8,
};

struct SCROLLINFO {
    uint32_t cbSize{28};
    uint32_t fMask{0};
    int32_t nMin{0};
    int32_t nMax{0};
    uint32_t nPage{0};
    int32_t nPos{0};
    int32_t nTrackPos{0};
};

// A scroll bar whose thumb, when only its position changes, repaints where
// it was painted last and where it is now: the rest of the bar stays as it
// is. A wheel step on a short list moves the thumb a few pixels, and the
// style's fills of the whole groove would cost more than the rows' move.
class ThumbScrollBar : public QScrollBar {
  public:
    using QScrollBar::QScrollBar;

  protected:
    void sliderChange(SliderChange change) override;
    void paintEvent(QPaintEvent* e) override;

  private:
    QRect ThumbRect() const;
    bool AtEnd(int value) const { return value <= minimum() || value >= maximum(); }

    QRect m_paintedThumb; // none until a paint has put it somewhere
    int m_paintedValue{0};
};

class ScrollInfoBar : public QObject {
    Q_OBJECT
  public:
    // Drives `bar` (not owned).
    explicit ScrollInfoBar(QScrollBar* bar);

    void SetScrollInfo(const SCROLLINFO& si);
    SCROLLINFO GetScrollInfo() const { return m_info; }
    void EnableScrollBar(int32_t flags);
    bool IsShown() const { return m_shown; }
    QScrollBar* Bar() const { return m_bar; }

    // Told every scroll code with the thumb value it carries.
    std::function<void(int32_t code, int32_t thumb)> onScroll;

  private:
    void Apply();
    void OnAction(int action);
    void OnReleased();

    QScrollBar* m_bar;
    SCROLLINFO m_info;
    bool m_disabled{false};
    bool m_keepDisabled{false};
    bool m_shown{false};
    bool m_applying{false};
};

} // namespace plat::ui
