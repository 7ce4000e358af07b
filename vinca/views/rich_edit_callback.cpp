#include "vinca/views/rich_edit_callback.h"

namespace vinca {

CRichEditCallback::~CRichEditCallback() = default;

plat::HRESULT CRichEditCallback::QueryInterface(plat::REFIID iid, void** out) {
    // The callback's own identity is answered too, as every object must.
    return plat::query_self(static_cast<IRichEditOleCallback*>(this), iid, out, {IRichEditOleCallback::kIID});
}

plat::ULONG CRichEditCallback::AddRef() {
    return ++m_refs;
}

plat::ULONG CRichEditCallback::Release() {
    if (m_refs > 1) return --m_refs;
    // The storage goes first: objects still holding it keep it alive.
    m_storage.reset();
    delete this;
    return 0;
}

plat::HRESULT CRichEditCallback::GetNewStorage(plat::IStorage** out) {
    if (!out) return plat::E_INVALIDARG;
    *out = nullptr;
    if (!m_shared) {
        *out = plat::create_memory_storage().detach();
        return plat::S_OK;
    }
    if (!m_storage) m_storage = plat::create_memory_storage();
    *out = plat::ComPtr<plat::IStorage>(m_storage).detach();
    return plat::S_OK;
}

plat::HRESULT CRichEditCallback::GetClipboardData(CHARRANGE*, uint32_t, plat::IDataObject** out) {
    if (out) *out = nullptr;
    return plat::E_NOTIMPL;
}

plat::HRESULT CRichEditCallback::GetContextMenu(uint16_t, plat::IOleObject*, CHARRANGE*, uint32_t* menu) {
    if (menu) *menu = 0;
    return plat::E_NOTIMPL;
}

} // namespace vinca
