#pragma once
// What a rich-text host answers to the objects embedded in its text: chiefly
// storage for them. A host that wants every embedded object in one storage
// switches shared storage on (the views' rich-text drawing does); otherwise
// each request gets a storage of its own. Storage lives in memory.
#include <cstdint>

#include "platform/com/data_object.h"
#include "platform/com/ole.h"
#include "platform/com/storage.h"

namespace vinca {

// A character range of rich text.
struct CHARRANGE {
    int32_t cpMin{0};
    int32_t cpMax{0};
};

struct IRichEditOleCallback : plat::IUnknown {
    static constexpr plat::IID kIID = plat::make_guid("00020D03-0000-0000-C000-000000000046");
    virtual plat::HRESULT GetNewStorage(plat::IStorage** out) = 0;
    // The in-place frame, document window and frame information.
    virtual plat::HRESULT GetInPlaceContext(void** frame, void** doc, void* frameInfo) = 0;
    virtual plat::HRESULT ShowContainerUI(plat::BOOL show) = 0;
    virtual plat::HRESULT QueryInsertObject(plat::CLSID* clsid, plat::IStorage* storage, int32_t cp) = 0;
    virtual plat::HRESULT DeleteObject(plat::IOleObject* object) = 0;
    virtual plat::HRESULT QueryAcceptData(plat::IDataObject* data, uint32_t* format, uint32_t reco,
                                          plat::BOOL really, uint32_t metafile) = 0;
    virtual plat::HRESULT ContextSensitiveHelp(plat::BOOL enter) = 0;
    virtual plat::HRESULT GetClipboardData(CHARRANGE* range, uint32_t operation, plat::IDataObject** out) = 0;
    virtual plat::HRESULT GetDragDropEffect(plat::BOOL drag, uint32_t keyState, uint32_t* effect) = 0;
    // `menu` is a menu number.
    virtual plat::HRESULT GetContextMenu(uint16_t selectionType, plat::IOleObject* object, CHARRANGE* range,
                                         uint32_t* menu) = 0;

  protected:
    ~IRichEditOleCallback() = default;
};

class CRichEditCallback final : public IRichEditOleCallback {
  public:
    // The count starts at 0: the holder adds the first reference.
    CRichEditCallback() = default;

    void SetSharedStorage(bool on) { m_shared = on ? 1 : 0; }
    bool SharedStorage() const { return m_shared != 0; }

    plat::HRESULT QueryInterface(plat::REFIID iid, void** out) override;
    plat::ULONG AddRef() override;
    // At 0 (or when it was 0 already) the object goes with its storage.
    plat::ULONG Release() override;

    // E_INVALIDARG for a null `out`; otherwise `out` is cleared first. In
    // shared mode every request gets the one storage, made on the first,
    // with a reference added each time.
    plat::HRESULT GetNewStorage(plat::IStorage** out) override;
    plat::HRESULT GetInPlaceContext(void**, void**, void*) override { return plat::E_NOTIMPL; }
    plat::HRESULT ShowContainerUI(plat::BOOL) override { return plat::S_OK; }
    plat::HRESULT QueryInsertObject(plat::CLSID*, plat::IStorage*, int32_t) override { return plat::S_OK; }
    plat::HRESULT DeleteObject(plat::IOleObject*) override { return plat::S_OK; }
    plat::HRESULT QueryAcceptData(plat::IDataObject*, uint32_t*, uint32_t, plat::BOOL, uint32_t) override {
        return plat::S_OK;
    }
    plat::HRESULT ContextSensitiveHelp(plat::BOOL) override { return plat::E_NOTIMPL; }
    // The rich text supplies its own data and has no menu of ours.
    plat::HRESULT GetClipboardData(CHARRANGE*, uint32_t, plat::IDataObject** out) override;
    plat::HRESULT GetDragDropEffect(plat::BOOL, uint32_t, uint32_t*) override { return plat::E_NOTIMPL; }
    plat::HRESULT GetContextMenu(uint16_t, plat::IOleObject*, CHARRANGE*, uint32_t* menu) override;

  private:
    ~CRichEditCallback();

    uint32_t m_refs{0};
    int32_t m_shared{0};
    plat::ComPtr<plat::IStorage> m_storage;
};

} // namespace vinca
