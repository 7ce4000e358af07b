// The tree stream: exact bytes, round trips, and damaged input.
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>

#include <fcntl.h>
#include <unistd.h>

#include "storage_fixtures.h"
#include "support/temp_dir.h"
#include "vinca/model/engine.h"
#include "vinca/model/grid.h"
#include "vinca/model/names.h"
#include "vinca/model/stream.h"
#include "vinca/model/tree_stream.h"
#include "vinca/model/tree_stream_records.h"
#include "vinca/model/values.h"

using namespace vinca;
using plat::Variant;
using storage_test::Bytes;

namespace {

Bytes obsolete_name_string() {
    Bytes b = {16, 0, 0, 0};
    for (char c : std::string("__ObsoleteValue"))
        b.push_back(static_cast<uint8_t>(c));
    b.push_back(0);
    return b;
}

Bytes name_string(const std::string& text) {
    Bytes b = {uint8_t(text.size() + 1), 0, 0, 0};
    b.insert(b.end(), text.begin(), text.end());
    b.push_back(0);
    return b;
}

Bytes header(uint32_t counter) {
    return {'D',
            'U',
            uint8_t(counter),
            uint8_t(counter >> 8),
            uint8_t(counter >> 16),
            uint8_t(counter >> 24),
            16,
            0,
            5,
            0,
            19,
            0};
}

Bytes cat(std::initializer_list<Bytes> parts) {
    Bytes out;
    for (const Bytes& p : parts)
        out.insert(out.end(), p.begin(), p.end());
    return out;
}

} // namespace

TEST(StorageStream, EmptyTreeIsTheHeaderTagAndAnEmptyRootNode) {
    Bytes expected =
        cat({header(1), {'T', 'R', 0, 1, 0, 0, 0}, obsolete_name_string(), {0, 0, 0, 0, 0, 0, 0, 0}});
    EXPECT_EQ(storage_test::Save(storage_test::NewTree()), expected);
}

TEST(StorageStream, OneItemTreeByHand) {
    CTreeRef tree = storage_test::NewTree();
    storage_test::AddChild(tree, "A");
    Bytes expected = cat({header(2),
                          {'T', 'R', 0, 1, 0, 0, 0},
                          obsolete_name_string(),
                          {0,
                           0,
                           0,
                           0,
                           /* sort method */ 1,
                           0,
                           0,
                           0, /* count */
                           1,
                           0,
                           0,
                           0,
                           'A',
                           /* text */ 0,
                           0,
                           /* mark, hidden */ 0,
                           0,
                           /* flags */ 1,
                           0, /* content */
                           0,
                           /* no grid */ 1,
                           0,
                           0,
                           0,
                           /* sort key: the known name */ 0,
                           0,
                           0,
                           0 /* item word */}});
    EXPECT_EQ(storage_test::Save(tree), expected);
}

TEST(StorageStream, ValuesAndSortKeyByHand) {
    CTreeRef tree = storage_test::NewTree();
    CItem* a = storage_test::AddChild(tree, "A");
    a->GetItemData()->Values().SetOrAddValue(names::ObsoleteValue(), Variant(int32_t(7)));
    a->GetItemData()->Values().SetOrAddValue(GlobalName("k"), Variant::ansi("xy"));
    a->SetExpandedFlag();
    a->SetItemWord(-2);
    tree.item->SetSortKey(GlobalName("k"));
    tree.item->SetSortMethodBits(2);

    Bytes expected = cat({header(4),
                          {'T', 'R', 0},
                          {1, 0, 0, 0, 2, 0, 0, 0, 'k', 0}, /* the root's sort key "k", new */
                          {2, 0, 0, 0, /* sort method */ 1,
                           0, 0, 0, /* count */
                           1, 0, 0, 0, 'A',
                           0, 0, 4, 0, /* expanded */ 5,
                           0,           /* content: values */
                           2, 0, 0, 0}, /* two values, in interning order */
                          {2, 0, 0, 0},
                          obsolete_name_string(),
                          {3, 0, 7, 0, 0, 0, 0},                        /* I4 7, no nested list */
                          {1, 0, 0, 0, 14, 0, 2, 0, 0, 0, 'x', 'y', 0}, /* "k": ANSI "xy" */
                          {0, /* no grid */ 2, 0, 0, 0, /* the item's sort key */ 0xFE, 0xFF, 0xFF,
                           0xFF /* item word -2 */}});
    EXPECT_EQ(storage_test::Save(tree), expected);
}

