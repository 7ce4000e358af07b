#include "platform/com/storage.h"

#include <string>
#include <vector>

#include "platform/base/strings.h"

namespace plat {

namespace {

class MemoryStorage final : public IStorage {
  public:
    HRESULT QueryInterface(REFIID iid, void** out) override {
        return query_self(this, iid, out, {IStorage::kIID});
    }
    ULONG AddRef() override { return m_refs.add(); }
    ULONG Release() override {
        ULONG n = m_refs.release();
        if (n == 0) delete this;
        return n;
    }

    HRESULT CreateStream(const OLECHAR* name, uint32_t mode, uint32_t, uint32_t, IStream** out) override {
        Element* e = nullptr;
        HRESULT hr = Make(name, mode, out, e);
        if (FAILED(hr)) return hr;
        e->stream = create_memory_stream();
        *out = ComPtr<IStream>(e->stream).detach();
        return S_OK;
    }

    HRESULT OpenStream(const OLECHAR* name, void*, uint32_t, uint32_t, IStream** out) override {
        if (!out) return STG_E_INVALIDPOINTER;
        *out = nullptr;
        Element* e = Find(name);
        if (!e || !e->stream) return STG_E_FILENOTFOUND;
        // Each opening reads from the start, over the same bytes.
        HRESULT hr = e->stream->Clone(out);
        if (SUCCEEDED(hr)) (*out)->Seek(0, STREAM_SEEK_SET, nullptr);
        return hr;
    }

    HRESULT CreateStorage(const OLECHAR* name, uint32_t mode, uint32_t, uint32_t, IStorage** out) override {
        Element* e = nullptr;
        HRESULT hr = Make(name, mode, out, e);
        if (FAILED(hr)) return hr;
        e->storage = create_memory_storage();
        *out = ComPtr<IStorage>(e->storage).detach();
        return S_OK;
    }

    HRESULT OpenStorage(const OLECHAR* name, IStorage*, uint32_t, SNB, uint32_t, IStorage** out) override {
        if (!out) return STG_E_INVALIDPOINTER;
        *out = nullptr;
        Element* e = Find(name);
        if (!e || !e->storage) return STG_E_FILENOTFOUND;
        *out = ComPtr<IStorage>(e->storage).detach();
        return S_OK;
    }

    HRESULT DestroyElement(const OLECHAR* name) override {
        if (!name) return STG_E_INVALIDPOINTER;
        for (auto it = m_elements.begin(); it != m_elements.end(); ++it)
            if (iequals(it->name, std::u16string_view(name))) {
                m_elements.erase(it);
                return S_OK;
            }
        return STG_E_FILENOTFOUND;
    }

    HRESULT RenameElement(const OLECHAR* old_name, const OLECHAR* new_name) override {
        if (!old_name || !new_name) return STG_E_INVALIDPOINTER;
        const std::u16string_view n(new_name);
        if (n.empty() || n.size() > 31) return STG_E_INVALIDNAME;
        Element* e = Find(old_name);
        if (!e) return STG_E_FILENOTFOUND;
        if (Element* other = Find(new_name); other && other != e) return STG_E_FILEALREADYEXISTS;
        e->name = std::u16string(n);
        return S_OK;
    }

    // Copies, moves, listings and times are not kept by a storage in memory
    // that only embedded objects use.
    HRESULT CopyTo(uint32_t, const IID*, SNB, IStorage*) override { return E_NOTIMPL; }
    HRESULT MoveElementTo(const OLECHAR*, IStorage*, const OLECHAR*, uint32_t) override { return E_NOTIMPL; }
    HRESULT EnumElements(uint32_t, void*, uint32_t, IEnumSTATSTG** out) override {
        if (out) *out = nullptr;
        return E_NOTIMPL;
    }
    HRESULT SetElementTimes(const OLECHAR*, const FILETIME*, const FILETIME*, const FILETIME*) override {
        return E_NOTIMPL;
    }
    HRESULT SetClass(REFCLSID clsid) override {
        m_clsid = clsid;
        return S_OK;
    }
    HRESULT SetStateBits(uint32_t bits, uint32_t mask) override {
        m_stateBits = (m_stateBits & ~mask) | (bits & mask);
        return S_OK;
    }
    HRESULT Stat(STATSTG* out, uint32_t) override {
        if (!out) return STG_E_INVALIDPOINTER;
        *out = STATSTG{};
        out->type = STGTY_STORAGE;
        out->grfMode = STGM_READWRITE | STGM_SHARE_EXCLUSIVE;
        out->clsid = m_clsid;
        out->grfStateBits = m_stateBits;
        return S_OK;
    }

    HRESULT Commit(uint32_t) override { return S_OK; }
    HRESULT Revert() override { return S_OK; }

  private:
    struct Element {
        std::u16string name;
        ComPtr<IStream> stream;
        ComPtr<IStorage> storage;
    };

    Element* Find(const OLECHAR* name) {
        if (!name) return nullptr;
        for (Element& e : m_elements)
            if (iequals(e.name, std::u16string_view(name))) return &e;
        return nullptr;
    }

    // The element a create call fills: a new one, or the old one emptied
    // when STGM_CREATE replaces it. Names are 1 to 31 characters.
    template <class T> HRESULT Make(const OLECHAR* name, uint32_t mode, T** out, Element*& e) {
        if (!out || !name) return STG_E_INVALIDPOINTER;
        *out = nullptr;
        const std::u16string_view n(name);
        if (n.empty() || n.size() > 31) return STG_E_INVALIDNAME;
        e = Find(name);
        if (e && !(mode & STGM_CREATE)) return STG_E_FILEALREADYEXISTS;
        if (!e) {
            m_elements.push_back(Element{std::u16string(n), nullptr, nullptr});
            e = &m_elements.back();
        }
        e->stream.reset();
        e->storage.reset();
        return S_OK;
    }

    RefCount m_refs;
    std::vector<Element> m_elements;
    CLSID m_clsid{};
    uint32_t m_stateBits{0};
};

} // namespace

ComPtr<IStorage> create_memory_storage() {
    return ComPtr<IStorage>::adopt(new MemoryStorage);
}

} // namespace plat
