#include "platform/com/bstr.h"

#include <cstdlib>
#include <cstring>
#include <limits>

#include "platform/base/strings.h"

namespace plat {

namespace {

// Layout: [uint32 byte length][bytes][zero char16 terminator]. Odd byte
// lengths (single-byte text) get one extra zero so the terminator is whole.
constexpr size_t kHeader = sizeof(uint32_t);

BSTR allocate(uint32_t bytes) {
    const size_t total = kHeader + size_t(bytes) + 3;
    if (bytes > std::numeric_limits<uint32_t>::max() - 8) return nullptr;
    auto* block = static_cast<char*>(std::malloc(total));
    if (!block) return nullptr;
    std::memcpy(block, &bytes, kHeader);
    std::memset(block + kHeader + bytes, 0, 3);
    return reinterpret_cast<BSTR>(block + kHeader);
}

char* block_of(BSTR s) {
    return reinterpret_cast<char*>(s) - kHeader;
}

} // namespace

BSTR SysAllocStringLen(const OLECHAR* text, uint32_t len) {
    if (len > std::numeric_limits<uint32_t>::max() / 2) return nullptr;
    BSTR s = allocate(len * 2);
    if (!s) return nullptr;
    if (text)
        std::memcpy(s, text, size_t(len) * 2);
    else
        std::memset(s, 0, size_t(len) * 2);
    return s;
}

BSTR SysAllocString(const OLECHAR* text) {
    if (!text) return nullptr;
    return SysAllocStringLen(text, static_cast<uint32_t>(std::char_traits<char16_t>::length(text)));
}

BSTR SysAllocStringByteLen(const char* bytes, uint32_t len) {
    BSTR s = allocate(len);
    if (!s) return nullptr;
    if (bytes)
        std::memcpy(s, bytes, len);
    else
        std::memset(s, 0, len);
    return s;
}

bool SysReAllocStringLen(BSTR* bstr, const OLECHAR* text, uint32_t len) {
    if (!bstr) return false;
    BSTR s = SysAllocStringLen(text, len);
    if (!s) return false;
    SysFreeString(*bstr);
    *bstr = s;
    return true;
}

void SysFreeString(BSTR bstr) {
    if (bstr) std::free(block_of(bstr));
}

uint32_t SysStringByteLen(BSTR bstr) {
    if (!bstr) return 0;
    uint32_t n;
    std::memcpy(&n, block_of(bstr), kHeader);
    return n;
}

uint32_t SysStringLen(BSTR bstr) {
    return SysStringByteLen(bstr) / 2;
}

BSTR bstr_from_utf16(std::u16string_view text) {
    return SysAllocStringLen(text.data(), static_cast<uint32_t>(text.size()));
}

BSTR bstr_from_utf8(std::string_view text) {
    return bstr_from_utf16(utf8_to_utf16(text));
}

std::u16string_view bstr_view(BSTR bstr) {
    if (!bstr) return {};
    return {bstr, SysStringLen(bstr)};
}

std::string bstr_to_utf8(BSTR bstr) {
    return utf16_to_utf8(bstr_view(bstr));
}

std::string_view bstr_bytes(BSTR bstr) {
    if (!bstr) return {};
    return {reinterpret_cast<const char*>(bstr), SysStringByteLen(bstr)};
}

BSTR bstr_copy(BSTR bstr) {
    if (!bstr) return nullptr;
    return SysAllocStringByteLen(reinterpret_cast<const char*>(bstr), SysStringByteLen(bstr));
}

} // namespace plat
