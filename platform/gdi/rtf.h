#pragma once
// Rich text in the control's stored form, read into and written from a
// QTextDocument. The reader takes the part of the format the control's cells
// use: groups, font and colour tables, character effects and sizes, colours,
// paragraphs with alignment and indents, tabs, line breaks, code-page bytes
// and Unicode characters. Pictures, embedded objects, "{\*...}" groups and
// other destinations are skipped.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "platform/gdi/color.h"

class QTextDocument;

namespace plat::gdi {

// What a document starts with where the text itself says nothing.
struct RtfDefaults {
    std::string face{"DejaVu Sans"};
    int32_t halfPoints{24};
    bool bold{false};
    bool italic{false};
    bool underline{false};
    bool strikeout{false};
    std::optional<COLORREF> color; // none: the painter's text colour
    int32_t align{0};              // 0 left, 1 centre, 2 right, 3 justified
};

// True when the text (after leading blanks) opens a rich-text group.
bool LooksLikeRtf(std::string_view text);

// Fills `doc` from rich text. Returns false, leaving `doc` untouched, when the
// text cannot be parsed: no "{\rtf" at the start, unbalanced braces, groups
// nested deeper than 100, or a number that does not fit 32 bits.
bool ReadRtf(std::string_view rtf, QTextDocument& doc, const RtfDefaults& defaults = {});

// Writes a document in the form ReadRtf reads.
std::string WriteRtf(const QTextDocument& doc);

// Property of a character format holding the size in half points as written,
// so sizes survive a read and a write unchanged.
inline constexpr int kRtfHalfPointsProperty = 0x100000 + 1;

} // namespace plat::gdi