TEST(StorageStream, ValuesGridAndSortKeyByHand) {
    CTreeRef tree = storage_test::NewTree();
    CItem* a = storage_test::AddChild(tree, "A");
    a->GetItemData()->Values().SetOrAddValue(names::ObsoleteValue(), Variant(int32_t(7)));
    CTreeGrid::SetPixelsPerInch(96);
    a->SetGrid(CTreeGrid::New(CTreeGrid::ITEM_GRID).get());
    tree.item->SetSortKey(GlobalName("k"));

    auto i4 = [](uint32_t v) {
        return Bytes{3, 0, uint8_t(v), uint8_t(v >> 8), uint8_t(v >> 16), uint8_t(v >> 24), 0};
    };
    auto key = [](uint8_t k) { return Bytes{k, 0, 0, 0}; };
    Bytes expected = cat(
        {header(15),
         {'T', 'R', 0},
         key(1),
         name_string("k"),
         {0, 0, 0, 0, 1, 0, 0, 0},
         {1, 0, 0, 0, 'A', 0, 0, 0, 0, 5, 0},
         {1, 0, 0, 0},
         key(2),
         obsolete_name_string(),
         i4(7),
         {1},
         /* a grid */ {1, 0, 0, 0},
         /* one column */ {0, 0, 0, 0, 1}, /* position 0, present */
         {1, 4, 0, 0, 0},                  /* its title definitions, four entries in interning order */
         key(3),
         name_string("__BackColor"),
         i4(0xC0C0C0),
         key(4),
         name_string("__TextAlign"),
         i4(5),
         key(5),
         name_string("__BorderStyle"),
         i4(4),
         key(6),
         name_string("__Multiline"),
         i4(1),
         {0},
         /* no title entry */ key(7),
         name_string("__RowTitle"),
         {25, 0, 0, 0, 1},
         {1, 3, 0, 0, 0},
         key(3),
         i4(0x2C0C0C0),
         key(5),
         i4(0),
         key(6),
         i4(1), /* grid cell definition */
         {1, 4, 0, 0, 0},
         key(3),
         i4(0xC0C0C0),
         key(4),
         i4(5),
         key(5),
         i4(4),
         key(6),
         i4(1),                                                              /* column titles */
         {1, 3, 1, 0, 0, 0, 0, 0, 0, 0, 1, 0, 0, 0, 0, 0, 0, 0, 1, 1, 2, 1}, /* flags, lines, title fills */
         {0x80, 0x80, 0x80, 0},
         {0, 0x80, 0xBB, 0x43},
         {0, 0, 0x80, 0xBF},
         {0, 0, 0x80, 0xBF}, /* colour, sizes */
         key(2),
         {0, 0, 0, 0}});
    EXPECT_EQ(storage_test::Save(tree), expected);
}

TEST(StorageStream, SharedNamesAreStoredOnceAndCountedEachTime) {
    CTreeRef tree = storage_test::NewTree();
    for (const char* text : {"A", "B"})
        storage_test::AddChild(tree, text)
            ->GetItemData()
            ->Values()
            .SetOrAddValue(GlobalName("same"), Variant(1.0));
    Bytes bytes = storage_test::Save(tree);
    std::string all(bytes.begin(), bytes.end());
    size_t first = all.find("same");
    ASSERT_NE(first, std::string::npos);
    EXPECT_EQ(all.find("same", first + 1), std::string::npos);
    uint32_t counter = 0;
    std::memcpy(&counter, bytes.data() + 2, 4);
    EXPECT_EQ(counter, 1u /* root key */ + 2 * 2 /* value name, sort key per item */);
}

TEST(StorageStream, EveryStoredFormRoundTrips) {
    CTreeRef tree = storage_test::RichTree();
    Bytes first = storage_test::Save(tree);
    CTreeRef back;
    ASSERT_EQ(storage_test::Load(first, back), VE_OK);
    // Keys are numbered in writing order, so equal trees give equal bytes.
    EXPECT_EQ(storage_test::Save(back), first);
    storage_test::ExpectRichTree(back);
}

