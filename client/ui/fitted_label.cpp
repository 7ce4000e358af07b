#include "client/ui/fitted_label.h"

#include <QHelpEvent>
#include <QPainter>
#include <QTextLayout>
#include <QToolTip>

namespace klc {
namespace {

// Room for a short text before the label gives way to its neighbours.
constexpr int kHintChars = 24;
constexpr int kMinimumChars = 6;

} // namespace

CFittedLabel::CFittedLabel(int max_lines, QWidget* parent) : QLabel(parent), m_max_lines(std::max(1, max_lines)) {
    setTextFormat(Qt::PlainText);
    setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Fixed);
}

QSize CFittedLabel::sizeHint() const {
    QFontMetrics fm(font());
    QMargins m = contentsMargins();
    return {fm.averageCharWidth() * kHintChars + m.left() + m.right(),
            fm.lineSpacing() * m_max_lines + m.top() + m.bottom()};
}

QSize CFittedLabel::minimumSizeHint() const {
    QFontMetrics fm(font());
    QMargins m = contentsMargins();
    return {fm.averageCharWidth() * kMinimumChars + m.left() + m.right(),
            fm.lineSpacing() * m_max_lines + m.top() + m.bottom()};
}

QStringList CFittedLabel::Lines(bool* cut) const {
    *cut = false;
    QStringList out;
    const QString all = text();
    const int width = std::max(1, contentsRect().width());
    QFontMetrics fm(font());
    if (m_max_lines == 1) {
        // One line: no wrapping at all, only the end cut.
        QString shown = fm.elidedText(all, Qt::ElideRight, width);
        *cut = shown != all;
        out << shown;
        return out;
    }
    QTextLayout layout(all, font());
    QTextOption option;
    option.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    layout.setTextOption(option);
    layout.beginLayout();
    for (int n = 0; n < m_max_lines; ++n) {
        QTextLine line = layout.createLine();
        if (!line.isValid()) break;
        line.setLineWidth(width);
        const int start = line.textStart();
        if (n == m_max_lines - 1 && start + line.textLength() < all.size()) {
            // The last line takes the rest, cut to the width.
            out << fm.elidedText(all.mid(start).simplified(), Qt::ElideRight, width);
            *cut = true;
            break;
        }
        out << all.mid(start, line.textLength()).trimmed();
    }
    layout.endLayout();
    return out;
}

QStringList CFittedLabel::ShownLines() const {
    bool cut = false;
    return Lines(&cut);
}

bool CFittedLabel::IsCut() const {
    bool cut = false;
    Lines(&cut);
    return cut;
}

void CFittedLabel::paintEvent(QPaintEvent*) {
    QPainter p(this);
    bool cut = false;
    const QStringList lines = Lines(&cut);
    QRect r = contentsRect();
    const int step = QFontMetrics(font()).lineSpacing();
    p.setPen(palette().color(isEnabled() ? QPalette::Active : QPalette::Disabled, QPalette::WindowText));
    for (const QString& line : lines) {
        p.drawText(QRect(r.left(), r.top(), r.width(), step), Qt::AlignLeft | Qt::AlignVCenter, line);
        r.setTop(r.top() + step);
    }
}

bool CFittedLabel::event(QEvent* event) {
    if (event->type() == QEvent::ToolTip) {
        auto* help = static_cast<QHelpEvent*>(event);
        // The whole text, only when part of it is hidden.
        // Passed as escaped rich text: the tip then wraps, and markup that
        // came from a server shows as the characters it is.
        if (IsCut())
            QToolTip::showText(help->globalPos(), QStringLiteral("<p>%1</p>").arg(text().toHtmlEscaped()), this);
        else
            QToolTip::hideText();
        return true;
    }
    return QLabel::event(event);
}

} // namespace klc
