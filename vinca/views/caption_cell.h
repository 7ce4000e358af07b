#pragma once
// The caption strip above the control's rows: the control's Caption drawn by
// a grid cell, flat in window colours or raised in button colours.
#include "vinca/views/grid_cell.h"
#include "vinca/views/view_host.h"

namespace vinca {

class CTitleStyle : public CMVGridCellMetrics {
  public:
    explicit CTitleStyle(const ViewSettings& settings);
    std::unique_ptr<CCellMetrics> Clone() const override { return std::make_unique<CTitleStyle>(*this); }
    std::string GetText(const IAttrChain&) const override;
    // Lays the caption out at a width, at its natural height.
    void LayoutAt(int32_t width);
    const IAttrChain& Attributes() const { return m_attrs; }

  protected:
    int32_t GetBorderStyle(const IAttrChain&) const override;
    void ReadAlignments(const IAttrChain&) override;
    void ReadColors(const IAttrChain&) override;

  private:
    const ViewSettings* m_settings;
    CMapAttrChain m_attrs;
};

} // namespace vinca