TEST(StorageStream, OneItemWithAndWithoutDescendants) {
    CTreeRef tree = storage_test::RichTree();
    CTreeRef one{CTreeRef::kItem, tree.item->ChildNode()->GetAt(0)};
    CTreeRef back;
    ASSERT_EQ(storage_test::Load(storage_test::Save(one, true), back), VE_OK);
    EXPECT_EQ(back.kind, CTreeRef::kItem);
    EXPECT_GT(back.item->ChildCount(), 0);
    ASSERT_EQ(storage_test::Load(storage_test::Save(one, false), back), VE_OK);
    EXPECT_EQ(back.item->ChildNode(), nullptr);
    EXPECT_EQ(back.item->Text(), "Parent");
}

TEST(StorageStream, TruncatedStreamsFailAndLeaveTheTargetAlone) {
    Bytes full = storage_test::Save(storage_test::RichTree());
    for (size_t len = 0; len < full.size(); ++len) {
        CTreeRef target = storage_test::NewTree();
        storage_test::AddChild(target, "keep");
        Bytes cut(full.begin(), full.begin() + static_cast<std::ptrdiff_t>(len));
        EXPECT_NE(storage_test::Load(cut, target), VE_OK) << "length " << len;
        ASSERT_EQ(target.item->ChildCount(), 1);
        EXPECT_EQ(target.item->ChildNode()->GetAt(0)->Text(), "keep");
    }
}

TEST(StorageStream, FlippedBytesNeverCrash) {
    Bytes full = storage_test::Save(storage_test::RichTree());
    for (size_t i = 0; i < full.size(); ++i) {
        for (uint8_t mask : {0xFF, 0x01, 0x80}) {
            Bytes bad = full;
            bad[i] ^= mask;
            CTreeRef target = storage_test::NewTree();
            VResult r = storage_test::Load(bad, target);
            if (r != VE_OK) {
                EXPECT_EQ(target.item->ChildCount(), 0) << "byte " << i;
            }
        }
    }
}

TEST(StorageStream, DamagedHeadersAndRecords) {
    struct Case {
        const char* what;
        Bytes bytes;
        VResult expected;
    };
    Bytes empty = storage_test::Save(storage_test::NewTree());
    auto patched = [&](size_t at, std::initializer_list<uint8_t> with) {
        Bytes b = empty;
        std::copy(with.begin(), with.end(), b.begin() + static_cast<std::ptrdiff_t>(at));
        return b;
    };
    const Case cases[] = {
        {"unknown signature", patched(0, {'X', 'Y'}), VE_BAD_FILE_FORMAT},
        {"counter of 2,000,000", patched(2, {0x80, 0x84, 0x1E, 0x00}), VE_BAD_FILE_FORMAT},
        {"counter used up", patched(2, {0, 0, 0, 0}), VE_BAD_FILE_FORMAT},
        {"unknown tag", patched(12, {'X', 'X'}), VE_BAD_FILE_FORMAT},
        {"name without its zero", patched(23 + 15, {'!'}), VE_BAD_FILE_FORMAT},
        {"name with a zero inside", patched(23 + 3, {0}), VE_BAD_FILE_FORMAT},
        {"name longer than the stream", patched(19, {0xFF, 0xFF, 0xFF, 0x7F}), VE_FILE_INPUT},
        {"negative child count", patched(43, {0xFF, 0xFF, 0xFF, 0xFF}), VE_BAD_FILE_FORMAT},
        {"child count beyond the bytes", patched(43, {0xFF, 0xFF, 0xFF, 0x0F}), VE_BAD_FILE_FORMAT},
    };
    for (const Case& c : cases) {
        CTreeRef target;
        EXPECT_EQ(storage_test::Load(c.bytes, target), c.expected) << c.what;
        EXPECT_EQ(target.kind, CTreeRef::kNone) << c.what;
    }
}

