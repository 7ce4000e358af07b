#include "vinca/views/rich_text_host.h"

#include <QtGui/QAbstractTextDocumentLayout>
#include <QtGui/QPainter>
#include <QtGui/QTextCursor>
#include <QtGui/QTextDocument>
#include <QtGui/QTextOption>
#include <cmath>

#include "platform/gdi/font.h"
#include "platform/gdi/rtf.h"
#include "vinca/views/rich_edit_callback.h"

namespace vinca {

using namespace plat::gdi;

RichCharFormat CellCharFormat(const FontDesc& font, COLORREF color) {
    RichCharFormat cf;
    cf.face = font.name.substr(0, 31);
    cf.height = int32_t((font.size * 20 + 5000) / 10000); // points x 20
    cf.effects = (font.weight >= 700 ? CFE_BOLD : 0) | (font.italic ? CFE_ITALIC : 0) |
                 (font.underline ? CFE_UNDERLINE : 0) | (font.strikethrough ? CFE_STRIKEOUT : 0);
    cf.color = color & 0xFFFFFF;
    return cf;
}

RichParaFormat CellParaFormat(uint32_t drawFormat) {
    return {(drawFormat & 1) ? PFA_CENTER : (drawFormat & 2) ? PFA_RIGHT : PFA_LEFT};
}

CRichTextHost::CRichTextHost(bool multiLine)
    : m_multiLine(multiLine), m_doc(std::make_unique<QTextDocument>()) {
    m_doc->setDocumentMargin(0);
    m_doc->setUndoRedoEnabled(false);
    QTextOption opt = m_doc->defaultTextOption();
    opt.setWrapMode(multiLine ? QTextOption::WrapAtWordBoundaryOrAnywhere : QTextOption::NoWrap);
    m_doc->setDefaultTextOption(opt);
    // The first reference is the host's.
    m_callback = new CRichEditCallback;
    m_callback->SetSharedStorage(true);
}

CRichTextHost::~CRichTextHost() = default;

void CRichTextHost::ApplyFormat(const RichCharFormat& cf, const RichParaFormat& pf) {
    m_char = cf;
    m_para = pf;
    m_doc->clear();
}

bool CRichTextHost::SetText(std::string_view text) {
    RtfDefaults d;
    d.face = m_char.face;
    d.halfPoints = std::max(1, m_char.height / 10);
    d.bold = m_char.effects & CFE_BOLD;
    d.italic = m_char.effects & CFE_ITALIC;
    d.underline = m_char.effects & CFE_UNDERLINE;
    d.strikeout = m_char.effects & CFE_STRIKEOUT;
    d.color = m_char.color;
    d.align = m_para.alignment == PFA_CENTER ? 1 : m_para.alignment == PFA_RIGHT ? 2 : 0;
    if (ReadRtf(text, *m_doc, d)) return true;
    // Not rich text after all: its characters, in the cell's format.
    m_doc->setPlainText(QString::fromUtf8(text.data(), qsizetype(text.size())));
    QTextCursor all(m_doc.get());
    all.select(QTextCursor::Document);
    QTextCharFormat f;
    f.setFontFamilies({QString::fromStdString(d.face)});
    f.setProperty(QTextFormat::FontPixelSize, std::max(1, (d.halfPoints * ScreenPixelsPerInch() + 72) / 144));
    f.setProperty(kRtfHalfPointsProperty, d.halfPoints);
    f.setFontWeight(d.bold ? QFont::Bold : QFont::Normal);
    f.setFontItalic(d.italic);
    f.setFontUnderline(d.underline);
    f.setFontStrikeOut(d.strikeout);
    f.setFontKerning(false);
    f.setFontHintingPreference(QFont::PreferFullHinting);
    f.setForeground(ToQColor(m_char.color));
    all.mergeCharFormat(f);
    QTextBlockFormat bf;
    bf.setAlignment((d.align == 1   ? Qt::AlignHCenter
                     : d.align == 2 ? Qt::AlignRight
                                    : Qt::AlignLeft) |
                    Qt::AlignAbsolute);
    all.mergeBlockFormat(bf);
    return false;
}

std::string CRichTextHost::GetText() const {
    return WriteRtf(*m_doc);
}

void CRichTextHost::Layout(int32_t width) {
    m_doc->setTextWidth(width < 0 || !m_multiLine ? -1 : width);
}

Rect CRichTextHost::Measure(std::string_view text, const Rect& rect) {
    if (text.empty()) return {};
    SetText(text);
    int32_t width = rect.right < rect.left ? -1 : rect.Width();
    Layout(width);
    // The width the lines take, not the width offered: the cell places this
    // extent by its alignment exactly as it places plain text, and the
    // paragraphs are aligned inside it line by line. A single line keeps
    // its whole width even beyond the offer, as plain text does.
    int32_t w = int32_t(std::ceil(m_doc->idealWidth()));
    if (width >= 0 && m_multiLine) w = std::min(w, width);
    int32_t h = int32_t(std::ceil(m_doc->size().height()));
    return {rect.left, rect.top, rect.left + w, rect.top + h};
}

void CRichTextHost::Draw(Dc& dc, std::string_view text, const Rect& rect, bool toPrinter) {
    if (text.empty() || rect.IsEmpty()) return;
    SetText(text);
    Layout(rect.Width());
    if (!m_multiLine) {
        // A single line is aligned in the rectangle as a paragraph would be.
        m_doc->setTextWidth(std::max<double>(rect.Width(), m_doc->idealWidth()));
    }
    auto paint = [&](QPainter& p) {
        QAbstractTextDocumentLayout::PaintContext ctx;
        ctx.palette.setColor(QPalette::Text, ToQColor(m_char.color));
        ctx.clip = QRectF(0, 0, rect.Width(), rect.Height());
        p.setClipRect(ctx.clip, Qt::IntersectClip);
        m_doc->documentLayout()->draw(&p, ctx);
    };
    // A page's painter keeps the text as text, so it is drawn straight
    // into it like on the screen; a recording played back would scale the
    // fonts a second time by the page's resolution.
    (void)toPrinter;
    QPainter* p = dc.LogicalPainter();
    if (!p) return;
    p->save();
    p->translate(rect.left, rect.top);
    paint(*p);
    p->restore();
}

} // namespace vinca
