#include "platform/ui/cursors.h"

#include <QtGui/QPixmap>

namespace plat::ui {

bool StandardPointerShape(int32_t pointer, Qt::CursorShape& shape) {
    // Qt has no "icon" pointer (a small square): the arrow stands for it.
    static constexpr Qt::CursorShape kShapes[] = {
        Qt::ArrowCursor,     Qt::ArrowCursor,     Qt::CrossCursor,      Qt::IBeamCursor,
        Qt::ArrowCursor,     Qt::SizeAllCursor,   Qt::SizeBDiagCursor,  Qt::SizeVerCursor,
        Qt::SizeFDiagCursor, Qt::SizeHorCursor,   Qt::UpArrowCursor,    Qt::WaitCursor,
        Qt::ForbiddenCursor, Qt::BusyCursor,      Qt::WhatsThisCursor,  Qt::SizeAllCursor,
    };
    if (pointer <= kPointerDefault || pointer >= kPointerCustom) return false;
    shape = kShapes[pointer];
    return true;
}

bool CursorFromIcon(const QImage& icon, QCursor& cursor) {
    if (icon.isNull()) return false;
    cursor = QCursor(QPixmap::fromImage(icon), icon.width() / 2, icon.height() / 2);
    return true;
}

Qt::CursorShape ModuleCursorShape(int32_t id) {
    switch (id) {
    case kCursorSplitHorizontalLine:
        return Qt::SplitVCursor;
    case kCursorSplitVerticalLine:
        return Qt::SplitHCursor;
    default:
        return Qt::ArrowCursor;
    }
}

} // namespace plat::ui
