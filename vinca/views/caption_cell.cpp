#include "vinca/views/caption_cell.h"

namespace vinca {

using namespace plat::gdi;

CTitleStyle::CTitleStyle(const ViewSettings& settings) : m_settings(&settings) {
    m_attrs.SetInt("__3DBorder", 1);
    m_attrs.Set("__Font", plat::Variant(static_cast<plat::IDispatch*>(NewFont(DefaultFontDesc()).get())));
    m_attrs.SetInt("__Multiline", 2);
    m_attrs.SetInt("__InvStyle", 2);
    m_attrs.SetInt("__GradientStyle", 0);
    m_attrs.SetInt("__3DShadowColor", int32_t(0x80000000u | COLOR_BTNSHADOW));
}

std::string CTitleStyle::GetText(const IAttrChain&) const {
    return m_settings->caption.empty() ? " " : m_settings->caption;
}

int32_t CTitleStyle::GetBorderStyle(const IAttrChain&) const {
    return m_settings->showCaption == 2 ? BORDER_3D_OUTSET : BORDER_NONE;
}

void CTitleStyle::ReadAlignments(const IAttrChain&) {
    m_picAlign = 0;
    m_textAlign = 5;
    m_alignment = 1;
    m_rtfStyle = 0;
}

void CTitleStyle::ReadColors(const IAttrChain&) {
    bool raised = m_settings->showCaption == 2;
    m_foreColor = GetSysColor(raised ? COLOR_BTNTEXT : COLOR_WINDOWTEXT);
    m_backColor = GetSysColor(raised ? COLOR_BTNFACE : COLOR_WINDOW);
    m_borderColor = GetSysColor(COLOR_WINDOWFRAME);
    m_selForeColor = m_foreColor;
    m_selBackColor = m_backColor;
    m_transparent = false;
}

void CTitleStyle::LayoutAt(int32_t width) {
    Dc metrics;
    Layout(metrics, {width, -1}, m_attrs, LAYOUT_FULL);
}

} // namespace vinca
