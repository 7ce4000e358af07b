#pragma once
// Identities and member numbers of the sample component the tests build as
// a shared library of its own.
#include "platform/base/types.h"
#include "platform/com/guid.h"

namespace sample {

inline constexpr plat::CLSID kClsid = plat::make_guid("{6A1D3C20-5B7E-4C11-9E2A-7F00C0A80001}");
inline constexpr plat::IID kDispatchIid = plat::make_guid("{6A1D3C21-5B7E-4C11-9E2A-7F00C0A80001}");
inline constexpr plat::IID kEventsIid = plat::make_guid("{6A1D3C22-5B7E-4C11-9E2A-7F00C0A80001}");
inline constexpr plat::GUID kLibid = plat::make_guid("{6A1D3C23-5B7E-4C11-9E2A-7F00C0A80001}");
inline constexpr plat::GUID kSafeForScripting = plat::make_guid("{7DD95801-9882-11CF-9FA9-00AA006C42C4}");
inline constexpr const char* kProgId = "KLTest.Sample.1";

enum : plat::DISPID {
    kName = 1,       // String property; also answers to "Caption"
    kCount = 2,      // Integer property, 0..100 (380 outside)
    kItem = 3,       // String property indexed by a Long (381 for a bad index)
    kAdd = 4,        // Add(a As Long, [optional] b As Variant = 1) As Long
    kSwap = 5,       // Swap(ByRef x As Variant, ByRef y As Long)
    kFail = 6,       // Fail(Code As Integer): raises the numbered error
    kFire = 7,       // Fire(Text As String) As Boolean: fires Changed, answers Cancel
    kSecret = 8,     // String property, read refused at design time
    kDesignMode = 9, // Boolean property switching design time on
    kReadOnly = 10,  // Long property, write refused
    kRunOnly = 11,   // Long property that exists only at run time
    kNewEnum = -4,   // the items, one by one
};

// Events.
enum : plat::DISPID {
    kChanged = 1, // Changed(Text As String, ByRef Cancel As Boolean)
};

} // namespace sample