TEST(StorageStream, ReferencesMustNameAFilledEntryOfTheirKind) {
    Bytes item_head =
        cat({header(4),
             {'T', 'R', 0, 1, 0, 0, 0},
             obsolete_name_string(),
             {0, 0, 0, 0, 1, 0, 0, 0, 1, 0, 0, 0, 'A', 0, 0, 0, 0, 5, 0, /* values */ 1, 0, 0, 0}});
    // An object value whose key is the name introduced above.
    Bytes wrong_kind = cat({item_head, {1, 0, 0, 0, 9, 0, 1, 1, 0, 0, 0, 0, 0, 1, 0, 0, 0, 0, 0, 0, 0}});
    // A name whose new key is followed by no text.
    Bytes no_text = cat({item_head, {7, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}});
    // An object of a class the control does not make.
    Bytes foreign = cat({item_head, {1, 0, 0, 0, 9, 0, 1, 5, 0, 0, 0}, Bytes(16, 0x42), Bytes(8, 0)});
    for (const Bytes& b : {wrong_kind, no_text, foreign}) {
        CTreeRef target;
        EXPECT_EQ(storage_test::Load(b, target), VE_BAD_FILE_FORMAT);
    }
}

TEST(StorageStream, OddByteCountsByHand) {
    // A byte-length string of 3 bytes stored as an ordinary text value, in
    // an item whose text has 3 bytes: every byte is written and read back.
    CTreeRef tree = storage_test::NewTree();
    CItem* a = storage_test::AddChild(tree, "abc");
    VARIANT v{};
    v.vt = plat::VT_BSTR;
    v.bstrVal = plat::SysAllocStringByteLen("xyz", 3);
    a->GetItemData()->Values().SetOrAddValue(names::ObsoleteValue(), Variant::adopt(v));
    // clang-format off
    Bytes expected = cat({header(3),
                          {'T', 'R', 0, 1, 0, 0, 0},
                          obsolete_name_string(),
                          {0, 0, 0, 0, /* sort method */
                           1, 0, 0, 0, /* count */
                           3, 0, 0, 0, 'a', 'b', 'c', /* text */
                           0, 0, 0, 0, /* mark, hidden, flags */
                           5, 0, /* content: values */
                           1, 0, 0, 0, /* one value */
                           1, 0, 0, 0, /* its name: the known key */
                           8, 0, 3, 0, 0, 0, 'x', 'y', 'z', /* text value of 3 bytes */
                           0, /* no nested list */
                           0, /* no grid */
                           1, 0, 0, 0, /* sort key */
                           0, 0, 0, 0 /* item word */}});
    // clang-format on
    EXPECT_EQ(storage_test::Save(tree), expected);

    CTreeRef back;
    ASSERT_EQ(storage_test::Load(expected, back), VE_OK);
    const Variant* value = back.item->ChildNode()->GetAt(0)->ItemData()->FindNamedValue(names::ObsoleteValue());
    ASSERT_TRUE(value);
    EXPECT_EQ(value->vt, plat::VT_BSTR);
    EXPECT_EQ(plat::bstr_bytes(value->bstrVal), "xyz");
    EXPECT_EQ(storage_test::Save(back), expected);
}

TEST(StorageStream, OldHeaderReadsWithVersionZero) {
    // "DH": no virtual flag, uint16 child count, old-form strings, no grid or
    // sort key. One item "A" with a child "B".
    Bytes dh = {
        'D', 'H', 'T',           'R', 1,   0,             /* count */
        2,   0,   'A',           0,   0,   0, 0, 0, 3, 0, /* text, mark, hidden, flags, content: node */
        1,   0,   /* count */ 2, 0,   'B', 0, 0, 0, 0, 0, 1, 0};
    CTreeRef back;
    ASSERT_EQ(storage_test::Load(dh, back), VE_OK);
    ASSERT_EQ(back.item->ChildCount(), 1);
    CItem* a = back.item->ChildNode()->GetAt(0);
    EXPECT_EQ(a->Text(), "A");
    ASSERT_EQ(a->ChildCount(), 1);
    EXPECT_EQ(a->ChildNode()->GetAt(0)->Text(), "B");
}

TEST(StorageStream, WriterStopsShortOfTheReferenceLimit) {
    CVincaMemStream mem;
    CTreeStream ts(mem, CTreeStream::MODE_WRITE);
    ASSERT_TRUE(ts.Open());
    const CVincaName* name = names::ObsoleteValue();
    for (uint32_t i = 0; i + 1 < CTreeStream::kMaxReferences; ++i)
        ASSERT_NE(ts.WriteReference(name), CTreeStream::REF_REFUSED) << i;
    EXPECT_EQ(ts.WriteReference(name), CTreeStream::REF_REFUSED);
    EXPECT_EQ(mem.Error(), VE_FILE_OUTPUT);
}

