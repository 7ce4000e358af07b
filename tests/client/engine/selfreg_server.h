#pragma once
// The class the self-registering sample server serves.
#include "platform/com/guid.h"

namespace selfreg {

inline constexpr plat::CLSID kClsid = plat::make_guid("{3F6B2A10-8C4D-4E5F-9A1B-2C3D4E5F6071}");
inline constexpr const char* kProgId = "KLTest.SelfReg.1";

} // namespace selfreg
