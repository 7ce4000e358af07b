#include <QtGui/QTextBlock>
#include <QtGui/QTextCursor>
#include <QtGui/QTextDocument>
#include <cstring>
#include <iconv.h>
#include <map>
#include <optional>
#include <utility>
#include <vector>

#include "platform/gdi/font.h"
#include "platform/gdi/rtf.h"

namespace plat::gdi {

namespace {

constexpr int kMaxDepth = 100;

struct CharState {
    int font{-1};
    int halfPoints{24};
    bool bold{false}, italic{false}, underline{false}, strike{false};
    int color{0};
    int uc{1};
    bool skip{false};
    bool hidden{false}; // \v: kept in the text, never shown
    enum Dest { Text, FontTable, ColorTable } dest{Text};
};

struct ParaState {
    int align{0};
    int left{0}, right{0}, first{0}; // twips
};

// Bytes of the document's code page to UTF-8.
std::string Decode(const std::string& bytes, int codePage) {
    std::string name = "CP" + std::to_string(codePage);
    iconv_t cd = iconv_open("UTF-8", name.c_str());
    if (cd == iconv_t(-1)) cd = iconv_open("UTF-8", "CP1252");
    if (cd == iconv_t(-1)) return bytes;
    std::string out(bytes.size() * 4 + 8, '\0');
    char* in = const_cast<char*>(bytes.data());
    size_t inLeft = bytes.size();
    char* o = out.data();
    size_t outLeft = out.size();
    while (inLeft > 0) {
        if (iconv(cd, &in, &inLeft, &o, &outLeft) == size_t(-1)) {
            // An undefined byte shows as a replacement character.
            ++in;
            --inLeft;
            if (outLeft >= 3) {
                std::memcpy(o, "\xEF\xBF\xBD", 3);
                o += 3;
                outLeft -= 3;
            }
        }
    }
    iconv_close(cd);
    out.resize(out.size() - outLeft);
    return out;
}

// The code page of a font table's character set (\fcharset); 0 for one
// that names none (the document's code page then applies).
int CharsetCodePage(int charset) {
    static constexpr std::pair<int, int> kPages[] = {
        {0, 1252},   {2, 1252},  {77, 10000}, {128, 932},  {129, 949},  {130, 1361}, {134, 936},
        {136, 950},  {161, 1253}, {162, 1254}, {163, 1258}, {177, 1255}, {178, 1256}, {186, 1257},
        {204, 1251}, {222, 874},  {238, 1250}, {254, 437},  {255, 850}};
    for (const auto& [set, page] : kPages)
        if (set == charset) return page;
    return 0;
}

// The characters the format names by control word.
std::optional<char16_t> NamedCharacter(std::string_view w) {
    static constexpr std::pair<std::string_view, char16_t> kNamed[] = {
        {"lquote", 0x2018},  {"rquote", 0x2019},  {"ldblquote", 0x201C}, {"rdblquote", 0x201D},
        {"bullet", 0x2022},  {"endash", 0x2013},  {"emdash", 0x2014},    {"enspace", 0x2002},
        {"emspace", 0x2003}, {"qmspace", 0x2005}, {"zwj", 0x200D},       {"zwnj", 0x200C},
        {"ltrmark", 0x200E}, {"rtlmark", 0x200F}, {"zwbo", 0x200B},      {"zwnbo", 0xFEFF}};
    for (const auto& [name, ch] : kNamed)
        if (name == w) return ch;
    return std::nullopt;
}

bool IsSkippedDestination(std::string_view w) {
    static constexpr std::string_view kSkipped[] = {
        "pict",       "object",       "info",      "stylesheet",
        "header",     "footer",       "headerl",   "headerr",
        "headerf",    "footerl",      "footerr",   "footerf",
        "footnote",   "fldinst",      "xe",        "tc",
        "bkmkstart",  "bkmkend",      "listtable", "listoverridetable",
        "rsidtbl",    "generator",    "themedata", "colorschememapping",
        "datastore",  "latentstyles", "filetbl",   "revtbl",
        "nonshppict", "shppict",      "private",   "annotation",
        "atnid",      "atnauthor",    "userprops", "docvar",
        "xmlnstbl",   "pgdsctbl"};
    for (auto s : kSkipped)
        if (s == w) return true;
    return false;
}

class Reader {
  public:
    Reader(std::string_view src, const RtfDefaults& d) : m_src(src), m_def(d) {}

