// Persisted properties, the tree sub-object, the data file and the
// bridges between byte streams and component streams.
#include <gtest/gtest.h>

#include <map>

#include "platform/com/prop_exchange.h"
#include "platform/com/stream.h"
#include "storage_fixtures.h"
#include "support/temp_dir.h"
#include "vinca/model/data_file.h"
#include "vinca/model/host_file.h"
#include "vinca/model/names.h"
#include "vinca/model/persist.h"
#include "vinca/model/stream_ole.h"
#include "vinca/model/values.h"

using namespace vinca;
using namespace plat;

namespace {

// A control's persisted members by name.
class FakeControl : public IPersistTarget {
  public:
    std::map<std::string, Variant, std::less<>> values;
    Ref<CAttrSet> cellDef = CAttrSet::New();

    Variant Get(const PersistedProperty& p) override {
        auto it = values.find(p.name);
        return it == values.end() ? Variant() : it->second;
    }
    void Apply(const PersistedProperty& p, const Variant& value) override {
        values[std::string(p.name)] = value;
    }
    CAttrSet* DefaultItemCellDef() override { return cellDef.get(); }

    // A value for every entry, different from every default.
    void FillAll() {
        auto pic = NewPicture(PICTYPE_BITMAP, storage_test::BitmapBytes());
        for (const PersistedProperty& p : PersistedProperties()) {
            Variant v;
            switch (p.kind) {
            case PropKind::Boolean:
                v = Variant::boolean(true);
                break;
            case PropKind::Short:
                v = Variant(int16_t(p.name.size()));
                break;
            case PropKind::Float:
                v = Variant(2.5f);
                break;
            case PropKind::String:
                v = Variant(std::string(p.name) + " text");
                break;
            case PropKind::Picture:
                ValueSetPicture(v, pic.get());
                break;
            case PropKind::Blob:
                continue;
            case PropKind::SubObject: {
                auto obj = make_object<CTreeSerializeObject>(false);
                obj->root = storage_test::RichTree().item;
                obj->slots = CPictureSlots::New();
                obj->slots->Slot(3).picture = pic;
                obj->slots->Slot(3).text = "three";
                obj->grid = CTreeGrid::New(CTreeGrid::TREE_GRID);
                obj->levels = CLevelDefs::New();
                obj->levels->Levels().push_back(nullptr);
                auto level = std::make_unique<CLevelDef>();
                level->pictures = CAttrSet::New();
                Variant pv;
                ValueSetPicture(pv, pic.get());
                level->pictures->SetOrAddValue(GlobalName("open"), pv);
                level->level = 1;
                obj->levels->Levels().push_back(std::move(level));
                v = Variant(static_cast<IDispatch*>(obj.get()));
                break;
            }
            default:
                v = Variant(int32_t(0x100 + p.name.size()));
                break;
            }
            values[std::string(p.name)] = v;
        }
        values["_InternalVersion"] = Variant(int32_t(kInternalVersion));
        cellDef->SetOrAddValue(GlobalName("__BackColor"), Variant(int32_t(0x123456)));
    }
};

CTreeSerializeObject* tree_object(const Variant& v) {
    return v.vt == VT_DISPATCH ? static_cast<CTreeSerializeObject*>(v.pdispVal) : nullptr;
}

} // namespace

TEST(StoragePersist, AllEntriesRoundTripThroughABag) {
    FakeControl saved;
    saved.FillAll();
    auto bag = PropertyBag::create();
    BagExchange out(bag.get(), false);
    ExchangeProperties(out, saved);
    ASSERT_EQ(out.status(), S_OK);

    FakeControl loaded;
    BagExchange in(bag.get(), true);
    ExchangeProperties(in, loaded);
    ASSERT_EQ(in.status(), S_OK);
    for (const PersistedProperty& p : PersistedProperties()) {
        if (p.kind == PropKind::Blob || p.kind == PropKind::SubObject || p.name == "_InternalVersion")
            continue;
        ASSERT_TRUE(loaded.values.count(p.name)) << p.name;
        if (p.kind == PropKind::Picture)
            EXPECT_TRUE(ValuePicture(loaded.values[std::string(p.name)])) << p.name;
        else
            EXPECT_EQ(ValueCompare(loaded.values[std::string(p.name)], saved.values[std::string(p.name)], 0),
                      0)
                << p.name;
    }
    EXPECT_EQ(loaded.cellDef->GetInt(GlobalName("__BackColor")), 0x123456);
    CTreeSerializeObject* obj = tree_object(loaded.values["TreeData"]);
    ASSERT_NE(obj, nullptr);
    EXPECT_TRUE(obj->Standalone());
    storage_test::ExpectRichTree(CTreeRef{CTreeRef::kTree, obj->root});
    EXPECT_EQ(obj->slots->Slot(3).text.value_or(""), "three");
    ASSERT_EQ(obj->levels->Levels().size(), 2u);
    EXPECT_EQ(obj->levels->Levels()[0], nullptr);
    ASSERT_NE(obj->levels->Levels()[1], nullptr);
    EXPECT_EQ(obj->levels->Levels()[1]->level, 1);
    // The slot's picture and the level's picture are one object, stored once.
    EXPECT_EQ(ValuePicture(*obj->levels->Levels()[1]->pictures->FindValue(GlobalName("open"))).get(),
              static_cast<IUnknown*>(obj->slots->Slot(3).picture.get()));
    EXPECT_FALSE(obj->pictures.empty());
}

