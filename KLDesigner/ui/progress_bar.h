#pragma once
// A segmented progress bar drawn on a picture box: a row of blocks, the
// filled share of them in the fore colour, the rest in the back colour.
#include <cstdint>

namespace plat::forms {
class Control;
class PictureBox;
} // namespace plat::forms

namespace kld::ui {

// The system colours a bar starts with: highlighted items and button faces.
inline constexpr uint32_t kSysHighlight = 0x8000000D;
inline constexpr uint32_t kSysButtonFace = 0x8000000F;
// A colour value as RGB, system colours resolved through the palette.
uint32_t ResolveColor(uint32_t color);

class ProgBar {
  public:
    // Takes only a picture box; any other control is ignored.
    void SetCanvas(plat::forms::Control* canvas);
    plat::forms::PictureBox* Canvas() const { return m_canvas; }

    int32_t Value() const { return m_value; }
    // Kept within Min..Max.
    void SetValue(int32_t value);
    int32_t Min() const { return m_min; }
    int32_t Max() const { return m_max; }
    // Refused when they would break Min < Max; Value is not clamped again.
    void SetMin(int32_t value);
    void SetMax(int32_t value);
    uint32_t ForeColor() const { return m_fore; }
    uint32_t BackColor() const { return m_back; }
    void SetForeColor(uint32_t color);
    void SetBackColor(uint32_t color);

    // Paints the blocks over the picture, after clearing it when asked.
    void Refresh(bool clear_first = false);
    // Lays the blocks out again, then repaints from a clear canvas.
    void Resize();
    // As Resize, with the block count rounded to the nearer fit.
    void ResizeEx();

    int32_t BlockCount() const { return m_blocks; }
    int32_t BlockWidth() const { return m_block_width; }
    int32_t BlockHeight() const { return m_block_height; }
    // Blocks shown filled at the current value.
    int32_t FilledBlocks() const;

  private:
    void LayoutBlocks();
    void PaintBlocks();

    plat::forms::PictureBox* m_canvas{nullptr};
    int32_t m_value{0};
    int32_t m_min{0};
    int32_t m_max{100};
    uint32_t m_fore{kSysHighlight};
    uint32_t m_back{kSysButtonFace};
    int16_t m_block_width{0};
    int16_t m_block_height{0};
    int16_t m_gap{0};
    int16_t m_margin{0};
    int16_t m_blocks{0};
};

} // namespace kld::ui