TEST(StorageStream, MemoryStoresAndGlobalBlocks) {
    CVincaMemStream mem;
    {
        CTreeStream ts(mem, CTreeStream::MODE_WRITE);
        ASSERT_TRUE(ts.Open());
        WriteTreeRef(ts, storage_test::NewTree(), true);
        uint32_t before = mem.Store().Length();
        ts.Close(); // the back-patch does not lengthen the data
        EXPECT_EQ(mem.Store().Length(), before);
    }
    CVincaByteArray empty;
    EXPECT_FALSE(DetachToGlobal(empty, false));
    auto block = DetachToGlobal(mem.Store(), true);
    ASSERT_TRUE(block);
    EXPECT_EQ(block->size(), mem.Store().Length() + 4);
    CVincaByteArray back;
    ASSERT_TRUE(AttachFromGlobal(back, *block, true));
    EXPECT_EQ(back.ToVector(), mem.Store().ToVector());

    CVincaByteArray four;
    const uint8_t only_prefix[] = {4, 0, 0, 0};
    ASSERT_TRUE(AttachFromGlobal(four, only_prefix, true));
    EXPECT_EQ(four.Length(), 0u);
    const uint8_t lying_prefix[] = {200, 0, 0, 0, 1};
    EXPECT_FALSE(AttachFromGlobal(four, lying_prefix, true));
}

TEST(StorageStream, StreamFormsAgreeOnSmallReadsWritesAndSeeks) {
    kltest::TempDir dir;
    CVincaByteArray shared(8); // blocks smaller than the values written
    auto script = [](CVincaStream& s) {
        s.WriteU32(0x11223344);
        s.WriteU8(0x55);
        s.WriteU16(0x6677);
        const char text[] = "a block across several stores"; // 30 bytes with the zero
        s.WriteBlock(text, sizeof text);
        uint32_t end = s.Position();
        s.Seek(2, FROM_START);
        s.WriteU16(0xBEEF); // a back-patch: no longer data
        s.Seek(static_cast<int32_t>(end), FROM_START);
        s.WriteF64(2.5);
    };
    Bytes expected = {0x44, 0x33, 0xEF, 0xBE, 0x55, 0x77, 0x66};
    for (char c : std::string_view("a block across several stores", 30))
        expected.push_back(static_cast<uint8_t>(c));
    double d = 2.5;
    expected.insert(expected.end(), reinterpret_cast<uint8_t*>(&d), reinterpret_cast<uint8_t*>(&d) + 8);

    std::string path = (dir.path() / "bytes").string();
    {
        CVincaFileStream file(path, CVincaFileStream::CREATE_ALWAYS);
        script(file);
        EXPECT_EQ(file.Position(), expected.size());
    }
    std::string onDisk = kltest::read_file(path);
    EXPECT_EQ(Bytes(onDisk.begin(), onDisk.end()), expected);
    {
        CVincaMemStream mem(shared);
        script(mem);
        EXPECT_EQ(mem.Pos(), expected.size());
    } // the shared store learns the length of what went in place
    EXPECT_EQ(shared.ToVector(), expected);

    // Reading back through each form; a kept error stops the reads that
    // follow although the bytes are there.
    CVincaFileStream file(path, CVincaFileStream::OPEN_EXISTING);
    CVincaMemStream mem(shared);
    CVincaSpanStream span(expected);
    for (CVincaStream* s : std::initializer_list<CVincaStream*>{&file, &mem, &span}) {
        uint32_t a = 0;
        uint16_t b = 0;
        uint8_t c = 0;
        EXPECT_TRUE(s->ReadU32(a) && s->ReadU8(c) && s->ReadU16(b));
        EXPECT_EQ(a, 0xBEEF3344u);
        EXPECT_EQ(c, 0x55);
        EXPECT_EQ(b, 0x6677);
        std::string text;
        EXPECT_EQ(s->ReadBytes(text, 30), VE_OK);
        EXPECT_EQ(text, std::string("a block across several stores", 30));
        EXPECT_EQ(s->Remaining(), 8u);
        s->SetError(VE_BAD_FILE_FORMAT);
        double back = 1;
        EXPECT_FALSE(s->ReadF64(back));
        EXPECT_EQ(back, 0.0);
        EXPECT_NE(s->ReadBytes(text, 0), VE_OK);
        EXPECT_EQ(s->Error(), VE_BAD_FILE_FORMAT);
    }
}

