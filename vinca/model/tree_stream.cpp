// The tree stream: header, references and the shared primitive records.
#include "vinca/model/tree_stream.h"

#include <algorithm>
#include <cstring>

#include "vinca/model/attr.h"
#include "vinca/model/names.h"
#include "vinca/model/values.h"

namespace vinca {

using namespace plat;

namespace {
// Smallest stored attribute entry: name key, type word, presence byte.
constexpr uint64_t kMinAttrEntryBytes = 7;
} // namespace

CTreeStream::CTreeStream(CVincaStream& bytes, Mode mode) : m_bytes(bytes), m_mode(mode) {}

CTreeStream::~CTreeStream() {
    if (m_open) Close();
}

bool CTreeStream::Open() {
    if (m_bytes.Failed()) return false;
    if (m_open) return true;
    m_start = m_bytes.Position();
    if (Reading()) {
        ReadHeader();
    } else {
        // Signature and counter are back-patched on Close.
        m_bytes.Seek(6, FROM_CURRENT);
        m_version = kVersion;
        m_bytes.WriteU16(kVersion);
        m_bytes.Write(m_marker, 4);
    }
    m_open = !m_bytes.Failed();
    return m_open;
}

bool CTreeStream::ReadHeader() {
    if (!m_bytes.ReadU16(m_signature)) return false;
    switch (m_signature) {
    case kSignature:
        if (!m_bytes.ReadU32(m_counter) || !m_bytes.ReadU16(m_version) || m_bytes.Read(m_marker, 4) != VE_OK)
            return false;
        if (m_counter >= kMaxReferences) return BadFormat();
        return true;
    case kSignatureOldE:
        m_version = 0;
        return m_bytes.Skip(4) == VE_OK;
    case kSignatureOldH:
        m_version = 0;
        return true;
    default:
        return BadFormat();
    }
}

void CTreeStream::Close() {
    if (m_open && !Reading() && !m_bytes.Failed()) {
        uint32_t end = m_bytes.Position();
        m_bytes.Seek(static_cast<int32_t>(m_start), FROM_START);
        m_bytes.WriteU16(kSignature);
        m_bytes.WriteU32(m_counter);
        m_bytes.Seek(static_cast<int32_t>(end), FROM_START);
    }
    m_keys.clear();
    std::fill(std::begin(m_recent), std::end(m_recent), RecentKey{});
    m_sequential.clear();
    m_entries.clear();
    m_order.clear();
    m_open = false;
}

// ---- references ----------------------------------------------------------

CTreeStream::RefResult CTreeStream::WriteReference(const void* identity) {
    if (m_bytes.Failed()) return REF_REFUSED;
    // A counter of 2,000,000 is refused by every reader, so stop one short.
    if (m_counter + 1 >= kMaxReferences) {
        SetError(VE_FILE_OUTPUT);
        return REF_REFUSED;
    }
    RecentKey& recent = m_recent[(reinterpret_cast<uintptr_t>(identity) >> 4) % std::size(m_recent)];
    if (recent.identity == identity && identity) {
        m_bytes.WriteU32(recent.key);
        ++m_counter;
        return REF_KNOWN;
    }
    auto [it, inserted] = m_keys.try_emplace(identity, m_nextKey);
    if (inserted) ++m_nextKey;
    recent = {identity, it->second};
    m_bytes.WriteU32(it->second);
    ++m_counter;
    return inserted ? REF_NEW : REF_KNOWN;
}

CTreeStream::RefResult CTreeStream::ReadReference(uint32_t& key) {
    key = 0;
    if (m_bytes.Failed() || m_counter == 0) return REF_REFUSED;
    if (!m_bytes.ReadU32(key)) return REF_REFUSED;
    --m_counter;
    if (FindEntry(key)) return REF_KNOWN;
    // A key is kept in one place only: by position when it is the next in
    // sequence, else in the map.
    if (key == m_sequential.size() + 1)
        m_sequential.emplace_back();
    else
        m_entries.try_emplace(key);
    m_order.push_back(key);
    return REF_NEW;
}

CTreeStream::Entry* CTreeStream::FindEntry(uint32_t key) {
    if (key - 1 < m_sequential.size()) return &m_sequential[key - 1];
    if (m_entries.empty()) return nullptr;
    auto it = m_entries.find(key);
    return it == m_entries.end() ? nullptr : &it->second;
}

std::vector<ComPtr<IDispatch>> CTreeStream::LoadedPictures() {
    std::vector<ComPtr<IDispatch>> out;
    for (uint32_t key : m_order) {
        const Entry* e = FindEntry(key);
        if (e && e->mark == 1 && e->object) out.push_back(e->object);
    }
    return out;
}

bool CTreeStream::Enter(int& depth, int limit) {
    if (depth >= limit) {
        SetError(Reading() ? VE_BAD_FILE_FORMAT : VE_FILE_OUTPUT);
        return false;
    }
    ++depth;
    return true;
}

// ---- strings -------------------------------------------------------------

void CTreeStream::WriteString(const std::string* text) {
    // A stored string ends at its first zero.
    size_t len = text ? std::strlen(text->c_str()) : 0;
    if (len == 0) {
        m_bytes.WriteU32(0);
        return;
    }
    m_bytes.WriteU32(static_cast<uint32_t>(len + 1));
    m_bytes.WriteBlock(text->c_str(), static_cast<uint32_t>(len + 1));
}

bool CTreeStream::ReadString(std::optional<std::string>& out) {
    out.reset();
    uint32_t n = 0;
    if (m_version >= 12) {
        if (!m_bytes.ReadU32(n)) return false;
    } else {
        uint16_t n16 = 0;
        if (!m_bytes.ReadU16(n16)) return false;
        n = n16;
        if (n >= 32500) // the old form's limit: no text
            return m_bytes.Skip(n) == VE_OK;
    }
    if (n == 0) return true;
    std::string s;
    if (m_bytes.ReadBytes(s, n) != VE_OK) return false;
    if (s.back() != '\0' || s.find('\0') != s.size() - 1) return BadFormat();
    s.pop_back();
    out = std::move(s);
    return true;
}

void CTreeStream::WriteByteString(std::string_view bytes) {
    m_bytes.WriteU32(static_cast<uint32_t>(bytes.size()));
    m_bytes.WriteBlock(bytes.data(), static_cast<uint32_t>(bytes.size()));
}

bool CTreeStream::ReadByteString(std::string& out) {
    out.clear();
    uint32_t n = 0;
    return m_bytes.ReadU32(n) && m_bytes.ReadBytes(out, n) == VE_OK;
}

// ---- names ---------------------------------------------------------------

void CTreeStream::WriteNameRef(const CVincaName* name) {
    if (!name) name = names::ObsoleteValue();
    if (WriteReference(name) == REF_NEW) WriteString(name->Text());
}

const CVincaName* CTreeStream::ReadNameRef() {
    uint32_t key = 0;
    switch (ReadReference(key)) {
    case REF_REFUSED:
        BadFormat();
        return nullptr;
    case REF_KNOWN: {
        Entry* e = FindEntry(key);
        if (!e || e->kind != ENTRY_NAME) {
            BadFormat();
            return nullptr;
        }
        return e->name;
    }
    case REF_NEW:
        break;
    }
    std::optional<std::string> text;
    if (!ReadString(text)) return nullptr;
    if (!text) {
        BadFormat();
        return nullptr;
    }
    const CVincaName* name = GlobalNameTable().Intern(*text);
    if (!name) {
        SetError(VE_OUT_OF_MEMORY);
        return nullptr;
    }
    Entry* e = FindEntry(key);
    e->kind = ENTRY_NAME;
    e->name = name;
    return name;
}

// ---- values --------------------------------------------------------------

void CTreeStream::WriteValue(const VARIANT& v) {
    m_bytes.WriteU16(v.vt);
    switch (v.vt) {
    case VT_I2:
    case VT_BOOL:
        m_bytes.Write(&v.iVal, 2);
        break;
    case VT_I4:
    case VT_R4:
    case VT_ERROR:
        m_bytes.Write(&v.lVal, 4);
        break;
    case VT_R8:
    case VT_DATE:
    case VT_CY: // low uint32, then high int32
        m_bytes.Write(&v.dblVal, 8);
        break;
    case VT_BSTR: // every byte, an odd last one included
    case VT_ANSI_TEXT:
        WriteByteString(bstr_bytes(v.bstrVal));
        break;
    case VT_DISPATCH:
        WriteObject(v.pdispVal);
        break;
    case VT_UI1:
        m_bytes.WriteU8(v.bVal);
        break;
    default: // no payload: the value reads back empty
        break;
    }
}

bool CTreeStream::ReadValue(Variant& out) {
    out.clear();
    uint16_t vt = 0;
    if (!m_bytes.ReadU16(vt)) return false;
    VARIANT v{};
    switch (vt) {
    case VT_EMPTY:
        return true;
    case VT_NULL: // kept: a null value is not an empty one
        out = Variant::null();
        return true;
    case VT_I2:
    case VT_BOOL:
        if (m_bytes.Read(&v.iVal, 2) != VE_OK) return false;
        break;
    case VT_I4:
    case VT_R4:
    case VT_ERROR:
        if (m_bytes.Read(&v.lVal, 4) != VE_OK) return false;
        break;
    case VT_R8:
    case VT_DATE:
    case VT_CY:
        if (m_bytes.Read(&v.dblVal, 8) != VE_OK) return false;
        break;
    case VT_UI1:
        if (m_bytes.Read(&v.bVal, 1) != VE_OK) return false;
        break;
    case VT_BSTR:
    case VT_ANSI_TEXT:
        if (!ReadStringValue(v.bstrVal)) return false;
        break;
    case VT_DISPATCH: {
        ComPtr<IDispatch> obj;
        if (!ReadObject(obj)) return false;
        v.pdispVal = obj.detach();
        break;
    }
    default: // a type without payload reads back empty
        return true;
    }
    v.vt = vt;
    out = Variant::adopt(v);
    return true;
}

bool CTreeStream::ReadStringValue(BSTR& out) {
    out = nullptr;
    uint32_t n = 0;
    if (!m_bytes.ReadU32(n)) return false;
    if (auto left = m_bytes.Remaining()) {
        // The bytes are known to be there: read them straight into the text.
        if (*left < n) return SetError(VE_FILE_INPUT), false;
        out = SysAllocStringByteLen(nullptr, n);
        if (!out) return SetError(VE_OUT_OF_MEMORY), false;
        if (m_bytes.ReadBlock(out, n) != VE_OK) {
            SysFreeString(out);
            out = nullptr;
            return false;
        }
        return true;
    }
    std::string bytes;
    if (m_bytes.ReadBytes(bytes, n) != VE_OK) return false;
    out = SysAllocStringByteLen(bytes.data(), n);
    if (!out) return SetError(VE_OUT_OF_MEMORY), false;
    return true;
}

// ---- objects and pictures ------------------------------------------------

namespace {
const void* identity_of(IUnknown* obj) {
    ComPtr<IUnknown> unk;
    if (obj && SUCCEEDED(obj->QueryInterface(IID_IUnknown, unk.put_void())) && unk) return unk.get();
    return obj;
}

bool is_picture(IUnknown* obj) {
    ComPtr<IUnknown> pic;
    return obj && SUCCEEDED(obj->QueryInterface(IID_IVincaPicture, pic.put_void())) && pic;
}
} // namespace

bool CTreeStream::ReadObjectReference(Entry*& entry, RefResult& result) {
    entry = nullptr;
    uint8_t presence = 0;
    if (!m_bytes.ReadU8(presence)) return false;
    if (presence == 0) return true;
    if (presence != 1) return BadFormat();
    uint32_t key = 0;
    result = ReadReference(key);
    if (result == REF_REFUSED) return BadFormat();
    entry = FindEntry(key);
    return result == REF_NEW || entry->kind == ENTRY_OBJECT || BadFormat();
}

void CTreeStream::WriteObject(IDispatch* obj) {
    if (!obj) {
        m_bytes.WriteU8(0);
        return;
    }
    m_bytes.WriteU8(1);
    if (WriteReference(identity_of(obj)) == REF_NEW) WriteStoredObject(obj, m_bytes);
}

bool CTreeStream::ReadObject(ComPtr<IDispatch>& out) {
    out.reset();
    Entry* e = nullptr;
    RefResult r = REF_REFUSED;
    if (!ReadObjectReference(e, r)) return false;
    if (!e) return true;
    if (r == REF_KNOWN) {
        out = e->object;
        return true;
    }
    CLSID clsid;
    if (m_bytes.Read(&clsid, sizeof clsid) != VE_OK) return false;
    ComPtr<IDispatch> obj;
    if (!clsid.is_null() && LoadObjectData(clsid, m_bytes, obj) != VE_OK) return false;
    e->kind = ENTRY_OBJECT;
    e->object = obj;
    e->mark = is_picture(obj.get()) ? 1 : 0;
    out = obj;
    return true;
}

void CTreeStream::WritePicture(IVincaPicture* pic) {
    if (!pic || pic->Type() <= PICTYPE_NONE) {
        m_bytes.WriteU8(0);
        return;
    }
    m_bytes.WriteU8(1);
    if (WriteReference(identity_of(pic)) != REF_NEW) return;
    m_bytes.WriteU8(static_cast<uint8_t>(pic->Type()));
    WriteByteString(pic->Data());
}

bool CTreeStream::ReadPicture(ComPtr<IVincaPicture>& out) {
    out.reset();
    Entry* e = nullptr;
    RefResult r = REF_REFUSED;
    if (!ReadObjectReference(e, r)) return false;
    if (!e) return true;
    if (r == REF_KNOWN) {
        if (e->object && FAILED(e->object->QueryInterface(IID_IVincaPicture, out.put_void()))) return BadFormat();
        return true;
    }
    uint8_t type = 0;
    if (!m_bytes.ReadU8(type)) return false;
    e->kind = ENTRY_OBJECT;
    if (type == PICTYPE_NONE) return true;
    std::string data;
    if (!ReadByteString(data)) return false;
    auto pic = NewPicture(static_cast<PictureType>(type), std::move(data));
    if (!pic) return BadFormat();
    e->object = ComPtr<IDispatch>(pic.get());
    e->mark = 1;
    out = pic;
    return true;
}

// ---- attribute lists -----------------------------------------------------

void CTreeStream::WriteAttrList(const CAttrSet& set) {
    int32_t count = set.GetCount();
    m_bytes.WriteU32(static_cast<uint32_t>(count));
    for (int32_t i = 0; i < count && !m_bytes.Failed(); ++i) {
        const CAttrEntry* entry = set.GetAt(i);
        if (!entry) {
            SetError(VE_OUT_OF_MEMORY);
            return;
        }
        WriteAttrEntry(*entry);
    }
}

void CTreeStream::WriteAttrEntry(const CAttrEntry& entry) {
    WriteNameRef(entry.Name());
    WriteValue(entry.Value());
    CAttrSet* nested = const_cast<CAttrEntry&>(entry).NestedSet(false);
    m_bytes.WriteU8(nested ? 1 : 0);
    if (nested) {
        CStreamDepth guard(*this, m_attrDepth, kMaxAttrDepth);
        if (guard) WriteAttrList(*nested);
    }
}

bool CTreeStream::ReadAttrList(CAttrSet& set) {
    uint32_t count = 0;
    if (!m_bytes.ReadU32(count)) return false;
    if (auto left = m_bytes.Remaining(); left && *left / kMinAttrEntryBytes < count) return BadFormat();
    for (uint32_t i = 0; i < count; ++i) {
        Ref<CAttrEntry> entry = CAttrEntry::New(names::ObsoleteValue());
        if (!entry) return SetError(VE_OUT_OF_MEMORY), false;
        if (!ReadAttrEntry(*entry)) return false;
        if (set.Adopt(std::move(entry)) != VE_OK) return SetError(VE_OUT_OF_MEMORY), false;
    }
    return !m_bytes.Failed();
}

bool CTreeStream::ReadAttrEntry(CAttrEntry& entry) {
    const CVincaName* name = ReadNameRef();
    if (!name) return false;
    entry.SetName(name);
    Variant value;
    if (!ReadValue(value)) return false;
    entry.TakeValue(std::move(value));
    uint8_t nested = 0;
    if (!m_bytes.ReadU8(nested)) return false;
    if (nested) {
        CStreamDepth guard(*this, m_attrDepth, kMaxAttrDepth);
        if (!guard) return false;
        CAttrSet* set = entry.NestedSet(true);
        if (!set) return SetError(VE_OUT_OF_MEMORY), false;
        return ReadAttrList(*set);
    }
    return true;
}

} // namespace vinca
