#pragma once
// The tree stream: the control's byte format for a whole tree or one item
// with its subtree, with values, grids and pictures. One CTreeStream wraps a
// byte stream for one save or one load: Open (header), payload, Close
// (the writer back-patches the header's reference counter).
//
// Header (12 bytes): "DU", uint32 reference counter, uint16 version (16),
// marker 05 00 13 00. Older headers "DE" (4 bytes skipped) and "DH" read as
// version 0.
//
// Shared objects and names are written once with a 32-bit key and their
// contents, afterwards by the key alone. Keys are numbered 1, 2, 3... per
// stream; readers take any key as it comes.
//
// Readers treat the bytes as untrusted: every stored length is checked
// against what the stream still holds, strings must end with their NUL and
// hold none before it, nested attribute lists are capped, and a reference
// must name a filled entry of the right kind. Items nest as deep as the
// stream's bytes go: their records are read without recursion. Any violation keeps 20301 (or the byte
// stream's own read error) and the caller drops what it read.
#include <cstdint>
#include <deque>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "platform/com/dispatch.h"
#include "platform/com/variant.h"
#include "vinca/model/picture.h"
#include "vinca/model/stream.h"

namespace vinca {

class CVincaName;
class CAttrSet;
class CAttrEntry;

class CTreeStream {
  public:
    enum Mode : uint16_t { MODE_READ = 256, MODE_WRITE = 512 };
    static constexpr uint16_t kSignature = 0x5544;     // "DU"
    static constexpr uint16_t kSignatureOldE = 0x4544; // "DE"
    static constexpr uint16_t kSignatureOldH = 0x4844; // "DH"
    static constexpr uint16_t kVersion = 16;
    static constexpr uint32_t kMaxReferences = 2000000;
    // Deepest nesting of attribute lists accepted (the members that make
    // them never nest further).
    static constexpr int kMaxAttrDepth = 64;

    enum RefResult { REF_REFUSED, REF_KNOWN, REF_NEW };
    enum EntryKind : uint8_t { ENTRY_EMPTY, ENTRY_NAME, ENTRY_OBJECT };

    struct Entry {
        EntryKind kind{ENTRY_EMPTY};
        const CVincaName* name{nullptr};
        plat::ComPtr<plat::IDispatch> object; // may be null (an object stored as the null class id)
        uint32_t mark{0};                     // 1: a picture loaded from this stream
    };

    CTreeStream(CVincaStream& bytes, Mode mode);
    CTreeStream(const CTreeStream&) = delete;
    CTreeStream& operator=(const CTreeStream&) = delete;
    ~CTreeStream();

    // Reads (or reserves and writes) the header. False when the byte stream
    // has an error; true at once when already open.
    bool Open();
    // The writer back-patches signature and counter; the object table goes.
    void Close();
    bool IsOpen() const { return m_open; }
    Mode GetMode() const { return m_mode; }
    bool Reading() const { return m_mode == MODE_READ; }
    CVincaStream& Bytes() { return m_bytes; }
    uint16_t Version() const { return m_version; }
    uint32_t Counter() const { return m_counter; }
    uint32_t StartPosition() const { return m_start; }

    VResult Error() { return m_bytes.Error(); }
    VResult SetError(VResult code) { return m_bytes.SetError(code); }
    bool Failed() { return m_bytes.Failed(); }
    // Keeps 20301 and answers false.
    bool BadFormat() {
        SetError(VE_BAD_FILE_FORMAT);
        return false;
    }

    // ---- references ------------------------------------------------------
    // Writes the key of an object (by identity); REF_NEW means its contents
    // must follow. Refused after 2,000,000 references (the stream then keeps
    // 20203: a longer stream would be rejected by every reader).
    RefResult WriteReference(const void* identity);
    // Reads a key; REF_NEW adds an empty entry the caller fills. Refused when
    // the header's counter is used up.
    RefResult ReadReference(uint32_t& key);
    Entry* FindEntry(uint32_t key);
    // Entries marked as pictures loaded from this stream, in the order the
    // stream introduced them.
    std::vector<plat::ComPtr<plat::IDispatch>> LoadedPictures();