TEST(StorageStream, ValueTypesOnTheirOwn) {
    struct Case {
        Variant value;
        plat::VARTYPE back;
    };
    const Case cases[] = {
        {Variant::ansi("a\xC3\xA9"), VT_ANSI_TEXT},
        {Variant("wide"), plat::VT_BSTR},
        {Variant::null(), plat::VT_NULL},
        {Variant::error(0x800A0001), plat::VT_ERROR},
        {Variant::currency(-123456789012), plat::VT_CY},
        {Variant::byte(200), plat::VT_UI1},
        {Variant::missing(), plat::VT_ERROR},
    };
    for (const Case& c : cases) {
        CVincaMemStream mem;
        CTreeStream w(mem, CTreeStream::MODE_WRITE);
        ASSERT_TRUE(w.Open());
        w.WriteValue(c.value);
        w.Close();
        mem.Seek(0, FROM_START);
        CTreeStream r(mem, CTreeStream::MODE_READ);
        ASSERT_TRUE(r.Open());
        Variant out;
        ASSERT_TRUE(r.ReadValue(out));
        EXPECT_EQ(out.vt, c.back);
        EXPECT_EQ(ValueCompare(out, c.value, 0), 0);
    }
    // An array is stored as its type word alone and reads back empty.
    CVincaMemStream mem;
    CTreeStream w(mem, CTreeStream::MODE_WRITE);
    ASSERT_TRUE(w.Open());
    VARIANT array{};
    array.vt = plat::VT_ARRAY | plat::VT_I4;
    w.WriteValue(array);
    w.Close();
    EXPECT_EQ(mem.Store().Length(), 14u);
    mem.Seek(0, FROM_START);
    CTreeStream r(mem, CTreeStream::MODE_READ);
    ASSERT_TRUE(r.Open());
    Variant out(int32_t(1));
    ASSERT_TRUE(r.ReadValue(out));
    EXPECT_EQ(out.vt, plat::VT_EMPTY);
}

TEST(StorageStream, FileFormKeepsTheHandleInStep) {
    kltest::TempDir dir;
    std::string path = (dir.path() / "tree.kld").string();
    Bytes expected = storage_test::Save(storage_test::RichTree());
    {
        CVincaFileStream file(path, CVincaFileStream::CREATE_ALWAYS);
        CTreeStream ts(file, CTreeStream::MODE_WRITE);
        ASSERT_TRUE(ts.Open());
        WriteTreeRef(ts, storage_test::RichTree(), true);
        ts.Close();
        EXPECT_EQ(file.Error(), VE_OK);
    }
    std::string written = kltest::read_file(path);
    EXPECT_EQ(Bytes(written.begin(), written.end()), expected);

    // A borrowed handle is left just after what the stream consumed.
    int fd = ::open(path.c_str(), O_RDONLY);
    ASSERT_GE(fd, 0);
    {
        CVincaFileStream file(fd);
        uint16_t sig = 0;
        ASSERT_TRUE(file.ReadU16(sig));
        EXPECT_EQ(file.Remaining(), expected.size() - 2);
    }
    EXPECT_EQ(::lseek(fd, 0, SEEK_CUR), 2);
    ::close(fd);

    CVincaFileStream missing((dir.path() / "none").string(), CVincaFileStream::OPEN_EXISTING);
    EXPECT_EQ(missing.Error(), VE_FILE_IO);
    CVincaFileStream again(path, CVincaFileStream::OPEN_EXISTING);
    CTreeStream ts(again, CTreeStream::MODE_READ);
    CTreeRef back;
    ASSERT_TRUE(ts.Open());
    ASSERT_TRUE(ReadTreeRef(ts, back));
    storage_test::ExpectRichTree(back);
    uint8_t extra = 0;
    EXPECT_FALSE(again.ReadU8(extra)) << "reading past the end is an error";
    EXPECT_EQ(again.Error(), VE_FILE_INPUT);
}

