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

CFittedLabel::CFittedLabel(int max_lines, QWidget* parent)
    : QLabel(parent), m_max_lines(std::max(1, max_lines)) {
    setTextFormat(Qt::PlainText);
    setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Fixed);
}

void CFittedLabel::SetHeightToText(bool on) {
    m_height_to_text = on;
    QSizePolicy policy(QSizePolicy::Ignored, on ? QSizePolicy::Preferred : QSizePolicy::Fixed);
    policy.setHeightForWidth(on);
    setSizePolicy(policy);
    updateGeometry();
}

int CFittedLabel::LinesHeight(int lines) const {
    QMargins m = contentsMargins();
    return QFontMetrics(font()).lineSpacing() * std::max(1, lines) + m.top() + m.bottom();
}

QSize CFittedLabel::sizeHint() const {
    QMargins m = contentsMargins();
    const int width = QFontMetrics(font()).averageCharWidth() * kHintChars + m.left() + m.right();
    return {width,
            m_height_to_text ? heightForWidth(std::max(width, minimumWidth())) : LinesHeight(m_max_lines)};
}

QSize CFittedLabel::minimumSizeHint() const {
    QMargins m = contentsMargins();
    const int width = QFontMetrics(font()).averageCharWidth() * kMinimumChars + m.left() + m.right();
    return {width, m_height_to_text ? LinesHeight(1) : LinesHeight(m_max_lines)};
}

int CFittedLabel::heightForWidth(int width) const {
    if (!m_height_to_text) return LinesHeight(m_max_lines);
    QMargins m = contentsMargins();
    bool cut = false;
    return LinesHeight(static_cast<int>(Lines(width - m.left() - m.right(), &cut).size()));
}

QStringList CFittedLabel::Lines(int width, bool* cut) const {
    *cut = false;
    width = std::max(1, width);
    QStringList out;
    QFontMetrics fm(font());
    const QStringList paragraphs = text().split(QLatin1Char('\n'));
    // What is left from `from` in paragraph `p` on, as one line of text.
    auto rest = [&](qsizetype p, qsizetype from) {
        QStringList parts{paragraphs[p].mid(from)};
        for (qsizetype q = p + 1; q < paragraphs.size(); ++q)
            parts << paragraphs[q];
        return parts.join(QLatin1Char(' ')).simplified();
    };
    auto last_line = [&](qsizetype p, qsizetype from) {
        QString all = rest(p, from);
        QString shown = fm.elidedText(all, Qt::ElideRight, width);
        *cut = *cut || shown != all;
        out << shown;
    };
    if (m_max_lines == 1) {
        last_line(0, 0);
        return out;
    }
    for (qsizetype p = 0; p < paragraphs.size(); ++p) {
        const QString& paragraph = paragraphs[p];
        const bool later = p + 1 < paragraphs.size();
        if (static_cast<int>(out.size()) == m_max_lines - 1 &&
            (later || fm.horizontalAdvance(paragraph) > width)) {
            last_line(p, 0);
            return out;
        }
        if (paragraph.isEmpty()) {
            out << QString();
            continue;
        }
        QTextLayout layout(paragraph, font());
        QTextOption option;
        option.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
        layout.setTextOption(option);
        layout.beginLayout();
        for (;;) {
            QTextLine line = layout.createLine();
            if (!line.isValid()) break;
            line.setLineWidth(width);
            const int start = line.textStart();
            const bool more = start + line.textLength() < paragraph.size() || later;
            if (static_cast<int>(out.size()) == m_max_lines - 1 && more) {
                layout.endLayout();
                last_line(p, start);
                return out;
            }
            out << paragraph.mid(start, line.textLength()).trimmed();
        }
        layout.endLayout();
    }
    return out;
}

QStringList CFittedLabel::ShownLines() const {
    bool cut = false;
    return Lines(contentsRect().width(), &cut);
}

bool CFittedLabel::IsCut() const {
    bool cut = false;
    Lines(contentsRect().width(), &cut);
    return cut;
}

void CFittedLabel::paintEvent(QPaintEvent*) {
    QPainter p(this);
    bool cut = false;
    QRect r = contentsRect();
    const QStringList lines = Lines(r.width(), &cut);
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
        // The whole text, only when part of it is hidden. Passed as escaped
        // rich text: the tip then wraps, and markup that came from a server
        // shows as the characters it is.
        if (IsCut())
            QToolTip::showText(
                help->globalPos(),
                QStringLiteral("<p style='white-space:pre-wrap'>%1</p>").arg(text().toHtmlEscaped()), this);
        else
            QToolTip::hideText();
        return true;
    }
    return QLabel::event(event);
}

} // namespace klc