TEST(StoragePersist, TreeDataOnlyWhileAvailable) {
    FakeControl saved;
    saved.FillAll();
    saved.values["IsTreeDataAvailable"] = Variant::boolean(false);
    auto bag = PropertyBag::create();
    BagExchange out(bag.get(), false);
    ExchangeProperties(out, saved);
    EXPECT_EQ(bag->find("TreeData"), nullptr);
    EXPECT_NE(bag->find("IsTreeDataAvailable"), nullptr);
}

TEST(StoragePersist, OlderVersionsStopEarlyAndReadTheirOwnForms) {
    FakeControl saved;
    saved.FillAll();
    auto bag = PropertyBag::create();
    BagExchange out(bag.get(), false);
    ExchangeProperties(out, saved);

    auto reload = [&](uint32_t version, int32_t internal) {
        Variant v = Variant(static_cast<int32_t>(version));
        bag->Write(u"_Version", &v);
        Variant iv(internal);
        bag->Write(u"_InternalVersion", &iv);
        FakeControl c;
        c.values["TreeLinesColor"] = Variant(int32_t(77));
        BagExchange in(bag.get(), true);
        ExchangeProperties(in, c);
        return c;
    };
    FakeControl v5 = reload(0x50000, int32_t(kInternalVersion));
    EXPECT_TRUE(v5.values.count("WidthOfTextMin"));
    EXPECT_EQ(ValueToInt(v5.values["TreeLinesColor"]), 77) << "entries from 54 on keep their values";
    EXPECT_FALSE(v5.values.count("DrawFocusRect"));

    // Internal version 0x70000 stored the column delimiter as a string.
    Variant tab(std::string_view("\t"));
    bag->Write(u"ColDelimiter", &tab);
    FakeControl v70000 = reload(kPropVersion, 0x70000);
    EXPECT_EQ(ValueToInt(v70000.values["ColDelimiter"]), 9);
    EXPECT_FALSE(v70000.values.count("PicturePalette"));
}

TEST(StoragePersist, SubObjectStreamKindZeroFails) {
    auto stream = create_memory_stream();
    CVincaOleStream bytes(stream.get());
    {
        CTreeStream ts(bytes, CTreeStream::MODE_WRITE);
        ts.Open();
        bytes.WriteU8(0);
        ts.Close();
    }
    stream->Seek(0, STREAM_SEEK_SET, nullptr);
    auto obj = make_object<CTreeSerializeObject>();
    EXPECT_EQ(obj->Load(stream.get()), E_FAIL);
    EXPECT_FALSE(obj->root);

    // A version-3 stream is refused with the initialisation error.
    const uint8_t v3[] = {'D', 'U', 0, 0, 0, 0, 3, 0, 5, 0, 19, 0, 2};
    auto old = create_memory_stream(std::vector<uint8_t>(std::begin(v3), std::end(v3)));
    EXPECT_EQ(obj->Load(old.get()), E_FAIL);
    EXPECT_EQ(obj->lastError, VE_FILE_INIT);
}

TEST(StoragePersist, CellDefinitionBlob) {
    Ref<CAttrSet> set = CAttrSet::New();
    set->SetOrAddValue(GlobalName("__BorderStyle"), Variant(int32_t(4)));
    auto blob = SaveAttrSetBlob(*set);
    ASSERT_TRUE(blob);
    Ref<CAttrSet> back = CAttrSet::New();
    ASSERT_EQ(LoadAttrSetBlob(*blob, *back), VE_OK);
    EXPECT_EQ(back->GetInt(GlobalName("__BorderStyle")), 4);
    std::vector<uint8_t> cut(blob->begin(), blob->end() - 1);
    cut[0] = static_cast<uint8_t>(cut.size());
    EXPECT_NE(LoadAttrSetBlob(cut, *back), VE_OK);
    EXPECT_EQ(back->GetInt(GlobalName("__BorderStyle")), 4);
}

