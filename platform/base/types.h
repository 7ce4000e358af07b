#pragma once
// Fixed-width types and result codes shared by every layer. Automation data
// and stored files are 32-bit, so sizes here are explicit: never `long`.
#include <cstdint>

namespace plat {

using BYTE = uint8_t;
using WORD = uint16_t;
using DWORD = uint32_t;
using LONG = int32_t;
using ULONG = uint32_t;
using SHORT = int16_t;
using USHORT = uint16_t;
using BOOL = int32_t;       // platform Boolean: 0 false, anything else true
using VARIANT_BOOL = int16_t; // automation Boolean: -1 true, 0 false
using HRESULT = int32_t;
using OLECHAR = char16_t;   // wchar_t is 32-bit here; automation text is UTF-16
using LCID = uint32_t;
using DISPID = int32_t;
using SCODE = int32_t;

constexpr VARIANT_BOOL VARIANT_TRUE = -1;
constexpr VARIANT_BOOL VARIANT_FALSE = 0;

constexpr bool SUCCEEDED(HRESULT hr) { return hr >= 0; }
constexpr bool FAILED(HRESULT hr) { return hr < 0; }

constexpr HRESULT make_hresult(uint32_t v) { return static_cast<HRESULT>(v); }

constexpr HRESULT S_OK = 0;
constexpr HRESULT S_FALSE = 1;
constexpr HRESULT E_NOTIMPL = make_hresult(0x80004001u);
constexpr HRESULT E_NOINTERFACE = make_hresult(0x80004002u);
constexpr HRESULT E_POINTER = make_hresult(0x80004003u);
constexpr HRESULT E_ABORT = make_hresult(0x80004004u);
constexpr HRESULT E_FAIL = make_hresult(0x80004005u);
constexpr HRESULT E_UNEXPECTED = make_hresult(0x8000FFFFu);
constexpr HRESULT E_ACCESSDENIED = make_hresult(0x80070005u);
constexpr HRESULT E_HANDLE = make_hresult(0x80070006u);
constexpr HRESULT E_OUTOFMEMORY = make_hresult(0x8007000Eu);
constexpr HRESULT E_INVALIDARG = make_hresult(0x80070057u);

// Win32-style error numbers the file and registry layers report.
enum class SysError : int32_t {
    Success = 0,
    FileNotFound = 2,
    PathNotFound = 3,
    AccessDenied = 5,
    InvalidHandle = 6,
    NotEnoughMemory = 8,
    InvalidData = 13,
    WriteFault = 29,
    ReadFault = 30,
    SharingViolation = 32,
    HandleEof = 38,
    FileExists = 80,
    InvalidParameter = 87,
    DiskFull = 112,
    InsufficientBuffer = 122,
    AlreadyExists = 183,
    MoreData = 234,
    NoMoreItems = 259,
    BadPathname = 161,
    DirNotEmpty = 145,
    KeyDeleted = 1018,
    BadDatabase = 1009, // the registry store file is damaged
    Timeout = 1460,
    Cancelled = 1223,
};

} // namespace plat
