#pragma once
// Automation strings: UTF-16 text behind a 32-bit byte-length prefix, always
// followed by a terminating zero. A BSTR may also carry single-byte text (the
// byte-length forms); its length is then counted in bytes.
#include <cstdint>
#include <string>
#include <string_view>
#include <utility>

#include "platform/base/types.h"

namespace plat {

using BSTR = OLECHAR*;

// A copy of a zero-terminated text; null gives null.
BSTR SysAllocString(const OLECHAR* text);
// `len` characters from `text` (null: uninitialised zeroed space); null when out of memory.
BSTR SysAllocStringLen(const OLECHAR* text, uint32_t len);
// `len` bytes from `bytes` (null: zeroed space), for single-byte text.
BSTR SysAllocStringByteLen(const char* bytes, uint32_t len);
// Replaces *bstr with a copy of `len` characters; false when out of memory (then *bstr is kept).
bool SysReAllocStringLen(BSTR* bstr, const OLECHAR* text, uint32_t len);
void SysFreeString(BSTR bstr);
// Length in characters (bytes / 2) and in bytes; 0 for null.
uint32_t SysStringLen(BSTR bstr);
uint32_t SysStringByteLen(BSTR bstr);

// Conversions to and from the internal UTF-8 text.
BSTR bstr_from_utf8(std::string_view text);
BSTR bstr_from_utf16(std::u16string_view text);
std::string bstr_to_utf8(BSTR bstr);
// An exact copy (byte length kept); null gives null, and so does out of memory.
BSTR bstr_copy(BSTR bstr);
std::u16string_view bstr_view(BSTR bstr);
// The bytes of a byte-length string (single-byte text).
std::string_view bstr_bytes(BSTR bstr);

// Owns one BSTR.
class Bstr {
  public:
    Bstr() = default;
    explicit Bstr(std::string_view utf8) : m_s(bstr_from_utf8(utf8)) {}
    explicit Bstr(std::u16string_view utf16) : m_s(bstr_from_utf16(utf16)) {}
    explicit Bstr(const char* utf8) : m_s(utf8 ? bstr_from_utf8(utf8) : nullptr) {}
    Bstr(const Bstr& o) : m_s(o.copy()) {}
    Bstr(Bstr&& o) noexcept : m_s(std::exchange(o.m_s, nullptr)) {}
    ~Bstr() { SysFreeString(m_s); }
    Bstr& operator=(Bstr o) noexcept {
        std::swap(m_s, o.m_s);
        return *this;
    }

    static Bstr adopt(BSTR s) {
        Bstr b;
        b.m_s = s;
        return b;
    }
    static Bstr from_bytes(std::string_view bytes) {
        return adopt(SysAllocStringByteLen(bytes.data(), static_cast<uint32_t>(bytes.size())));
    }

    BSTR get() const { return m_s; }
    [[nodiscard]] BSTR detach() { return std::exchange(m_s, nullptr); }
    [[nodiscard]] BSTR copy() const { return bstr_copy(m_s); }
    void reset(BSTR s = nullptr) {
        SysFreeString(m_s);
        m_s = s;
    }
    // For out-parameters.
    BSTR* put() {
        reset();
        return &m_s;
    }

    uint32_t length() const { return SysStringLen(m_s); }
    uint32_t byte_length() const { return SysStringByteLen(m_s); }
    bool empty() const { return length() == 0 && byte_length() == 0; }
    std::string utf8() const { return bstr_to_utf8(m_s); }
    std::u16string_view view() const { return bstr_view(m_s); }
    std::string_view bytes() const { return bstr_bytes(m_s); }

  private:
    BSTR m_s{nullptr};
};

} // namespace plat
