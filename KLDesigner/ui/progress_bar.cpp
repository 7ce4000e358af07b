#include "KLDesigner/ui/progress_bar.h"

#include "platform/forms/controls.h"

#include <QApplication>
#include <QPalette>
#include <algorithm>
#include <cmath>

namespace kld::ui {

using plat::forms::kTwipsPerPixel;
using plat::forms::PictureBox;

uint32_t ResolveColor(uint32_t color) {
    if ((color & 0x80000000u) == 0) return color & 0xFFFFFF;
    QPalette::ColorRole role = QPalette::Button;
    switch (color & 0xFF) {
    case 0x0D:
        role = QPalette::Highlight;
        break;
    case 0x0E:
        role = QPalette::HighlightedText;
        break;
    case 0x05:
        role = QPalette::Base;
        break;
    case 0x08:
        role = QPalette::Text;
        break;
    case 0x12:
        role = QPalette::ButtonText;
        break;
    default:
        role = QPalette::Button;
        break;
    }
    const QColor c = QApplication::palette().color(role);
    return static_cast<uint32_t>(c.red()) | (static_cast<uint32_t>(c.green()) << 8) |
           (static_cast<uint32_t>(c.blue()) << 16);
}

void ProgBar::SetCanvas(plat::forms::Control* canvas) {
    auto* box = dynamic_cast<PictureBox*>(canvas);
    if (!box) return;
    m_canvas = box;
    m_canvas->SetBackColor(ResolveColor(m_back));
    ResizeEx();
}

void ProgBar::SetValue(int32_t value) {
    m_value = value > m_max ? m_max : value < m_min ? m_min : value;
    Refresh();
}

void ProgBar::SetMin(int32_t value) {
    if (value >= m_max) return;
    m_min = value;
    Refresh();
}

void ProgBar::SetMax(int32_t value) {
    if (value <= m_min) return;
    m_max = value;
    Refresh();
}

void ProgBar::SetForeColor(uint32_t color) {
    m_fore = color;
    if (m_canvas) Refresh();
}

void ProgBar::SetBackColor(uint32_t color) {
    m_back = color;
    if (!m_canvas) return;
    m_canvas->SetBackColor(ResolveColor(m_back));
    Refresh();
}

void ProgBar::Refresh(bool clear_first) {
    if (!m_canvas) return;
    if (clear_first) m_canvas->Cls();
    PaintBlocks();
}

void ProgBar::Resize() {
    LayoutBlocks();
    Refresh(true);
}

void ProgBar::ResizeEx() {
    LayoutBlocks();
    if (m_canvas) {
        // Keep one block fewer when the row of n blocks overshoots the
        // canvas by more than n - 1 blocks fall short of it.
        const int32_t w = m_canvas->canvas().width();
        const int32_t step = m_block_width + m_gap;
        const int32_t fit = step * m_blocks + m_gap;
        const int32_t fewer = step * (m_blocks - 1) + m_gap;
        if (m_blocks > 0 && w - fewer <= fit - w) m_blocks = static_cast<int16_t>(m_blocks - 1);
    }
    Refresh(true);
}

void ProgBar::LayoutBlocks() {
    if (!m_canvas) return;
    m_margin = 2;
    m_gap = 3;
    const QImage& canvas = m_canvas->canvas();
    // A canvas too low for a block shows none.
    m_block_height = static_cast<int16_t>(std::max(0, canvas.height() - 2 * m_margin));
    // Halves round to even, as the platform's rounding does.
    m_block_width = static_cast<int16_t>(std::nearbyint(m_block_height * 0.5));
    const int32_t step = m_block_width + m_gap;
    m_blocks = static_cast<int16_t>(m_block_width > 0 ? canvas.width() / step + 1 : 0);
}

int32_t ProgBar::FilledBlocks() const {
    // The share of the range covered: measured from Min, so a range that
    // does not start at 0 never fills more blocks than there are.
    const double share = static_cast<double>(m_value - m_min) / static_cast<double>(m_max - m_min);
    return static_cast<int32_t>(std::nearbyint(share * m_blocks));
}

void ProgBar::PaintBlocks() {
    const int32_t filled = FilledBlocks();
    const uint32_t fore = ResolveColor(m_fore), back = ResolveColor(m_back);
    for (int32_t i = 1; i <= m_blocks; ++i) {
        const int32_t x = m_margin + (i - 1) * (m_block_width + m_gap);
        // The canvas takes twips; these are whole pixels of it.
        m_canvas->Line(x * kTwipsPerPixel, m_margin * kTwipsPerPixel,
                       (x + m_block_width - 1) * kTwipsPerPixel,
                       (m_margin + m_block_height - 1) * kTwipsPerPixel, i <= filled ? fore : back,
                       PictureBox::LineStyle::FilledBox);
    }
}

} // namespace kld::ui