TEST(StorageDataFile, SaveLoadAndOlderClassIds) {
    kltest::TempDir dir;
    auto path = dir.path() / "control.dat";
    FakeControl saved;
    saved.FillAll();
    ASSERT_EQ(SaveDataFile(path, saved), 0);

    FakeControl loaded;
    ASSERT_EQ(LoadDataFile(path, loaded), 0);
    EXPECT_EQ(ValueToText(loaded.values["Caption"]), "Caption text");
    storage_test::ExpectRichTree(CTreeRef{CTreeRef::kTree, tree_object(loaded.values["TreeData"])->root});

    // The tree inside is found by a load of the file as a tree stream.
    std::string bytes = kltest::read_file(path);
    CVincaSpanStream span(std::span(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size()));
    CTreeStream ts(span, CTreeStream::MODE_READ);
    CTreeRef tree;
    ASSERT_EQ(ReadTreePayload(ts, tree), VE_OK);
    storage_test::ExpectRichTree(tree);

    // The earlier control's class id loads like the current one; the file is
    // left as it was.
    std::string old = bytes;
    std::memcpy(old.data(), &CLSID_OldVincaControl, 16);
    auto old_path = dir.path() / "old.dat";
    kltest::write_file(old_path, old);
    FakeControl from_old;
    EXPECT_EQ(LoadDataFile(old_path, from_old), 0);
    EXPECT_EQ(kltest::read_file(old_path), old);

    for (std::string content : {std::string(), std::string(10, 'x'), std::string("DU\0\0\0\0\x10\0", 8)}) {
        kltest::write_file(old_path, content);
        FakeControl c;
        EXPECT_EQ(LoadDataFile(old_path, c), 4);
    }
    FakeControl none;
    EXPECT_EQ(LoadDataFile(dir.path() / "missing.dat", none), 1);
}

TEST(StorageDataFile, ReplaceReachesTheLastPossiblePlace) {
    kltest::TempDir dir;
    auto path = dir.path() / "f";
    kltest::write_file(path, "xxABAB");
    CMappedFile f;
    ASSERT_TRUE(f.Open(path));
    f.Replace("AB", "CD", 2);
    EXPECT_EQ(std::string(f.Data().begin(), f.Data().end()), "xxCDCD");
    EXPECT_FALSE(f.Seek(6, 0));
    EXPECT_TRUE(f.Seek(-2, 2));
    EXPECT_FALSE(f.Seek(1, 2));
    EXPECT_EQ(kltest::read_file(path), "xxABAB");
}

TEST(StorageOleBridge, IStreamOverAByteStream) {
    CVincaMemStream mem;
    CVincaIStream bridge(mem);
    const char data[] = "hello";
    uint32_t n = 0;
    ASSERT_EQ(bridge.Write(data, 5, &n), S_OK);
    EXPECT_EQ(n, 5u);
    uint64_t pos = 9;
    EXPECT_EQ(bridge.Seek(int64_t(1) << 32, STREAM_SEEK_SET, &pos), E_NOTIMPL);
    ASSERT_EQ(bridge.Seek(-1, STREAM_SEEK_CUR, &pos), S_OK);
    EXPECT_EQ(pos, 4u);
    char buf[8]{};
    EXPECT_EQ(bridge.Read(buf, 4, &n), E_UNEXPECTED) << "a short read is an error";
    EXPECT_EQ(n, 0u);
    EXPECT_EQ(bridge.AddRef(), 1u);
    EXPECT_EQ(bridge.Release(), 0u);
}

TEST(StorageOleBridge, ByteStreamOverAnIStream) {
    auto stream = create_memory_stream();
    CVincaOleStream bytes(stream.get());
    bytes.WriteU32(0x01020304);
    uint32_t pos = 0;
    ASSERT_EQ(bytes.Seek(-2, FROM_CURRENT, &pos), VE_OK) << "negative seeks step back";
    EXPECT_EQ(pos, 2u);
    uint16_t v = 0;
    ASSERT_TRUE(bytes.ReadU16(v));
    EXPECT_EQ(v, 0x0102);
    EXPECT_FALSE(bytes.ReadU16(v));
    EXPECT_EQ(bytes.Error(), VE_FILE_INPUT);
}