    // ---- primitives ------------------------------------------------------
    // Strings: uint32 length with the terminating zero (0 = no text); before
    // version 12 a uint16 length.
    void WriteString(const std::string* text);
    void WriteString(std::string_view text) {
        std::string t(text);
        WriteString(&t);
    }
    // nullopt for no text (or after an error).
    bool ReadString(std::optional<std::string>& out);
    // Byte strings: uint32 byte count, then the bytes, no terminator; any
    // count, odd ones included, comes back exactly.
    void WriteByteString(std::string_view bytes);
    bool ReadByteString(std::string& out);
    // A name: a reference, followed by its text the first time. A null name
    // is written as "__ObsoleteValue".
    void WriteNameRef(const CVincaName* name);
    const CVincaName* ReadNameRef();
    // A value: uint16 type, then its payload.
    void WriteValue(const plat::VARIANT& v);
    bool ReadValue(plat::Variant& out);
    // An object of a type-9 value: presence byte, reference, class id and
    // the object's stored form.
    void WriteObject(plat::IDispatch* obj);
    bool ReadObject(plat::ComPtr<plat::IDispatch>& out);
    // A picture of a picture holder: presence byte, reference, then type,
    // uint32 count and the image bytes.
    void WritePicture(IVincaPicture* pic);
    bool ReadPicture(plat::ComPtr<IVincaPicture>& out);
    // Attribute lists: uint32 count, then per entry the name, the value and
    // a presence byte of its nested list.
    void WriteAttrList(const CAttrSet& set);
    bool ReadAttrList(CAttrSet& set);

    // Nesting guard for attribute lists: false (and 20301 when reading,
    // 20203 when writing) beyond `limit`.
    bool Enter(int& depth, int limit);

    // One attribute entry record (a column's title entry is stored alone).
    void WriteAttrEntry(const CAttrEntry& entry);
    bool ReadAttrEntry(CAttrEntry& entry);

  private:
    bool ReadHeader();
    // A text value's byte count and bytes, read into a new automation
    // string of exactly that byte length (an odd one too: a byte-length
    // string a host stored as text).
    bool ReadStringValue(plat::BSTR& out);
    // A presence byte and, when it is 1, an object reference: `entry` stays
    // null for no object; a known entry must hold an object.
    bool ReadObjectReference(Entry*& entry, RefResult& result);

    CVincaStream& m_bytes;
    Mode m_mode;
    bool m_open{false};
    uint32_t m_start{0};
    uint16_t m_signature{kSignature};
    uint32_t m_counter{0};
    uint16_t m_version{0};
    uint8_t m_marker[4]{5, 0, 19, 0};

    // Writer: identity to key, with a few recent identities kept in front
    // (every item names its sort key, most items the same few value names).
    std::unordered_map<const void*, uint32_t> m_keys;
    struct RecentKey {
        const void* identity{nullptr};
        uint32_t key{0};
    };
    RecentKey m_recent[8];
    // Reader: key to entry. Keys that arrive in sequence (1, 2, 3..., as
    // this writer numbers them) are kept by position; any other key in a
    // map. A deque, so that entries never move while a record fills one.
    std::deque<Entry> m_sequential;
    std::unordered_map<uint32_t, Entry> m_entries;
    // Keys in the order they arrived.
    std::vector<uint32_t> m_order;
    uint32_t m_nextKey{1};
    int m_attrDepth{0};
};

// RAII for CTreeStream::Enter.
class CStreamDepth {
  public:
    CStreamDepth(CTreeStream& ts, int& depth, int limit) : m_depth(depth), m_ok(ts.Enter(depth, limit)) {}
    ~CStreamDepth() {
        if (m_ok) --m_depth;
    }
    explicit operator bool() const { return m_ok; }

  private:
    int& m_depth;
    bool m_ok;
};

} // namespace vinca
