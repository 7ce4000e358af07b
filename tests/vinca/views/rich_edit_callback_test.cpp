#include <gtest/gtest.h>

#include "platform/com/storage.h"
#include "vinca/views/rich_edit_callback.h"
#include "vinca/views/rich_text_host.h"

using namespace vinca;
using plat::ComPtr;
using plat::IStorage;

namespace {

// The holder's reference, as a rich-text host takes it.
ComPtr<CRichEditCallback> Held(bool shared) {
    ComPtr<CRichEditCallback> cb(new CRichEditCallback);
    cb->SetSharedStorage(shared);
    return cb;
}

// A reference count as the object reports it.
plat::ULONG Refs(plat::IUnknown* p) {
    p->AddRef();
    return p->Release();
}

TEST(RichEditCallback, SharedModeHandsOutOneStorageOtherwiseANewOneEachTime) {
    auto shared = Held(true);
    ComPtr<IStorage> a, b;
    ASSERT_EQ(shared->GetNewStorage(a.put()), plat::S_OK);
    ASSERT_EQ(shared->GetNewStorage(b.put()), plat::S_OK);
    ASSERT_TRUE(a);
    EXPECT_EQ(a.get(), b.get());
    EXPECT_EQ(Refs(a.get()), 3u); // the callback's and the two handed out

    // The storage outlives the callback while objects hold it.
    shared.reset();
    EXPECT_EQ(Refs(a.get()), 2u);
    ComPtr<plat::IStream> s;
    EXPECT_EQ(a->CreateStream(u"Contents", plat::STGM_READWRITE | plat::STGM_SHARE_EXCLUSIVE, 0, 0, s.put()),
              plat::S_OK);

    auto own = Held(false);
    ComPtr<IStorage> c, d;
    ASSERT_EQ(own->GetNewStorage(c.put()), plat::S_OK);
    ASSERT_EQ(own->GetNewStorage(d.put()), plat::S_OK);
    ASSERT_TRUE(c && d);
    EXPECT_NE(c.get(), d.get());
    EXPECT_EQ(Refs(c.get()), 1u);
}

TEST(RichEditCallback, NullOutAnswersInvalidArgAndOutsAreCleared) {
    auto cb = Held(true);
    EXPECT_EQ(cb->GetNewStorage(nullptr), plat::E_INVALIDARG);

    auto* stale = reinterpret_cast<plat::IDataObject*>(0x1);
    EXPECT_EQ(cb->GetClipboardData(nullptr, 0, &stale), plat::E_NOTIMPL);
    EXPECT_EQ(stale, nullptr);
    uint32_t menu = 7;
    EXPECT_EQ(cb->GetContextMenu(0, nullptr, nullptr, &menu), plat::E_NOTIMPL);
    EXPECT_EQ(menu, 0u);
}

TEST(RichEditCallback, IdentityAndCounting) {
    auto cb = Held(false);
    void* out = reinterpret_cast<void*>(0x1);
    EXPECT_EQ(cb->QueryInterface(plat::IID_IUnknown, &out), plat::S_OK);
    EXPECT_EQ(out, static_cast<IRichEditOleCallback*>(cb.get()));
    EXPECT_EQ(cb->Release(), 1u);
    EXPECT_EQ(cb->QueryInterface(IRichEditOleCallback::kIID, &out), plat::S_OK);
    EXPECT_EQ(cb->Release(), 1u);
    out = reinterpret_cast<void*>(0x1);
    EXPECT_EQ(cb->QueryInterface(IStorage::kIID, &out), plat::E_NOINTERFACE);
    EXPECT_EQ(out, nullptr);

    // A count of 0 frees on release too (the leak checker would see it).
    auto* fresh = new CRichEditCallback;
    EXPECT_EQ(fresh->Release(), 0u);
}

TEST(RichEditCallback, RichTextHostSharesOneStorage) {
    CRichTextHost host(true);
    EXPECT_TRUE(host.OleCallback().SharedStorage());
}

TEST(MemoryStorage, StreamsByNameWithoutRegardToCase) {
    auto st = plat::create_memory_storage();
    ComPtr<plat::IStream> s;
    ASSERT_EQ(st->CreateStream(u"Ole10Native", plat::STGM_READWRITE, 0, 0, s.put()), plat::S_OK);
    ASSERT_EQ(plat::write_all(s.get(), "abc", 3), plat::S_OK);
    EXPECT_EQ(st->CreateStream(u"OLE10NATIVE", plat::STGM_READWRITE, 0, 0, s.put()), plat::STG_E_FILEALREADYEXISTS);

    ComPtr<plat::IStream> r;
    ASSERT_EQ(st->OpenStream(u"ole10native", nullptr, plat::STGM_READ, 0, r.put()), plat::S_OK);
    char back[3] = {};
    ASSERT_EQ(plat::read_exact(r.get(), back, 3), plat::S_OK);
    EXPECT_EQ(std::string(back, 3), "abc");

    ComPtr<IStorage> sub;
    ASSERT_EQ(st->CreateStorage(u"Ole10Native", plat::STGM_CREATE | plat::STGM_READWRITE, 0, 0, sub.put()),
              plat::S_OK);
    EXPECT_EQ(st->OpenStream(u"Ole10Native", nullptr, plat::STGM_READ, 0, r.put()), plat::STG_E_FILENOTFOUND);
    EXPECT_EQ(st->DestroyElement(u"ole10native"), plat::S_OK);
    EXPECT_EQ(st->OpenStorage(u"Ole10Native", nullptr, plat::STGM_READ, nullptr, 0, sub.put()), plat::STG_E_FILENOTFOUND);
    EXPECT_EQ(st->CreateStream(u"", plat::STGM_READWRITE, 0, 0, s.put()), plat::STG_E_INVALIDNAME);
}

} // namespace
