#pragma once
// Small objects several component-layer tests share.
#include <string>

#include "platform/com/object.h"
#include "platform/com/persist.h"

namespace kltest {

using namespace plat;

// A persistable object as a server would write it; its text is its value.
inline constexpr CLSID kNoteClsid = make_guid("{6A1D3C30-5B7E-4C11-9E2A-7F00C0A80001}");

class Note final : public DispatchObject<Note, IPersistStreamInit> {
  public:
    static const DispatchTable<Note>& dispatch_table() {
        static const DispatchTable<Note> table{
            {.id = DISPID_VALUE,
             .name = "Text",
             .kind = DispKind::Property,
             .type = VT_BSTR,
             .get = [](Note& n, DispCall& c) { c.result() = Variant(n.text); },
             .put = [](Note& n, DispCall& c) { n.text = bstr_to_utf8(c.value().bstrVal); }},
        };
        return table;
    }
    HRESULT GetClassID(CLSID* out) override {
        *out = kNoteClsid;
        return S_OK;
    }
    HRESULT IsDirty() override { return S_OK; }
    HRESULT Load(IStream* s) override {
        uint32_t n = 0;
        if (FAILED(read_exact(s, &n, 4)) || n > 1024) return E_FAIL;
        std::string t(n, '\0');
        if (FAILED(read_exact(s, t.data(), n))) return E_FAIL;
        text = t;
        return S_OK;
    }
    HRESULT Save(IStream* s, BOOL) override {
        uint32_t n = static_cast<uint32_t>(text.size());
        return SUCCEEDED(write_all(s, &n, 4)) && SUCCEEDED(write_all(s, text.data(), n)) ? S_OK : E_FAIL;
    }
    HRESULT GetSizeMax(uint64_t*) override { return E_NOTIMPL; }
    HRESULT InitNew() override { return S_OK; }

    std::string text;
};

} // namespace kltest
