#pragma once
// The font a cell names ("__Font"): one counted reference to a font object,
// and the drawing font made from it.
#include <cstdint>
#include <memory>
#include <string>

#include "platform/gdi/font.h"
#include "vinca/model/picture.h"

namespace vinca {

enum class FontFlag { Bold, Italic, Underline, Strikethrough };

// What a holder without a font starts from when it is changed.
FontDesc DefaultFontDesc();

class CFontHolder {
  public:
    CFontHolder() = default;
    explicit CFontHolder(plat::ComPtr<IVincaFont> f) : m_font(std::move(f)) {}

    void Set(plat::ComPtr<IVincaFont> f);
    IVincaFont* Get() const { return m_font.get(); }
    bool IsEmpty() const { return !m_font; }

    // The drawing font (the default font without a font object).
    const plat::gdi::Font& GetHandle() const;
    // Size in points.
    float GetSize() const;
    std::string GetName() const;
    bool GetFlag(FontFlag f) const;
    void SetSize(float points);
    void SetName(const std::string& name);
    void SetFlag(FontFlag f, bool on);

  private:
    void Replace(const FontDesc& d);
    plat::ComPtr<IVincaFont> m_font;
    mutable std::shared_ptr<const plat::gdi::Font> m_handle;
};

// The drawing font of a description, shared between every holder that names
// the same one.
std::shared_ptr<const plat::gdi::Font> FontFor(const FontDesc& d);
plat::gdi::FontSpec SpecOf(const FontDesc& d);

} // namespace vinca
