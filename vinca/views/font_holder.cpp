#include "vinca/views/font_holder.h"

#include <map>
#include <mutex>
#include <tuple>

namespace vinca {

FontDesc DefaultFontDesc() {
    FontDesc d;
    d.name = "DejaVu Sans";
    d.size = 82500; // 8.25 points
    d.weight = 400;
    return d;
}

plat::gdi::FontSpec SpecOf(const FontDesc& d) {
    plat::gdi::FontSpec s;
    s.face = d.name.empty() ? "DejaVu Sans" : d.name;
    s.size = d.size;
    s.weight = d.weight;
    s.italic = d.italic;
    s.underline = d.underline;
    s.strikeout = d.strikethrough;
    return s;
}

std::shared_ptr<const plat::gdi::Font> FontFor(const FontDesc& d) {
    static std::mutex lock;
    static std::map<std::tuple<std::string, int64_t, int16_t, bool, bool, bool>,
                    std::weak_ptr<const plat::gdi::Font>>
        fonts;
    auto key = std::make_tuple(d.name, d.size, d.weight, d.italic, d.underline, d.strikethrough);
    std::lock_guard g(lock);
    auto& slot = fonts[key];
    if (auto f = slot.lock()) return f;
    auto f = std::make_shared<const plat::gdi::Font>(SpecOf(d));
    slot = f;
    return f;
}

void CFontHolder::Set(plat::ComPtr<IVincaFont> f) {
    if (f.get() == m_font.get()) return;
    m_font = std::move(f);
    m_handle.reset();
}

const plat::gdi::Font& CFontHolder::GetHandle() const {
    if (!m_handle) m_handle = FontFor(m_font ? m_font->Desc() : DefaultFontDesc());
    return *m_handle;
}

float CFontHolder::GetSize() const {
    return m_font ? float(m_font->Desc().size) / 10000.0f : 0.0f;
}

std::string CFontHolder::GetName() const {
    return m_font ? m_font->Desc().name : std::string();
}

bool CFontHolder::GetFlag(FontFlag f) const {
    if (!m_font) return false;
    const FontDesc& d = m_font->Desc();
    switch (f) {
    case FontFlag::Bold:
        return d.weight >= 700;
    case FontFlag::Italic:
        return d.italic;
    case FontFlag::Underline:
        return d.underline;
    case FontFlag::Strikethrough:
        return d.strikethrough;
    }
    return false;
}

void CFontHolder::Replace(const FontDesc& d) {
    m_font = NewFont(d);
    m_handle.reset();
}

void CFontHolder::SetSize(float points) {
    FontDesc d = m_font ? m_font->Desc() : DefaultFontDesc();
    d.size = int64_t(double(points) * 10000.0 + 0.5);
    Replace(d);
}

void CFontHolder::SetName(const std::string& name) {
    FontDesc d = m_font ? m_font->Desc() : DefaultFontDesc();
    d.name = name;
    Replace(d);
}

void CFontHolder::SetFlag(FontFlag f, bool on) {
    FontDesc d = m_font ? m_font->Desc() : DefaultFontDesc();
    switch (f) {
    case FontFlag::Bold:
        d.weight = on ? 700 : 400;
        break;
    case FontFlag::Italic:
        d.italic = on;
        break;
    case FontFlag::Underline:
        d.underline = on;
        break;
    case FontFlag::Strikethrough:
        d.strikethrough = on;
        break;
    }
    Replace(d);
}

} // namespace vinca
