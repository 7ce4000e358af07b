#pragma once
// Measures and draws a cell's rich text. The host keeps one document; a cell
// gives it its character format (face, size, effects, colour) and paragraph
// alignment, then the text is read into it and measured or drawn. Text that
// does not parse as rich text shows as its plain characters. On printer pages
// the text is recorded and played back, so it stays vector.
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "platform/com/unknown.h"
#include "platform/gdi/dc.h"
#include "vinca/model/picture.h"

class QTextDocument;

namespace vinca {

using plat::gdi::Dc;
using plat::gdi::Rect;

class CRichEditCallback;

inline constexpr uint32_t CFE_BOLD = 1, CFE_ITALIC = 2, CFE_UNDERLINE = 4, CFE_STRIKEOUT = 8;
enum : int32_t { PFA_LEFT = 1, PFA_RIGHT = 2, PFA_CENTER = 3 };

struct RichCharFormat {
    std::string face{"DejaVu Sans"};
    int32_t height{160}; // twips
    uint32_t effects{0};
    plat::gdi::COLORREF color{0};
};

struct RichParaFormat {
    int32_t alignment{PFA_LEFT};
};

// The character format of a cell's font and text colour.
RichCharFormat CellCharFormat(const FontDesc& font, plat::gdi::COLORREF color);
// The paragraph alignment of a cell's DrawText bits: centre for bit 1,
// right for bit 2, else left.
RichParaFormat CellParaFormat(uint32_t drawFormat);

class CRichTextHost {
  public:
    explicit CRichTextHost(bool multiLine);
    ~CRichTextHost();
    CRichTextHost(const CRichTextHost&) = delete;
    CRichTextHost& operator=(const CRichTextHost&) = delete;

    bool IsMultiLine() const { return m_multiLine; }
    void ApplyFormat(const RichCharFormat& cf, const RichParaFormat& pf);
    const RichCharFormat& CharFormat() const { return m_char; }

    // Reads rich text (plain characters when it does not parse); returns
    // whether it parsed.
    bool SetText(std::string_view text);
    // The document as rich text.
    std::string GetText() const;

    // The rectangle the text needs at rect's top-left: its lines laid out at
    // rect's width (multi-line) or unbroken (single line, or when rect has no
    // right edge: right < left), as wide as the widest line. Empty for an
    // empty text.
    Rect Measure(std::string_view text, const Rect& rect);
    void Draw(Dc& dc, std::string_view text, const Rect& rect, bool toPrinter);

    QTextDocument& Document() { return *m_doc; }
    // What objects embedded in the text are answered: one shared storage
    // for all of them.
    CRichEditCallback& OleCallback() const { return *m_callback; }

  private:
    void Layout(int32_t width);
    bool m_multiLine;
    RichCharFormat m_char;
    RichParaFormat m_para;
    std::unique_ptr<QTextDocument> m_doc;
    plat::ComPtr<CRichEditCallback> m_callback;
};

} // namespace vinca
