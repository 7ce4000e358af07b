// One property list saved, loaded and reset through each exchange form.
#include <gtest/gtest.h>

#include "platform/com/errors.h"
#include "platform/com/loader.h"
#include "platform/com/prop_exchange.h"
#include "test_objects.h"

using namespace plat;

namespace {

struct Props {
    uint32_t version{0};
    bool flag{false};
    int16_t style{0};
    int32_t width{0};
    uint32_t color{0};
    float height{0};
    std::string caption;
    std::vector<uint8_t> blob;

    void exchange(PropExchange& px) {
        version = px.exchange_version(0x60009);
        px.exchange_bool("Flag", flag, true);
        px.exchange_short("Style", style);
        px.exchange_long("Width", width, 100);
        px.exchange_color("BackColor", color, 0x80000005u);
        px.exchange_float("Height", height, -1.0f);
        px.exchange_string("Caption", caption);
        px.exchange_blob("Blob", blob);
    }
};

Props sample() {
    Props p;
    p.flag = false;
    p.style = -3;
    p.width = 250;
    p.color = 0x8000000Du;
    p.height = 12.5f;
    p.caption = "T\xc3\xa9st";
    p.blob = {0, 1, 2, 255};
    return p;
}

void expect_same(const Props& a, const Props& b) {
    EXPECT_EQ(a.flag, b.flag);
    EXPECT_EQ(a.style, b.style);
    EXPECT_EQ(a.width, b.width);
    EXPECT_EQ(a.color, b.color);
    EXPECT_EQ(a.height, b.height);
    EXPECT_EQ(a.caption, b.caption);
    EXPECT_EQ(a.blob, b.blob);
}

TEST(PropExchange, StreamAndBagFormsRoundTrip) {
    Props saved = sample();
    auto s = create_memory_stream();
    StreamExchange out(s.get(), false);
    saved.exchange(out);
    ASSERT_EQ(out.finish(), S_OK);
    ASSERT_EQ(s->Seek(0, STREAM_SEEK_SET, nullptr), S_OK);
    Props loaded;
    StreamExchange in(s.get(), true);
    loaded.exchange(in);
    EXPECT_EQ(in.status(), S_OK);
    EXPECT_EQ(loaded.version, 0x60009u);
    expect_same(loaded, saved);

    auto bag = PropertyBag::create();
    BagExchange bag_out(bag.get(), false);
    saved.exchange(bag_out);
    Props from_bag;
    BagExchange bag_in(bag.get(), true);
    from_bag.exchange(bag_in);
    expect_same(from_bag, saved);
}

TEST(PropExchange, MissingValuesTakeTheirDefaultOrKeepTheirValue) {
    // A set that holds only the caption, and a width of the wrong kind.
    auto bag = PropertyBag::create();
    Variant caption("only");
    bag->Write(u"caption", &caption);
    Variant width("wide");
    bag->Write(u"Width", &width);
    Props p = sample();
    BagExchange in(bag.get(), true);
    p.exchange(in);
    EXPECT_EQ(p.version, 0x60009u); // no stored version: the current one
    EXPECT_EQ(p.caption, "only");
    EXPECT_TRUE(p.flag);     // default
    EXPECT_EQ(p.width, 100); // unusable: default
    EXPECT_EQ(p.style, -3);  // no default: kept
    EXPECT_EQ(p.blob, sample().blob);

    Props r = sample();
    ResetExchange reset;
    r.exchange(reset);
    EXPECT_TRUE(r.flag);
    EXPECT_EQ(r.color, 0x80000005u);
    EXPECT_EQ(r.height, -1.0f);
    EXPECT_EQ(r.caption, sample().caption);
}

TEST(PropExchange, DamagedStreamLoadsNothing) {
    Props saved = sample();
    auto s = create_memory_stream();
    StreamExchange out(s.get(), false);
    saved.exchange(out);
    ASSERT_EQ(out.finish(), S_OK);
    auto bytes = memory_stream_bytes(s.get());

    // Cut anywhere: an error, and not one value applied.
    for (size_t cut : {size_t(0), size_t(3), bytes.size() / 2, bytes.size() - 1}) {
        auto part = create_memory_stream(std::vector<uint8_t>(bytes.begin(), bytes.begin() + cut));
        Props p;
        p.caption = "before";
        StreamExchange in(part.get(), true);
        p.exchange(in);
        EXPECT_EQ(in.status(), STG_E_READFAULT) << cut;
        EXPECT_EQ(p.caption, "before") << cut;
        EXPECT_EQ(p.style, 0) << cut;
    }
    // A length far beyond the data is refused before anything is allocated.
    std::vector<uint8_t> huge = {1, 0, 'C', 8, 0, 0xFF, 0xFF, 0xFF, 0x7F};
    auto hs = create_memory_stream(huge);
    StreamExchange in(hs.get(), true);
    EXPECT_EQ(in.status(), STG_E_READFAULT);
    // An unknown value type.
    std::vector<uint8_t> odd = {1, 0, 'C', 99, 0};
    auto os = create_memory_stream(odd);
    StreamExchange in2(os.get(), true);
    EXPECT_EQ(in2.status(), STG_E_INVALIDHEADER);
}

TEST(PropExchange, SubObjectsTravelWithTheirClassIdThroughTheAllowList) {
    register_linked_class(kltest::kNoteClsid, creator_of<kltest::Note>());
    auto note = make_object<kltest::Note>();
    note->text = "inner";
    ComPtr<IUnknown> obj(static_cast<IDispatch*>(note.get()));
    auto s = create_memory_stream();
    StreamExchange out(s.get(), false);
    out.exchange_object("TreeData", obj, {});
    ASSERT_EQ(out.finish(), S_OK);

    const CLSID allowed[] = {kltest::kNoteClsid};
    ASSERT_EQ(s->Seek(0, STREAM_SEEK_SET, nullptr), S_OK);
    ComPtr<IUnknown> loaded;
    StreamExchange in(s.get(), true);
    ASSERT_TRUE(in.exchange_object("TreeData", loaded, allowed));
    ComPtr<IDispatch> disp;
    ASSERT_EQ(loaded.query(IID_IDispatch, disp), S_OK);
    Variant text(disp.get()); // an object's value is its default member
    EXPECT_EQ(text.to_utf8(), "inner");

    ASSERT_EQ(s->Seek(0, STREAM_SEEK_SET, nullptr), S_OK);
    ComPtr<IUnknown> refused;
    StreamExchange in2(s.get(), true);
    EXPECT_FALSE(in2.exchange_object("TreeData", refused, {}));
    EXPECT_EQ(in2.status(), E_ACCESSDENIED);
    EXPECT_FALSE(refused);
    revoke_linked_class(kltest::kNoteClsid);
}

} // namespace