TEST(StorageStream, EveryAcceptedVersionReadsBack) {
    auto u16 = [](Bytes& b, uint16_t v) { b.insert(b.end(), {uint8_t(v), uint8_t(v >> 8)}); };
    auto u32 = [](Bytes& b, uint32_t v) {
        b.insert(b.end(), {uint8_t(v), uint8_t(v >> 8), uint8_t(v >> 16), uint8_t(v >> 24)});
    };
    for (uint16_t v : {0, 3, 4, 5, 6, 7, 8, 9, 11, 12, 13, 14, 15, 16}) {
        // A whole tree of one item "A", laid out as version v stored it.
        Bytes b = {'D', 'U'};
        u32(b, v >= 14 ? 2 : 0);
        u16(b, v);
        b.insert(b.end(), {5, 0, 19, 0, 'T', 'R'});
        if (v >= 7) b.push_back(0); // not virtual
        if (v >= 14) {
            u32(b, 1); // the root's sort key, new
            Bytes name = obsolete_name_string();
            b.insert(b.end(), name.begin(), name.end());
            u32(b, 0); // sort method
        }
        if (v >= 6)
            u32(b, 1);
        else
            u16(b, 1);
        if (v >= 9) {
            u32(b, 1);
            b.push_back('A');
        } else {
            u16(b, 2);
            b.insert(b.end(), {'A', 0});
        }
        b.insert(b.end(), {3, 0, 0x04, 0x01, 1, 0}); // mark 3, hidden 0, flags 0x104, content
        if (v >= 4) b.push_back(0);                  // no grid
        if (v >= 14) u32(b, 1);                      // the item's sort key: the known name
        if (v >= 16) u32(b, 0);
        CTreeRef back;
        ASSERT_EQ(storage_test::Load(b, back), VE_OK) << "version " << v;
        ASSERT_EQ(back.item->ChildCount(), 1) << "version " << v;
        CItem* a = back.item->ChildNode()->GetAt(0);
        EXPECT_EQ(a->Text(), "A") << "version " << v;
        EXPECT_EQ(a->Mark(), 3) << "version " << v;
        EXPECT_EQ(a->Flags() & 0xFF3C, 0x104) << "version " << v;
    }
}

TEST(StorageGrid, NewGridDefaultsAndVisibleColumns) {
    CTreeGrid::SetPixelsPerInch(96);
    Ref<CTreeGrid> grid = CTreeGrid::New(CTreeGrid::TREE_GRID);
    EXPECT_EQ(grid->RowTitleWidthPixels(), 25);
    EXPECT_EQ(grid->ColTitleHeightPixels(), -1);
    EXPECT_EQ(grid->RowHeightTwips(), -1.0f);
    EXPECT_EQ(grid->GridLinesColor(), 0x808080);
    EXPECT_EQ(grid->GridCellDef()->GetInt(GlobalName("__BackColor")), 0x2C0C0C0);
    EXPECT_EQ(grid->RowTitleCellDef()->GetInt(GlobalName("__TextAlign")), 5);

    grid->SetColumnCount(6);
    EXPECT_EQ(grid->Column(0)->Width(), 25);
    EXPECT_EQ(grid->Column(1)->Key(), names::Tree());
    EXPECT_EQ(grid->Column(1)->Width(), 200);
    EXPECT_EQ(grid->Column(5)->Key(), GlobalName("T5"));
    EXPECT_EQ(grid->Column(5)->Width(), 80);
    grid->Column(3)->SetWidth(0);
    EXPECT_EQ(grid->VisibleColumnCount(), 4) << "columns 1 to 5 but the one of width 0";
    EXPECT_EQ(grid->ColumnAtVisible(2), 4);
    EXPECT_EQ(grid->VisiblePosition(3), -1);

    Ref<CTreeGrid> item_grid = CTreeGrid::New(CTreeGrid::ITEM_GRID);
    item_grid->SetColumnCount(3);
    EXPECT_EQ(item_grid->Column(1)->Key(), names::ItemTreeColumn());
    EXPECT_EQ(item_grid->Column(2)->Key(), GlobalName("I2"));
    EXPECT_EQ(item_grid->VisibleColumnCount(), 3) << "an item grid counts its row-title column";

    Ref<CTreeGrid> copy = grid->Clone();
    ASSERT_TRUE(copy);
    EXPECT_EQ(copy->ColumnCount(), 6);
    EXPECT_EQ(copy->Column(3)->Width(), 0);

    Variant out;
    EXPECT_TRUE(grid->Lookup(GlobalName("__IsHorGridLinesVisible"), out));
    EXPECT_FALSE(grid->Lookup(names::ItemHeight(), out)) << "automatic row height is not answered";
}

