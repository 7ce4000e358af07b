#pragma once
// Picture and font objects as the tree stream carries them. A picture keeps
// its type and the bytes of its image file exactly as they were loaded, and
// writes them back unchanged; drawing is the views' business. A font keeps
// the fields of its stored form.
//
// Both are automation objects: a value of type 9 holds their dispatch
// interface. IID_IVincaPicture answers IVincaPicture and IID_IVincaFont answers
// IVincaFont, this layer's picture and font interfaces.
#include <atomic>
#include <cstdint>
#include <span>
#include <string>

#include "platform/com/dispatch.h"
#include "platform/com/guid.h"
#include "platform/com/ole.h"
#include "platform/com/unknown.h"
#include "vinca/model/errors.h"

namespace vinca {

class CVincaStream;

// Class ids of the stored objects.
inline constexpr plat::CLSID CLSID_StdPicture = plat::make_guid("0BE35204-8F91-11CE-9DE3-00AA004BB851");
inline constexpr plat::CLSID CLSID_OldPicture = plat::make_guid("FB8F0824-0164-101B-84ED-08002B2EC713");
inline constexpr plat::CLSID CLSID_StdFont = plat::make_guid("0BE35203-8F91-11CE-9DE3-00AA004BB851");

enum PictureType : int16_t {
    PICTYPE_UNINITIALIZED = -1,
    PICTYPE_NONE = 0,
    PICTYPE_BITMAP = 1,
    PICTYPE_METAFILE = 2,
    PICTYPE_ICON = 3,
    PICTYPE_ENHMETAFILE = 4,
};

// The picture type an image file's first bytes announce; PICTYPE_NONE when
// they are not an image the control can load.
PictureType SniffPictureType(std::span<const uint8_t> bytes);

// A picture's automation members are the standard picture's: Handle 0,
// hPal 2, Type 3, Width 4 and Height 5 (HIMETRIC), all read-only.
struct IVincaPicture : plat::IDispatch {
    virtual PictureType Type() const = 0;
    // The image file as loaded (what SaveAsFile writes back).
    virtual const std::string& Data() const = 0;
};

// The natural size of a picture in HIMETRIC. The model does not decode
// images: whoever draws them installs the measure (false: not measurable,
// the size then reads 0 x 0).
using PictureMeasure = bool (*)(PictureType type, const std::string& data, int32_t& width, int32_t& height);
void SetPictureMeasure(PictureMeasure measure);

struct FontDesc {
    std::string name;
    int64_t size{0}; // points in units of 1/10000
    int16_t weight{400};
    int16_t charset{0};
    bool italic{false};
    bool underline{false};
    bool strikethrough{false};
    friend bool operator==(const FontDesc&, const FontDesc&) = default;
};

// A font's automation members: Name 0, Size 2, Bold 3, Italic 4,
// Underline 5, Strikethrough 6, Weight 7, Charset 8. A change through them
// is told to every advised sink.
struct IVincaFont : plat::IDispatch {
    virtual const FontDesc& Desc() const = 0;
    virtual void Advise(plat::IPropertyNotifySink* sink) = 0;
    virtual void Unadvise(plat::IPropertyNotifySink* sink) = 0;
};

// A new picture (one reference held by the result); null for type 0 or
// bytes that are not an image of the given type.
plat::ComPtr<IVincaPicture> NewPicture(PictureType type, std::string data);
plat::ComPtr<IVincaFont> NewFont(const FontDesc& desc);

// Writes an object's class id and stored form; an object that is neither a
// picture nor a font is written as the null class id alone.
void WriteStoredObject(plat::IUnknown* obj, CVincaStream& out);
// Loads the stored form of a picture (CLSID_StdPicture, CLSID_OldPicture) or
// a font (CLSID_StdFont). Anything else, or damaged data, is 20301.
VResult LoadObjectData(const plat::CLSID& clsid, CVincaStream& in, plat::ComPtr<plat::IDispatch>& out);

} // namespace vinca
