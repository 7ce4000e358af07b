#pragma once
// Data offered by a drag or the clipboard, in numbered formats: the
// standard numbers below, and names registered at run time, which get
// numbers from 0xC000 on (the same name always the same number).
#include <cstdint>
#include <string>
#include <string_view>

#include "platform/com/unknown.h"

namespace plat {

inline constexpr uint32_t CF_TEXT = 1;
inline constexpr uint32_t CF_BITMAP = 2;
inline constexpr uint32_t CF_METAFILEPICT = 3;
inline constexpr uint32_t CF_DIB = 8;
inline constexpr uint32_t CF_HDROP = 15;

// The system's own short form of offered data, whole blocks by format
// number. It is not the standard data-transfer interface (whose identity
// fixes a longer method table with format and medium records), so it has
// an identity of its own: a container asking for the standard one is told
// "no interface" instead of calling into the wrong table.
struct IDataObject : IUnknown {
    static constexpr IID kIID = make_guid("6E401333-0C93-494D-8E18-7238A871C951");
    // S_OK when the data is offered in the format, S_FALSE otherwise.
    virtual HRESULT QueryGetData(uint32_t format) = 0;
    // The data in the format as one memory block, whole.
    virtual HRESULT GetData(uint32_t format, std::string& block) = 0;

  protected:
    ~IDataObject() = default;
};

// The number of a format name (case-blind), registered on first use; 0 for
// an empty name or when the numbers run out.
uint32_t register_clipboard_format(std::string_view name);

} // namespace plat