TEST(StorageGrid, RowsAreTheOwnersChildren) {
    CVincaEngine engine;
    CItem* owner = nullptr;
    ASSERT_EQ(engine.AddItem("Owner", &owner), VE_OK);
    Ref<CTreeGrid> grid = CTreeGrid::New(CTreeGrid::ITEM_GRID);
    owner->SetGrid(grid.get());
    grid->SetOwnerItem(owner);
    int16_t method = engine.CurrentIndexMethod();
    ASSERT_TRUE(grid->AppendRow(engine, "r1"));
    ASSERT_TRUE(grid->AppendRow(engine, "r2"));
    EXPECT_EQ(engine.CurrentIndexMethod(), method) << "the index method is restored";
    EXPECT_EQ(grid->RowCount(), 2);
    EXPECT_EQ(grid->RowItem(2)->Text(), "r2");
    EXPECT_EQ(grid->RowToItemIndex(engine, 0), engine.ItemIndex(owner));
    EXPECT_EQ(grid->RowToItemIndex(engine, 3), -1);
    EXPECT_EQ(grid->ItemIndexToRow(engine, grid->RowToItemIndex(engine, 2)), 2);
    ASSERT_EQ(grid->RemoveRow(engine, 1), VE_OK);
    EXPECT_EQ(grid->RowItem(1)->Text(), "r2");
    EXPECT_EQ(grid->RemoveRow(engine, 5), VE_BAD_INDEX);

    Variant name_value("Size");
    EXPECT_EQ(ValueToName(name_value), GlobalName("size"));
    EXPECT_EQ(ValueToName(Variant("")), nullptr);
    EXPECT_EQ(ValueToName(Variant(int32_t(3))), nullptr);
}

TEST(StorageStream, OneByteFormTurnsAnItemWithChildrenIntoTheTree) {
    CTreeRef tree = storage_test::RichTree();
    CVincaMemStream mem;
    {
        CTreeStream ts(mem, CTreeStream::MODE_WRITE);
        ASSERT_TRUE(ts.Open());
        CTreeRef as_item{CTreeRef::kItem, tree.item};
        WriteTreeRef(ts, as_item, true, TagForm::OneByte);
        ts.Close();
    }
    mem.Seek(0, FROM_START);
    CTreeStream ts(mem, CTreeStream::MODE_READ);
    CTreeRef back;
    ASSERT_TRUE(ts.Open());
    ASSERT_TRUE(ReadTreeRef(ts, back, TagForm::OneByte));
    storage_test::ExpectRichTree(back);

    // "DE": four bytes skipped after the signature, then version 0.
    Bytes de = {'D', 'E', 9, 9, 9, 9, 'T', 'R', 0, 0};
    CTreeRef empty;
    ASSERT_EQ(storage_test::Load(de, empty), VE_OK);
    EXPECT_EQ(empty.kind, CTreeRef::kTree);
    EXPECT_EQ(empty.item->ChildCount(), 0);
}

TEST(StorageStream, FuzzSeedsAreWholeStreams) {
    // The fuzz target's seeds must stay valid streams of this reader, or
    // fuzzing starts from bytes it refuses at once.
    namespace fs = std::filesystem;
    int seen = 0;
    for (const auto& entry : fs::directory_iterator(fs::path(KL_TEST_DATA_DIR) / "fuzz/fuzz_vinca_tree_stream")) {
        std::string name = entry.path().filename().string();
        std::string all = kltest::read_file(entry.path());
        Bytes bytes(all.begin(), all.end());
        bool oneByte = name.rfind("one_byte", 0) == 0 || name.rfind("persisted", 0) == 0;
        CVincaSpanStream span(bytes);
        CTreeStream ts(span, CTreeStream::MODE_READ);
        CTreeRef out;
        ASSERT_TRUE(ts.Open()) << name;
        EXPECT_TRUE(ReadTreeRef(ts, out, oneByte ? TagForm::OneByte : TagForm::TwoByte)) << name;
        EXPECT_EQ(span.Error(), VE_OK) << name;
        ++seen;
    }
    EXPECT_GE(seen, 8);
}
