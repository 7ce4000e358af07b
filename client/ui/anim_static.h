#pragma once
// A small animation: frames of a strip played from a first to a last frame,
// once, n times or for ever, one frame every 200 ms.
#include <QTimer>
#include <QWidget>
#include <memory>

#include "platform/ui/image_strip.h"

namespace klc {

class CAnimStatic : public QWidget {
    Q_OBJECT
  public:
    explicit CAnimStatic(QWidget* parent = nullptr);

    void LoadFrames(plat::ui::ImageStrip frames);
    // Shows the frames another control loaded.
    void ShareFrames(const CAnimStatic& other) { m_frames = other.m_frames; }
    // repeat 0 shows `first` only; n > 0 plays n times and stops on `last`;
    // -1 plays for ever.
    void Play(int first, int last, int repeat);
    void Stop();

    // One timer step; the timer calls it, tests call it directly.
    void tick();
    int current() const { return m_current; }
    bool running() const { return m_timer.isActive(); }
    QSize sizeHint() const override { return {16, 16}; }

  protected:
    void paintEvent(QPaintEvent* event) override;

  private:
    std::shared_ptr<plat::ui::ImageStrip> m_frames;
    QTimer m_timer;
    int m_current{0};
    int m_first{0};
    int m_last{0};
    int m_repeat{0};
};

} // namespace klc
