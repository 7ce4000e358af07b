// Streams, persistence through streams and property bags, enumerators.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "platform/com/enum_variant.h"
#include "platform/com/errors.h"
#include "platform/com/loader.h"
#include "platform/com/object.h"
#include "platform/com/persist.h"
#include "platform/com/stream.h"
#include "support/temp_dir.h"
#include "test_objects.h"

using namespace plat;
using kltest::kNoteClsid;
using kltest::Note;

namespace {

std::string read_all(IStream* s) {
    std::string out(64, '\0');
    uint32_t got = 0;
    EXPECT_EQ(s->Read(out.data(), 64, &got), S_OK);
    out.resize(got);
    return out;
}

// Both forms must behave alike for what callers rely on.
void check_stream_contract(IStream* s) {
    ASSERT_EQ(write_all(s, "abcdef", 6), S_OK);
    uint64_t pos = 99;
    ASSERT_EQ(s->Seek(-2, STREAM_SEEK_END, &pos), S_OK);
    EXPECT_EQ(pos, 4u);
    EXPECT_EQ(read_all(s), "ef");
    // Before the start is refused and the position stays.
    EXPECT_EQ(s->Seek(-7, STREAM_SEEK_CUR, &pos), STG_E_INVALIDFUNCTION);
    ASSERT_EQ(s->Seek(0, STREAM_SEEK_CUR, &pos), S_OK);
    EXPECT_EQ(pos, 6u);
    EXPECT_EQ(s->Seek(0, 7, &pos), STG_E_INVALIDFUNCTION);
    // A short read is not an error for the stream, but is for read_exact.
    ASSERT_EQ(s->Seek(3, STREAM_SEEK_SET, nullptr), S_OK);
    char buf[8];
    uint32_t got = 0;
    EXPECT_EQ(s->Read(buf, 8, &got), S_OK);
    EXPECT_EQ(got, 3u);
    ASSERT_EQ(s->Seek(3, STREAM_SEEK_SET, nullptr), S_OK);
    EXPECT_EQ(read_exact(s, buf, 8), STG_E_READFAULT);
    // Far past 4 GiB (64-bit positions): reading there finds nothing.
    ASSERT_EQ(s->Seek(int64_t(1) << 33, STREAM_SEEK_SET, &pos), S_OK);
    EXPECT_EQ(pos, uint64_t(1) << 33);
    EXPECT_EQ(s->Read(buf, 8, &got), S_OK);
    EXPECT_EQ(got, 0u);
    // Clones read the same bytes from a position of their own.
    ComPtr<IStream> clone;
    ASSERT_EQ(s->Clone(clone.put()), S_OK);
    ASSERT_EQ(clone->Seek(0, STREAM_SEEK_SET, nullptr), S_OK);
    EXPECT_EQ(read_all(clone.get()), "abcdef");
    ASSERT_EQ(s->SetSize(2), S_OK);
    STATSTG st{};
    ASSERT_EQ(s->Stat(&st, STATFLAG_NONAME), S_OK);
    EXPECT_EQ(st.cbSize, 2u);
}

TEST(Stream, MemoryAndFileFormsKeepTheSameContract) {
    auto mem = create_memory_stream();
    check_stream_contract(mem.get());
    EXPECT_EQ(memory_stream_bytes(mem.get()), (std::vector<uint8_t>{'a', 'b'}));

    kltest::TempDir dir;
    ComPtr<IStream> file;
    ASSERT_EQ(open_file_stream(dir.path() / "s.bin", FileStreamMode::Create, file), S_OK);
    check_stream_contract(file.get());
}

TEST(Stream, FileFormErrors) {
    kltest::TempDir dir;
    ComPtr<IStream> s;
    EXPECT_EQ(open_file_stream(dir.path() / "missing", FileStreamMode::Read, s), STG_E_FILENOTFOUND);
    EXPECT_EQ(open_file_stream(dir.path(), FileStreamMode::Read, s), STG_E_ACCESSDENIED);
    kltest::write_file(dir.path() / "ro.bin", "xyz");
    ASSERT_EQ(open_file_stream(dir.path() / "ro.bin", FileStreamMode::Read, s), S_OK);
    EXPECT_EQ(write_all(s.get(), "q", 1), STG_E_ACCESSDENIED);
    EXPECT_EQ(read_all(s.get()), "xyz");
    EXPECT_EQ(kltest::read_file(dir.path() / "ro.bin"), "xyz");
}

TEST(Persist, ObjectWithClassIdLoadsOnlyAllowedClasses) {
    register_linked_class(kNoteClsid, creator_of<Note>());
    auto note = make_object<Note>();
    note->text = "hello";
    auto s = create_memory_stream();
    ASSERT_EQ(save_object_to_stream(static_cast<IDispatch*>(note.get()), s.get()), S_OK);
    const auto bytes = memory_stream_bytes(s.get());
    ASSERT_EQ(bytes.size(), 16u + 4 + 5);
    EXPECT_EQ(std::memcmp(bytes.data(), &kNoteClsid, 16), 0);

    const CLSID allowed[] = {kNoteClsid};
    ASSERT_EQ(s->Seek(0, STREAM_SEEK_SET, nullptr), S_OK);
    ComPtr<IDispatch> loaded;
    ASSERT_EQ(load_object_from_stream(s.get(), allowed, IID_IDispatch, loaded.put_void()), S_OK);
    Variant v;
    ASSERT_EQ(loaded->Invoke(DISPID_VALUE, GUID_NULL, 0, DISPATCH_PROPERTYGET, nullptr, &v, nullptr, nullptr),
              S_OK);
    EXPECT_EQ(v.to_utf8(), "hello");

    // A class the caller did not name is never created.
    ASSERT_EQ(s->Seek(0, STREAM_SEEK_SET, nullptr), S_OK);
    EXPECT_EQ(load_object_from_stream(s.get(), {}, IID_IDispatch, loaded.put_void()), E_ACCESSDENIED);
    EXPECT_FALSE(loaded);
    // Cut data: the class id or the object's own part is short.
    auto cut = create_memory_stream(std::vector<uint8_t>(bytes.begin(), bytes.begin() + 10));
    EXPECT_EQ(load_object_from_stream(cut.get(), allowed, IID_IDispatch, loaded.put_void()), STG_E_READFAULT);
    cut = create_memory_stream(std::vector<uint8_t>(bytes.begin(), bytes.end() - 1));
    EXPECT_EQ(load_object_from_stream(cut.get(), allowed, IID_IDispatch, loaded.put_void()), E_FAIL);
    EXPECT_FALSE(loaded);
    // No object at all.
    auto empty = create_memory_stream();
    ASSERT_EQ(save_object_to_stream(nullptr, empty.get()), S_OK);
    ASSERT_EQ(empty->Seek(0, STREAM_SEEK_SET, nullptr), S_OK);
    EXPECT_EQ(load_object_from_stream(empty.get(), allowed, IID_IDispatch, loaded.put_void()), S_OK);
    EXPECT_FALSE(loaded);
    revoke_linked_class(kNoteClsid);
}

TEST(Persist, PropertyBagReadsByNameAndCoerces) {
    auto bag = PropertyBag::create();
    Variant width(int32_t(120));
    ASSERT_EQ(bag->Write(u"Width", &width), S_OK);
    Variant caption("Tree");
    ASSERT_EQ(bag->Write(u"Caption", &caption), S_OK);
    Variant v;
    ASSERT_EQ(bag->Read(u"WIDTH", &v, nullptr), S_OK);
    EXPECT_EQ(v.vt, VT_I4);
    Variant as_text;
    as_text.vt = VT_BSTR; // the wanted type
    ASSERT_EQ(bag->Read(u"width", &as_text, nullptr), S_OK);
    EXPECT_EQ(as_text.to_utf8(), "120");
    Variant as_number;
    as_number.vt = VT_I2;
    EXPECT_EQ(bag->Read(u"Caption", &as_number, nullptr), DISP_E_TYPEMISMATCH);
    Variant untouched("keep");
    EXPECT_EQ(bag->Read(u"Height", &untouched, nullptr), E_INVALIDARG);
    EXPECT_EQ(untouched.to_utf8(), "keep");
    EXPECT_EQ(bag->entries().size(), 2u);
}

TEST(Enumerator, FollowsTheCollectionAndKeepsItAlive) {
    auto values = std::make_shared<std::vector<int32_t>>(std::vector<int32_t>{1, 2, 3});
    auto owner = make_object<Note>();
    ComPtr<IEnumVARIANT> e =
        create_variant_enum(EnumSource{[values] { return static_cast<uint32_t>(values->size()); },
                                       [values](uint32_t i, VARIANT* out) {
                                           out->vt = VT_I4;
                                           out->lVal = (*values)[i];
                                           return S_OK;
                                       },
                                       ComPtr<IUnknown>(static_cast<IDispatch*>(owner.get()))});
    owner.reset(); // the enumerator holds the collection

    VARIANT out[2];
    uint32_t fetched = 0;
    ASSERT_EQ(e->Next(2, out, &fetched), S_OK);
    EXPECT_EQ(fetched, 2u);
    EXPECT_EQ(out[1].lVal, 2);
    values->push_back(4); // grows while walked
    ComPtr<IEnumVARIANT> clone;
    ASSERT_EQ(e->Clone(clone.put()), S_OK);
    ASSERT_EQ(e->Next(2, out, &fetched), S_OK);
    EXPECT_EQ(out[1].lVal, 4);
    EXPECT_EQ(e->Next(2, out, &fetched), S_FALSE);
    EXPECT_EQ(fetched, 0u);
    EXPECT_EQ(out[0].vt, VT_EMPTY);
    EXPECT_EQ(clone->Skip(5), S_FALSE);
    ASSERT_EQ(clone->Reset(), S_OK);
    ASSERT_EQ(clone->Next(1, out, nullptr), S_OK);
    EXPECT_EQ(out[0].lVal, 1);
}

} // namespace
