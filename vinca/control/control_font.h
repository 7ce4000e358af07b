#pragma once
// The control's font: one font object for the whole life of the control.
// `Font` hands it out, the font members (FontName, FontSize, FontBold,
// FontItalic, FontStrikethru, FontUnderline) read and write it, and a
// change through any of them, or through a font object the container still
// holds, comes back to the control through an advised sink.
#include "platform/com/dispatcher.h"
#include "platform/com/ole.h"
#include "vinca/model/picture.h"

namespace vinca {

class CVincaCtrl;

class CControlFont {
  public:
    explicit CControlFont(CVincaCtrl& ctrl);
    ~CControlFont();
    CControlFont(const CControlFont&) = delete;
    CControlFont& operator=(const CControlFont&) = delete;

    IVincaFont& Object() { return *m_font; }
    const FontDesc& Desc() const { return m_font->Desc(); }
    // Sets one of the font object's members by its number, as a container
    // would; false when the font refuses the value.
    bool Put(plat::DISPID member, const plat::Variant& value);
    // Takes every field of another font (Set Font = ...).
    void Assign(const FontDesc& desc);

  private:
    class Sink;
    plat::ComPtr<IVincaFont> m_font;
    plat::ComPtr<Sink> m_sink;
};

namespace members {
void GetControlFont(CVincaCtrl& self, plat::DispCall& c);
void PutControlFont(CVincaCtrl& self, plat::DispCall& c);
} // namespace members

} // namespace vinca