    bool Run(QTextDocument& doc) {
        size_t i = 0;
        while (i < m_src.size() &&
               (m_src[i] == ' ' || m_src[i] == '\t' || m_src[i] == '\r' || m_src[i] == '\n'))
            ++i;
        if (m_src.substr(i, 5) != "{\\rtf") return false;
        m_pos = i;
        // Parse everything first; the document is filled only on success.
        if (!Parse()) return false;
        Fill(doc);
        return true;
    }

  private:
    struct Piece {
        QString text;
        CharState ch;
        ParaState para;
        bool paraEnd{false};
    };

    bool Parse() {
        std::vector<CharState> stack;
        CharState cur;
        cur.halfPoints = m_def.halfPoints;
        cur.bold = m_def.bold;
        cur.italic = m_def.italic;
        cur.underline = m_def.underline;
        cur.strike = m_def.strikeout;
        m_para.align = m_def.align;
        int skipChars = 0;
        bool started = false;
        std::string fontName;
        int tableFont = -1;
        int red = 0, green = 0, blue = 0;
        bool colorSet = false;

        while (m_pos < m_src.size()) {
            char c = m_src[m_pos];
            if (c == '{') {
                ++m_pos;
                FlushBytes(cur);
                if (int(stack.size()) >= kMaxDepth) return false;
                stack.push_back(cur);
                started = true;
                // A group opening with "\*" is a destination we may not know.
                if (m_src.substr(m_pos, 2) == "\\*") {
                    m_pos += 2;
                    cur.skip = true;
                }
                continue;
            }
            if (c == '}') {
                ++m_pos;
                FlushBytes(cur);
                if (cur.dest == CharState::FontTable && tableFont >= 0 && !fontName.empty()) {
                    m_fonts[tableFont] = fontName;
                    fontName.clear();
                }
                if (stack.empty()) return false;
                cur = stack.back();
                stack.pop_back();
                if (stack.empty()) {
                    m_closed = true;
                    break;
                }
                continue;
            }
            if (!started) return false;
            if (c == '\\') {
                ++m_pos;
                if (m_pos >= m_src.size()) return false;
                char n = m_src[m_pos];
                if (n == '\'') {
                    if (m_pos + 3 > m_src.size()) return false;
                    int v = 0;
                    for (int k = 1; k <= 2; ++k) {
                        char h = m_src[m_pos + k];
                        int d = h >= '0' && h <= '9'   ? h - '0'
                                : h >= 'a' && h <= 'f' ? h - 'a' + 10
                                : h >= 'A' && h <= 'F' ? h - 'A' + 10
                                                       : -1;
                        if (d < 0) return false;
                        v = v * 16 + d;
                    }
                    m_pos += 3;
                    if (skipChars > 0) {
                        --skipChars;
                        continue;
                    }
                    if (cur.skip) continue;
                    if (cur.dest == CharState::FontTable) {
                        fontName.push_back(char(v));
                        continue;
                    }
                    if (cur.dest == CharState::Text && !cur.hidden) {
                        if (!m_bytes.empty() && !SameChar(m_bytesState, cur)) FlushBytes(m_bytesState);
                        m_bytes.push_back(char(v));
                        m_bytesState = cur;
                    }
                    continue;
                }
                if (!std::isalpha(static_cast<unsigned char>(n))) {
                    // Control symbols.
                    ++m_pos;
                    if (cur.skip || cur.dest != CharState::Text) continue;
                    if (skipChars > 0) {
                        --skipChars;
                        continue;
                    }
                    if (n == '\\' || n == '{' || n == '}')
                        Text(cur, QString(QChar(n)));
                    else if (n == '~')
                        Text(cur, QString(QChar(0xA0)));
                    else if (n == '_')
                        Text(cur, QString(QChar(0x2011)));
                    else if (n == '-')
                        Text(cur, QString(QChar(0x00AD))); // shown only where a line breaks
                    else if (n == '\n' || n == '\r')
                        NewParagraph(cur);
                    continue;
                }
                size_t ws = m_pos;
                while (m_pos < m_src.size() && std::isalpha(static_cast<unsigned char>(m_src[m_pos])))
                    ++m_pos;
                std::string_view word = m_src.substr(ws, m_pos - ws);
                if (word.size() > 32) return false;
                bool hasNum = false, neg = false;
                int64_t num = 0;
                if (m_pos < m_src.size() && m_src[m_pos] == '-') {
                    neg = true;
                    ++m_pos;
                }
                int digits = 0;
                while (m_pos < m_src.size() && std::isdigit(static_cast<unsigned char>(m_src[m_pos]))) {
                    num = num * 10 + (m_src[m_pos] - '0');
                    hasNum = true;
                    if (++digits > 10 || num > int64_t(INT32_MAX) + 1) return false;
                    ++m_pos;
                }
                if (neg && !hasNum) return false;
                if (neg) num = -num;
                if (num > INT32_MAX || num < INT32_MIN) return false;
                if (m_pos < m_src.size() && m_src[m_pos] == ' ') ++m_pos;
                int arg = int(num);

                if (word != "u" && skipChars > 0) skipChars = 0;
                if (cur.skip) continue;
                if (IsSkippedDestination(word)) {
                    cur.skip = true;
                    continue;
                }
                FlushBytes(cur);
                if (word == "fonttbl") {
                    cur.dest = CharState::FontTable;
                } else if (word == "colortbl") {
                    cur.dest = CharState::ColorTable;
                } else if (word == "ansicpg") {
                    if (hasNum && arg > 0) m_codePage = arg;
                } else if (word == "deff") {
                    m_defaultFont = arg;
                } else if (word == "f") {
                    if (cur.dest == CharState::FontTable) {
                        tableFont = arg;
                        fontName.clear();
                    } else {
                        cur.font = arg;
                    }
                } else if (cur.dest == CharState::ColorTable) {
                    if (word == "red")
                        red = arg, colorSet = true;
                    else if (word == "green")
                        green = arg, colorSet = true;
                    else if (word == "blue")
                        blue = arg, colorSet = true;
                } else if (cur.dest == CharState::FontTable) {
                    // Families and pitches do not matter here; the character
                    // set decides how the font's bytes read.
                    if (tableFont >= 0 && word == "fcharset" && hasNum) {
                        if (const int page = CharsetCodePage(arg)) m_fontPages[tableFont] = page;
                    } else if (tableFont >= 0 && word == "cpg" && hasNum && arg > 0) {
                        m_fontPages[tableFont] = arg;
                    }
                } else if (const auto named = NamedCharacter(word)) {
                    Text(cur, QString(QChar(*named)));
                } else if (word == "v") {
                    cur.hidden = !hasNum || arg != 0;
                } else if (word == "b") {
                    cur.bold = !hasNum || arg != 0;
                } else if (word == "i") {
                    cur.italic = !hasNum || arg != 0;
                } else if (word == "ul") {
                    cur.underline = !hasNum || arg != 0;
                } else if (word == "ulnone") {
                    cur.underline = false;
                } else if (word == "strike") {
                    cur.strike = !hasNum || arg != 0;
                } else if (word == "fs") {
                    if (hasNum && arg > 0) cur.halfPoints = std::min(arg, 3276);
                } else if (word == "cf") {
                    cur.color = arg;
                } else if (word == "plain") {
                    int uc = cur.uc;
                    auto dest = cur.dest;
                    cur = CharState{};
                    cur.uc = uc;
                    cur.dest = dest;
                } else if (word == "par") {
                    // A hidden paragraph mark joins its paragraph to the next.
                    if (!cur.hidden) NewParagraph(cur);
                } else if (word == "line") {
                    Text(cur, QString(QChar(0x2028)));
                } else if (word == "tab") {
                    Text(cur, QStringLiteral("\t"));
                } else if (word == "pard") {
                    m_para = ParaState{};
                    m_para.align = m_def.align;
                } else if (word == "ql") {
                    m_para.align = 0;
                } else if (word == "qc") {
                    m_para.align = 1;
                } else if (word == "qr") {
                    m_para.align = 2;
                } else if (word == "qj") {
                    m_para.align = 3;
                } else if (word == "li") {
                    m_para.left = arg;
                } else if (word == "ri") {
                    m_para.right = arg;
                } else if (word == "fi") {
                    m_para.first = arg;
                } else if (word == "uc") {
                    if (hasNum && arg >= 0) cur.uc = arg;
                } else if (word == "u") {
                    Text(cur, QString(QChar(char16_t(uint16_t(int16_t(arg))))));
                    skipChars = cur.uc;
                }
                continue;
            }
            ++m_pos;
            if (c == '\r' || c == '\n') continue;
            if (skipChars > 0) {
                --skipChars;
                continue;
            }
            if (cur.skip) continue;
            if (cur.dest == CharState::FontTable) {
                if (c == ';') {
                    if (tableFont >= 0) m_fonts[tableFont] = fontName;
                    fontName.clear();
                } else {
                    fontName.push_back(c);
                }
                continue;
            }
            if (cur.dest == CharState::ColorTable) {
                if (c == ';') {
                    m_colors.push_back(
                        colorSet ? std::optional<COLORREF>(RGB(uint8_t(red), uint8_t(green), uint8_t(blue)))
                                 : std::nullopt);
                    red = green = blue = 0;
                    colorSet = false;
                }
                continue;
            }
            if (cur.hidden) continue;
            if (!m_bytes.empty() && !SameChar(m_bytesState, cur)) FlushBytes(m_bytesState);
            m_bytes.push_back(c);
            m_bytesState = cur;
        }
        if (!m_closed) return false;
        // What follows the outer group is ignored, but a stray closing
        // brace means the groups do not balance.
        return m_src.find('}', m_pos) == std::string_view::npos;
    }

