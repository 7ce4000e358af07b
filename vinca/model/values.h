#pragma once
// Control values: item values, attribute values and cell contents are plain
// automation VARIANTs plus one private kind, type 14, which holds single-byte
// ("ANSI", here UTF-8) text in a byte-length BSTR. These helpers take values
// in from automation, hand them out, give the numeric and text views the
// rest of the control reads, and turn a value into display text.
//
// A type-14 value never leaves the control: CopyOut turns it into ordinary
// text (type 8).
#include <cstdint>
#include <string>
#include <string_view>

#include "platform/com/bstr.h"
#include "platform/com/guid.h"
#include "platform/com/unknown.h"
#include "platform/com/variant.h"

namespace vinca {

using plat::VARIANT;
using plat::VARTYPE;

constexpr VARTYPE VT_ANSI_TEXT = plat::VT_ANSI;

// Interfaces a picture or font value is asked for: the standard dispatch
// identities of pictures and fonts, and this system's own picture and font
// interfaces under identities of their own (they are not the standard
// picture and font tables, whose identities fix other methods).
inline constexpr plat::IID IID_IPictureDisp = plat::make_guid("7BF80981-BF32-101A-8BBB-00AA00300CAB");
inline constexpr plat::IID IID_IFontDisp = plat::make_guid("BEF6E003-A874-101A-8BBA-00AA00300CAB");
inline constexpr plat::IID IID_IVincaPicture = plat::make_guid("8E54BB99-0FFF-4174-89E7-0785FE1F35EE");
inline constexpr plat::IID IID_IVincaFont = plat::make_guid("58D8458C-10BC-495A-8C4D-AD6E259AEC84");

// ---- setters (each clears the old value first) ---------------------------

void ValueClear(VARIANT& v);
// Text stored as ordinary automation text (type 8). False when out of memory
// (the value is then empty).
bool ValueSetText(VARIANT& v, std::string_view utf8);
// Text stored as the private single-byte type 14; an empty text is an empty
// string of type 14. False when out of memory.
bool ValueSetAnsi(VARIANT& v, std::string_view bytes);
// A picture or font object, stored as type 9 through the object's picture
// (font) dispatch interface. False when the object does not answer it; the
// value is then empty.
bool ValueSetPicture(VARIANT& v, plat::IUnknown* picture);
bool ValueSetFont(VARIANT& v, plat::IUnknown* font);

// ---- views ---------------------------------------------------------------

// Types 2 and 3 give their value (3 truncated to 16 bits), others `def`.
int16_t ValueToShort(const VARIANT& v, int16_t def);
// Integers and bytes directly, reals truncated, currency divided by 10000,
// booleans 0 or 1, error codes their code; a by-reference value its target's.
// Texts and objects give 0 (their payload is a pointer, not a number).
int32_t ValueToInt(const VARIANT& v);
// Singles, doubles and dates directly, currency times 0.0001, others through
// the integer view.
double ValueToReal(const VARIANT& v);
// Integers directly; singles, doubles and currency rounded half away from
// zero (saturated to 32 bits); everything else 0.
int32_t ValueRound(const VARIANT& v);
// The picture or font interface of an object value (type 9), or null.
plat::ComPtr<plat::IUnknown> ValuePicture(const VARIANT& v);
plat::ComPtr<plat::IUnknown> ValueFont(const VARIANT& v);
// Type 14 its bytes, type 8 as UTF-8, any other type `def`.
std::string ValueToText(const VARIANT& v, std::string_view def = {});
// True for types 8 and 14.
bool ValueIsText(const VARIANT& v);
// The value formatted with the empty (Generic) format.
std::string ValueDisplayText(const VARIANT& v);

// ---- automation in and out -----------------------------------------------

// Copies an automation argument into a control value (dst is cleared
// first): by-reference arguments are followed (a null reference gives the
// integer 0), objects get one more reference. S_OK, E_OUTOFMEMORY, or the
// copy's own failure; dst is empty on failure.
plat::HRESULT CopyIn(VARIANT& dst, const VARIANT& src);
// Hands a control value out: type 14 leaves as ordinary text (type 8).
plat::HRESULT CopyOut(VARIANT& dst, const VARIANT& src);
// Deep copy between control values; type 14 keeps its type.
plat::HRESULT ValueCopy(VARIANT& dst, const VARIANT& src);

// ---- text helpers --------------------------------------------------------

// Reads the decimal digits at the start of a text, at most 5, capped at
// 32767: -1 for an absent text, 0 for an empty one or one without digits.
int16_t ParseDecimalPrefix(const char* text);

} // namespace vinca

namespace vinca {

class CVincaName;
// A text value (types 8 and 14) that is not empty, interned in the global
// name table; null for any other value.
const CVincaName* ValueToName(const VARIANT& v);

// Orders two values for sorting and searching (negative, 0, positive):
// same kinds by value (texts with the comparison flags of the search code),
// empty and null before anything else, mixed numbers as reals, anything
// else by display text.
int ValueCompare(const VARIANT& a, const VARIANT& b, int32_t flags);

} // namespace vinca
