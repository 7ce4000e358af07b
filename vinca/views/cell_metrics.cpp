#include "vinca/views/cell_metrics.h"

namespace vinca {

Rect CViewAbs::GetPartRect(std::string_view) const {
    return {};
}

void CViewAbs::Invalidate(const Rect& r) const {
    if (m_parent) m_parent->Invalidate(r.Offset(m_x, m_y));
}

bool CCellMetrics::ClipToParent(Rect& r) const {
    r = r.Intersect({0, 0, m_width, m_height});
    if (!Parent()) return !r.IsEmpty();
    Rect shifted = r.Offset(X(), Y());
    bool visible = Parent()->ClipToParent(shifted);
    r = shifted;
    return visible;
}

bool CCellMetrics::GetPartRectClipped(std::string_view part, Rect& r) const {
    if (part.empty()) r = {0, 0, m_width, m_height};
    return ClipToParent(r);
}

} // namespace vinca