    // The code page a font's bytes are in: its character set's, else the
    // document's.
    int CodePageOf(int font) const {
        auto it = m_fontPages.find(font >= 0 ? font : m_defaultFont);
        return it != m_fontPages.end() ? it->second : m_codePage;
    }

    // Code-page bytes pile up until something else comes, so multi-byte
    // characters decode whole.
    void FlushBytes(const CharState&) {
        if (m_bytes.empty()) return;
        std::string bytes;
        bytes.swap(m_bytes);
        bool ascii = std::all_of(bytes.begin(), bytes.end(), [](char b) { return uint8_t(b) < 0x80; });
        std::string utf8 = ascii ? bytes : Decode(bytes, CodePageOf(m_bytesState.font));
        Append(m_bytesState, QString::fromUtf8(utf8.data(), qsizetype(utf8.size())));
    }

    void Text(const CharState& cur, const QString& s) {
        if (cur.dest != CharState::Text || cur.hidden) return;
        FlushBytes(cur);
        Append(cur, s);
    }

    void Append(const CharState& ch, const QString& s) {
        if (!m_pieces.empty() && !m_pieces.back().paraEnd && SameChar(m_pieces.back().ch, ch) &&
            SamePara(m_pieces.back().para, m_para)) {
            m_pieces.back().text += s;
            return;
        }
        m_pieces.push_back({s, ch, m_para, false});
    }

