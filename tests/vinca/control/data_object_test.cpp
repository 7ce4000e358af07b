// Dragged data seen through the data object: formats by alias, text,
// bitmaps and file names, every read bounded by the block it came in.
#include <gtest/gtest.h>

#include <cstring>
#include <fstream>
#include <map>

#include "platform/com/dispatch_client.h"
#include "support/temp_dir.h"
#include "vinca/control/objects/data_object.h"
#include "vinca/model/picture.h"
#include "vinca/model/values.h"

namespace {

using plat::Variant;

class FakeData final : public plat::IDataObject {
  public:
    std::map<uint32_t, std::string> blocks;
    plat::HRESULT QueryInterface(plat::REFIID iid, void** out) override {
        *out = nullptr;
        if (iid != plat::IID_IUnknown && iid != plat::IDataObject::kIID) return plat::E_NOINTERFACE;
        *out = static_cast<plat::IDataObject*>(this);
        AddRef();
        return plat::S_OK;
    }
    plat::ULONG AddRef() override { return ++refs; }
    plat::ULONG Release() override { return --refs; } // lives on the test's stack
    plat::HRESULT QueryGetData(uint32_t format) override {
        return blocks.count(format) ? plat::S_OK : plat::S_FALSE;
    }
    plat::HRESULT GetData(uint32_t format, std::string& block) override {
        auto it = blocks.find(format);
        if (it == blocks.end()) return plat::E_FAIL;
        block = it->second;
        return plat::S_OK;
    }
    plat::ULONG refs{1};
};

std::string Le32(uint32_t v) {
    return std::string(reinterpret_cast<const char*>(&v), 4);
}

// A 40-byte header DIB of 2x1 pixels at `bits` bits, with `colours` used.
std::string Dib(uint16_t bits, uint32_t colours, uint32_t compression, size_t tail) {
    std::string h = Le32(40) + Le32(2) + Le32(1);
    h += std::string("\x01\x00", 2) + std::string(reinterpret_cast<const char*>(&bits), 2);
    h += Le32(compression) + Le32(0) + Le32(0) + Le32(0) + Le32(colours) + Le32(0);
    return h + std::string(tail, '\x7f');
}

Variant Get(plat::IDispatch* on, std::string_view name, std::vector<Variant> args = {}) {
    Variant v;
    EXPECT_EQ(plat::dispatch_get(on, name, v, args), plat::S_OK) << name;
    return v;
}

TEST(DataObject, FormatsTextAndBytesByAlias) {
    FakeData data;
    const uint32_t link = plat::register_clipboard_format("Link");
    EXPECT_GE(link, 0xC000u);
    EXPECT_EQ(plat::register_clipboard_format("LINK"), link);
    data.blocks[link] = std::string("a\0b", 3);
    data.blocks[plat::CF_TEXT] = std::string("dragged\0junk", 12);
    auto obj = plat::make_object<vinca::COleVincaDataObject>(&data);
    EXPECT_TRUE(Get(obj.get(), "GetFormat", {Variant(int32_t(0xBF00))}).to_bool());
    EXPECT_FALSE(Get(obj.get(), "GetFormat", {Variant(int32_t(0xBF01))}).to_bool());
    Variant bytes = Get(obj.get(), "GetData", {Variant(int32_t(0xBF00))});
    ASSERT_EQ(bytes.vt, plat::VT_ARRAY | plat::VT_UI1);
    int32_t upper = -1;
    plat::SafeArrayGetUBound(bytes.parray, 1, &upper);
    EXPECT_EQ(upper, 2); // the whole block, NUL included
    EXPECT_EQ(Get(obj.get(), "GetData", {Variant(int16_t(1))}).to_utf8(), "dragged");
    EXPECT_TRUE(Get(obj.get(), "GetData", {Variant(int32_t(0xBF01))}).is_empty());
    EXPECT_EQ(Get(obj.get(), "DataObject").punkVal, static_cast<plat::IUnknown*>(&data));

    // Kept past its event it offers nothing.
    obj->Detach();
    EXPECT_FALSE(Get(obj.get(), "GetFormat", {Variant(int16_t(1))}).to_bool());
    EXPECT_TRUE(Get(obj.get(), "GetData", {Variant(int16_t(1))}).is_empty());
    EXPECT_EQ(Get(obj.get(), "DataObject").punkVal, nullptr);
    EXPECT_EQ(Get(Get(obj.get(), "Files").pdispVal, "Count").to_i4(), 0);
    EXPECT_EQ(data.refs, 1u);
}

TEST(DataObject, BitmapsAreReadInsideTheirBlock) {
    struct Case {
        const char* what;
        std::string dib;
        bool picture;
    };
    const Case cases[] = {
        {"24 bits, no table", Dib(24, 0, 0, 8), true},
        {"8 bits with its 256 colours", Dib(8, 0, 0, 256 * 4 + 4), true},
        {"8 bits cut inside the colour table", Dib(8, 0, 0, 100), false},
        {"used colours beyond the block", Dib(8, 0x40000000, 0, 8), false},
        {"bit fields with their masks", Dib(16, 0, 3, 12 + 4), true},
        {"bit fields without masks", Dib(16, 0, 3, 4), false},
        {"header longer than the block", Le32(400) + std::string(20, '\0'), false},
        {"shorter than any header", std::string(6, '\0'), false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        FakeData data;
        data.blocks[plat::CF_DIB] = c.dib;
        auto obj = plat::make_object<vinca::COleVincaDataObject>(&data);
        Variant pic = Get(obj.get(), "GetData", {Variant(int16_t(8))});
        ASSERT_EQ(pic.vt, plat::VT_DISPATCH);
        plat::ComPtr<vinca::IVincaPicture> p;
        if (pic.pdispVal) pic.pdispVal->QueryInterface(vinca::IID_IVincaPicture, p.put_void());
        EXPECT_EQ(p && !p->Data().empty(), c.picture);
    }
}

TEST(DataObject, FileNamesThatExist) {
    kltest::TempDir dir;
    const auto a = dir.path() / "a.txt", b = dir.path() / "b.txt", gone = dir.path() / "gone.txt";
    std::ofstream(a) << "a";
    std::ofstream(b) << "b";
    std::u16string names;
    for (const auto& p : {a, gone, b})
        names += p.u16string() + u'\0';
    names += u'\0';
    std::string block = Le32(20) + Le32(0) + Le32(0) + Le32(0) + Le32(1);
    block.append(reinterpret_cast<const char*>(names.data()), names.size() * 2);
    FakeData data;
    data.blocks[plat::CF_HDROP] = block;
    auto obj = plat::make_object<vinca::COleVincaDataObject>(&data);
    Variant files = Get(obj.get(), "Files");
    EXPECT_EQ(Get(files.pdispVal, "Count").to_i4(), 2);
    EXPECT_EQ(Get(files.pdispVal, "Item", {Variant(int32_t(1))}).to_utf8(), b.string());
    EXPECT_EQ(Get(files.pdispVal, "Item", {Variant(int32_t(2))}).to_utf8(), "");
    EXPECT_EQ(Get(files.pdispVal, "Item", {Variant(int32_t(-1))}).to_utf8(), "");

    // A name without its terminator inside the block is not read.
    data.blocks[plat::CF_HDROP] = block.substr(0, 20 + 6);
    EXPECT_TRUE(vinca::dataobj::FileNamesOf(data.blocks[plat::CF_HDROP]).empty());
}

} // namespace