    void NewParagraph(const CharState& cur) {
        FlushBytes(cur);
        m_pieces.push_back({QString(), cur, m_para, true});
    }

    static bool SameChar(const CharState& a, const CharState& b) {
        return a.font == b.font && a.halfPoints == b.halfPoints && a.bold == b.bold && a.italic == b.italic &&
               a.underline == b.underline && a.strike == b.strike && a.color == b.color;
    }
    static bool SamePara(const ParaState& a, const ParaState& b) {
        return a.align == b.align && a.left == b.left && a.right == b.right && a.first == b.first;
    }

    QTextCharFormat CharFormat(const CharState& ch) const {
        QTextCharFormat f;
        int fontIndex = ch.font >= 0 ? ch.font : m_defaultFont;
        auto it = m_fonts.find(fontIndex);
        std::string face = it != m_fonts.end() && !it->second.empty() ? it->second : m_def.face;
        if (std::any_of(face.begin(), face.end(), [](char b) { return uint8_t(b) >= 0x80; }))
            face = Decode(face, CodePageOf(fontIndex));
        f.setFontFamilies({QString::fromStdString(face)});
        int px = std::max(1, (ch.halfPoints * ScreenPixelsPerInch() + 72) / 144);
        f.setProperty(QTextFormat::FontPixelSize, px);
        f.setProperty(kRtfHalfPointsProperty, ch.halfPoints);
        f.setFontKerning(false);
        f.setFontHintingPreference(QFont::PreferFullHinting);
        f.setFontWeight(ch.bold ? QFont::Bold : QFont::Normal);
        f.setFontItalic(ch.italic);
        f.setFontUnderline(ch.underline);
        f.setFontStrikeOut(ch.strike);
        std::optional<COLORREF> color = m_def.color;
        if (ch.color > 0 && size_t(ch.color) < m_colors.size() && m_colors[size_t(ch.color)])
            color = m_colors[size_t(ch.color)];
        if (color) f.setForeground(ToQColor(*color));
        return f;
    }

    static QTextBlockFormat BlockFormat(const ParaState& p) {
        QTextBlockFormat b;
        static constexpr Qt::Alignment kAlign[] = {Qt::AlignLeft, Qt::AlignHCenter, Qt::AlignRight,
                                                   Qt::AlignJustify};
        b.setAlignment(kAlign[std::clamp(p.align, 0, 3)] | Qt::AlignAbsolute);
        b.setLeftMargin(p.left / 15.0);
        b.setRightMargin(p.right / 15.0);
        b.setTextIndent(p.first / 15.0);
        return b;
    }

    void Fill(QTextDocument& doc) {
        doc.clear();
        QTextCursor cursor(&doc);
        bool blockFormatted = false;
        for (const Piece& p : m_pieces) {
            if (!blockFormatted) {
                cursor.setBlockFormat(BlockFormat(p.para));
                blockFormatted = true;
            }
            if (p.paraEnd) {
                cursor.setBlockFormat(BlockFormat(p.para));
                cursor.insertBlock(BlockFormat(p.para), CharFormat(p.ch));
                blockFormatted = false;
                continue;
            }
            cursor.insertText(p.text, CharFormat(p.ch));
        }
        if (!blockFormatted) cursor.setBlockFormat(BlockFormat(m_para));
    }

    std::string_view m_src;
    const RtfDefaults& m_def;
    size_t m_pos{0};
    bool m_closed{false};
    int m_codePage{1252};
    int m_defaultFont{0};
    std::map<int, std::string> m_fonts;
    std::map<int, int> m_fontPages; // font number to code page
    std::vector<std::optional<COLORREF>> m_colors;
    std::string m_bytes;
    CharState m_bytesState;
    ParaState m_para;
    std::vector<Piece> m_pieces;
};

} // namespace

bool LooksLikeRtf(std::string_view text) {
    size_t i = text.find_first_not_of(" \t\r\n");
    return i != std::string_view::npos && text.substr(i, 5) == "{\\rtf";
}

bool ReadRtf(std::string_view rtf, QTextDocument& doc, const RtfDefaults& defaults) {
    Reader r(rtf, defaults);
    return r.Run(doc);
}

} // namespace plat::gdi
