// Host files, tree buffers, the exported buffer functions and the clipboard.
#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <map>
#include <thread>

#include "platform/com/stream.h"
#include "storage_fixtures.h"
#include "support/temp_dir.h"
#include "vinca/model/buffer.h"
#include "vinca/model/clipboard.h"
#include "vinca/model/engine.h"
#include "vinca/model/host_file.h"
#include "vinca/model/names.h"
#include "vinca/model/persist.h"
#include "vinca/model/picture_slots.h"
#include "vinca/model/search.h"
#include "vinca/model/thread_registry.h"
#include "vinca/model/values.h"

using namespace vinca;
using namespace plat;
using storage_test::Bytes;

extern "C" {
int16_t VincaIsValidBuffer(uint32_t);
int16_t VincaFreeBuffer(uint32_t);
int16_t VincaCopyBuffer(uint32_t);
int16_t VincaPasteBuffer(uint32_t*);
int16_t VincaSaveBuffer(uint32_t, int16_t);
int16_t VincaLoadBuffer(uint32_t*, int16_t);
int16_t VincaIsClipboardFormatAvailable();
}

namespace {

// A container's open binary files by number, in memory.
class FakeHost final : public IHostFiles, public IHostFileAccess {
  public:
    struct File {
        Bytes bytes;
        uint32_t pos{0};
    };
    std::map<int16_t, File> files;

    HRESULT QueryInterface(REFIID iid, void** out) override {
        if (iid == IID_IUnknown || iid == IID_IHostFiles)
            *out = static_cast<IHostFiles*>(this);
        else if (iid == IID_IHostFileAccess)
            *out = static_cast<IHostFileAccess*>(this);
        else
            return *out = nullptr, E_NOINTERFACE;
        return S_OK;
    }
    ULONG AddRef() override { return 2; }
    ULONG Release() override { return 1; }
    HRESULT GetFileAccess(REFIID iid, void** out, uint32_t) override { return QueryInterface(iid, out); }
    HRESULT Read(int16_t n, void* buffer, uint16_t count) override {
        File& f = files[n];
        if (f.pos + count > f.bytes.size()) return E_FAIL;
        std::memcpy(buffer, f.bytes.data() + f.pos, count);
        f.pos += count;
        return S_OK;
    }
    HRESULT Write(int16_t n, const void* buffer, uint16_t count) override {
        File& f = files[n];
        if (f.bytes.size() < f.pos + count) f.bytes.resize(f.pos + count);
        std::memcpy(f.bytes.data() + f.pos, buffer, count);
        f.pos += count;
        return S_OK;
    }
    HRESULT SeekFromStart(int16_t n, int32_t offset, uint32_t* position) override {
        if (offset < 0) return E_FAIL;
        files[n].pos = static_cast<uint32_t>(offset);
        if (position) *position = files[n].pos;
        return S_OK;
    }
    HRESULT SeekFromCurrent(int16_t n, int32_t offset, uint32_t* position) override {
        return SeekFromStart(n, static_cast<int32_t>(files[n].pos) + offset, position);
    }
    IUnknown* Site() { return static_cast<IHostFiles*>(this); }
};

// A control as the thread registry and the buffer functions see it.
class ControlScope : public IControlSite {
  public:
    explicit ControlScope(IUnknown* site) : m_site(site) {
        AttachThreadContext();
        RegisterLiveControl(this);
    }
    ~ControlScope() {
        UnregisterLiveControl(this);
        DetachThreadContext();
    }
    ComPtr<IUnknown> ClientSite() override { return m_site; }

  private:
    IUnknown* m_site;
};

std::string tree_text(CVincaEngine& e) {
    std::string out;
    WriteNodeText(e.RootNode(), out);
    return out;
}

void fill(CVincaEngine& e) {
    CItem* a = nullptr;
    ASSERT_EQ(e.AddItem("A", &a), VE_OK);
    int32_t at = -1;
    a->GetChildNode()->AddNewChild(at, "A1", 0);
    e.AddItem("B");
}

} // namespace

TEST(StorageHostFile, SaveAndLoadTheWholeTree) {
    FakeHost host;
    CVincaEngine source;
    fill(source);
    ASSERT_EQ(SaveToHostFile(source, 1, -1, SaveWhat::Item, host.Site()), VE_OK);
    const Bytes& file = host.files[1].bytes;
    ASSERT_GE(file.size(), 14u);
    EXPECT_EQ(file[0], 'D');
    EXPECT_EQ(file[12], 'T');
    EXPECT_EQ(file[13], 'R');

    CVincaEngine target;
    host.files[1].pos = 0;
    ASSERT_EQ(LoadFromHostFile(target, 1, -1, false, host.Site()), VE_OK);
    EXPECT_EQ(tree_text(target), tree_text(source));
}

TEST(StorageHostFile, LoadedItemsMovedInEndAsCopiesOfThem) {
    // A virtual parent with made children, a grid, nested values, pictures
    // and a font: loading moves the read items in, merging a read tree
    // copies them; both lists must save the same, twice over (the second
    // load goes after items already there).
    FakeHost host;
    host.files[1] = {storage_test::Save(storage_test::RichTree()), 0};
    CVincaEngine moved, copied;
    for (int round = 0; round < 2; ++round) {
        host.files[1].pos = 0;
        ASSERT_EQ(LoadFromHostFile(moved, 1, -1, false, host.Site()), VE_OK);
        CTreeRef read;
        ASSERT_EQ(storage_test::Load(host.files[1].bytes, read), VE_OK);
        ASSERT_EQ(MergeTreeRef(copied, read, -1, false), VE_OK);
    }
    ASSERT_EQ(SaveToHostFile(moved, 2, -1, SaveWhat::Item, host.Site()), VE_OK);
    ASSERT_EQ(SaveToHostFile(copied, 3, -1, SaveWhat::Item, host.Site()), VE_OK);
    EXPECT_EQ(host.files[2].bytes, host.files[3].bytes);
    EXPECT_EQ(tree_text(moved), tree_text(copied));
    CItemNode* virt = moved.RootNode()->GetAt(3)->ChildNode();
    ASSERT_TRUE(virt && virt->IsVirtual());
    EXPECT_EQ(virt->MaterialisedCount(), 0); // made again on demand, as for a copy
    EXPECT_EQ(virt->GetCount(), 100);
    EXPECT_EQ(moved.ListCount(), copied.ListCount());
}

TEST(StorageHostFile, ArbitraryBytesAreRefusedAndTheTreeStays) {
    FakeHost host;
    CVincaEngine target;
    fill(target);
    std::string before = tree_text(target);
    for (Bytes junk : {Bytes{1, 2, 3}, Bytes(40, 'x'), Bytes{}}) {
        host.files[3] = {junk, 0};
        EXPECT_NE(LoadFromHostFile(target, 3, -1, false, host.Site()), VE_OK);
        EXPECT_EQ(tree_text(target), before);
    }
    // A truncated tree stream: an error, nothing merged.
    CVincaEngine source;
    fill(source);
    SaveToHostFile(source, 4, -1, SaveWhat::Item, host.Site());
    for (size_t cut = 0; cut < host.files[4].bytes.size(); cut += 3) {
        host.files[5] = {
            Bytes(host.files[4].bytes.begin(), host.files[4].bytes.begin() + static_cast<long>(cut)), 0};
        EXPECT_NE(LoadFromHostFile(target, 5, -1, false, host.Site()), VE_OK);
        EXPECT_EQ(tree_text(target), before);
    }
}

TEST(StorageHostFile, OneStreamForSeveralSavesWhileOpen) {
    FakeHost host;
    ControlScope control(host.Site());
    CVincaEngine e;
    fill(e);
    ASSERT_EQ(HostFileAction(7, 1, host.Site()), VE_OK);
    EXPECT_EQ(HostFileAction(7, 1, host.Site()), VE_FILE_ALREADY_OPEN);
    ASSERT_EQ(SaveToHostFile(e, 7, -1, SaveWhat::Item, host.Site()), VE_OK);
    ASSERT_EQ(SaveToHostFile(e, 7, 0, SaveWhat::ItemAlone, host.Site()), VE_OK);
    ASSERT_EQ(HostFileAction(7, 2, host.Site()), VE_OK);
    EXPECT_EQ(HostFileAction(7, 2, host.Site()), VE_FILE_NOT_OPEN);
    EXPECT_EQ(HostFileAction(7, 3, host.Site()), VE_INVALID_ARGUMENT);

    const Bytes& file = host.files[7].bytes;
    std::string all(file.begin(), file.end());
    EXPECT_EQ(all.find("DU", 1), std::string::npos) << "one header";
    uint32_t counter = 0;
    std::memcpy(&counter, file.data() + 2, 4);
    EXPECT_GT(counter, 2u) << "the counter covers both payloads";

    // Two loads read the two payloads from one stream.
    host.files[7].pos = 0;
    ASSERT_EQ(HostFileAction(7, 0, host.Site()), VE_OK);
    CVincaEngine target;
    ASSERT_EQ(LoadFromHostFile(target, 7, -1, false, host.Site()), VE_OK);
    ASSERT_EQ(LoadFromHostFile(target, 7, -1, false, host.Site()), VE_OK);
    ASSERT_EQ(HostFileAction(7, 2, host.Site()), VE_OK);
    EXPECT_EQ(target.RootNode()->GetCount(), 3); // A, B and the lone A
}

TEST(StorageHostFile, NoRegistryNoSite) {
    EXPECT_EQ(HostFileAction(1, 0, nullptr), VE_NOT_LOADED);
    CVincaEngine e;
    fill(e);
    EXPECT_EQ(SaveToHostFile(e, 1, -1, SaveWhat::Item, nullptr), VE_FILE_INIT);
}

TEST(StorageHostFile, DataFileWithClassIdCarriesATree) {
    FakeHost host;
    CVincaEngine source;
    fill(source);
    ASSERT_EQ(SaveToHostFile(source, 1, 0, SaveWhat::Children, host.Site()), VE_OK);
    // What a data file holds: the class id, some property bytes, then the
    // persisted tree object's stream (one-byte form: 2, the root's record).
    Bytes data = {0x50, 0x81, 0x99, 0x9D, 0x84, 0xB8, 0xCE, 0x11, 0x8D, 0x47, 0x44, 0x45, 0x53, 0x54, 0, 0};
    data.insert(data.end(), {9, 0, 6, 0, 1, 2, 3});
    CVincaMemStream mem;
    {
        CTreeStream ts(mem, CTreeStream::MODE_WRITE);
        ts.Open();
        mem.WriteU8(2);
        WriteItemRecord(ts, *source.RootNode()->GetAt(0), true);
        ts.Close();
    }
    Bytes stream = mem.Store().ToVector();
    data.insert(data.end(), stream.begin(), stream.end());
    host.files[2] = {data, 0};
    CVincaEngine target;
    ASSERT_EQ(LoadFromHostFile(target, 2, -1, false, host.Site()), VE_OK);
    EXPECT_EQ(tree_text(target), "A1\r\n");
}

TEST(StorageBuffers, ValidOnlyOnTheirThreadAndUntilFreed) {
    BufferHandle h = AddBuffer(new CVincaBuffer(storage_test::NewTree()));
    ASSERT_NE(h, 0u);
    EXPECT_EQ(VincaIsValidBuffer(h), 1);
    std::atomic<int16_t> elsewhere{-1};
    std::thread([&] { elsewhere = VincaIsValidBuffer(h); }).join();
    EXPECT_EQ(elsewhere, 0);
    std::thread([&] { VincaFreeBuffer(h); }).join(); // not this thread's: left alone
    EXPECT_EQ(VincaIsValidBuffer(h), 1);
    VincaFreeBuffer(h);
    EXPECT_EQ(VincaIsValidBuffer(h), 0);
    EXPECT_EQ(VincaIsValidBuffer(0), 0);
    EXPECT_EQ(VincaCopyBuffer(h), VE_INVALID_TREE_BUFFER);
    EXPECT_EQ(VincaSaveBuffer(h, 1), VE_INVALID_TREE_BUFFER);
    EXPECT_EQ(VincaPasteBuffer(nullptr), VE_INVALID_ARGUMENTS);
}

TEST(StorageBuffers, ClipboardAndHostFileRoundTrips) {
    CMemoryClipboard clipboard;
    SetClipboard(&clipboard);
    FakeHost host;
    ControlScope control(host.Site());

    BufferHandle h = AddBuffer(new CVincaBuffer(storage_test::RichTree()));
    ASSERT_EQ(VincaCopyBuffer(h), VE_OK);
    EXPECT_EQ(VincaIsClipboardFormatAvailable(), 1);
    auto text = clipboard.GetData(kTextClipboardFormat);
    ASSERT_TRUE(text);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(text->data())).substr(0, 8), "Parent\r\n");

    uint32_t pasted = 0;
    ASSERT_EQ(VincaPasteBuffer(&pasted), VE_OK);
    storage_test::ExpectRichTree(BufferFromHandle(pasted)->ref);

    ASSERT_EQ(VincaSaveBuffer(pasted, 9), VE_OK);
    host.files[9].pos = 0;
    uint32_t loaded = 0;
    ASSERT_EQ(VincaLoadBuffer(&loaded, 9), VE_OK);
    storage_test::ExpectRichTree(BufferFromHandle(loaded)->ref);

    host.files[10] = {Bytes{'D', 'U', 0}, 0};
    uint32_t bad = 77;
    EXPECT_NE(VincaLoadBuffer(&bad, 10), VE_OK);
    EXPECT_EQ(bad, 0u);

    for (uint32_t b : {h, pasted, loaded})
        VincaFreeBuffer(b);
    clipboard.Empty();
    EXPECT_EQ(VincaPasteBuffer(&pasted), VE_CLIPBOARD_EMPTY);
    SetClipboard(nullptr);
}

TEST(StorageClipboard, ModesOfTheControlsClipboardProperty) {
    CMemoryClipboard clipboard;
    SetClipboard(&clipboard);
    CVincaEngine e;
    fill(e);

    EXPECT_EQ(ClipboardAction(e, 0, 5), VE_INVALID_ARGUMENTS);
    EXPECT_EQ(ClipboardAction(e, 0, 0x8000), VE_INVALID_ARGUMENTS);
    EXPECT_FALSE(clipboard.IsFormatAvailable(kTreeClipboardFormat));
    EXPECT_EQ(ClipboardAction(e, -1, 3), VE_CLIPBOARD_EMPTY);

    ASSERT_EQ(ClipboardAction(e, 0, 1), VE_OK); // "A" alone
    CVincaEngine target;
    ASSERT_EQ(ClipboardAction(target, -1, 3), VE_OK);
    EXPECT_EQ(tree_text(target), "A\r\n");

    ASSERT_EQ(ClipboardAction(e, 0, 2), VE_OK);      // A's children as a tree
    ASSERT_EQ(ClipboardAction(target, 0, 4), VE_OK); // inserted before "A"
    EXPECT_EQ(tree_text(target), "A1\r\nA\r\n");

    ASSERT_EQ(ClipboardAction(e, -1, 0), VE_OK); // the whole tree
    ASSERT_EQ(ClipboardAction(target, -1, 3), VE_OK);
    EXPECT_EQ(tree_text(target), "A1\r\nA\r\nA\r\n\tA1\r\nB\r\n");

    clipboard.SetRefuseOpen(true);
    EXPECT_EQ(ClipboardAction(e, -1, 0), VE_OUT_OF_MEMORY);
    SetClipboard(nullptr);
}

TEST(StorageThreadRegistry, LastControlOfAThreadFreesItsRecord) {
    EXPECT_EQ(GetThreadFileContext(), nullptr);
    {
        ControlScope a(nullptr);
        ControlScope b(nullptr);
        ASSERT_NE(GetThreadFileContext(), nullptr);
        EXPECT_EQ(GetThreadFileContext()->useCount, 2);
        bool other_had_one = true;
        std::thread([&] { other_had_one = GetThreadFileContext() != nullptr; }).join();
        EXPECT_FALSE(other_had_one);
    }
    EXPECT_EQ(GetThreadFileContext(), nullptr);

    CDragStart drag(4);
    drag.Init(10, 10);
    EXPECT_FALSE(drag.IsBeyondThreshold(14, 6));
    EXPECT_TRUE(drag.IsBeyondThreshold(15, 10));
}

namespace {

// Texts whose byte count is odd: byte-length strings a host stored as
// ordinary text values (1 and 3 bytes, one with a zero inside), a
// single-byte text value, and item texts of 3 bytes.
struct OddValue {
    const char* name;
    VARTYPE vt;
    std::string bytes;
};
const OddValue kOddValues[] = {
    {"one", VT_BSTR, std::string("\x7F", 1)},
    {"three", VT_BSTR, std::string("a\0b", 3)},
    {"ansi", VT_ANSI_TEXT, std::string("xyz", 3)},
};

Variant byte_text(VARTYPE vt, const std::string& bytes) {
    VARIANT v{};
    v.vt = vt;
    v.bstrVal = SysAllocStringByteLen(bytes.data(), static_cast<uint32_t>(bytes.size()));
    return Variant::adopt(v);
}

CTreeRef odd_text_tree() {
    CTreeRef tree = storage_test::NewTree();
    CItem* item = storage_test::AddChild(tree, "odd");
    for (const OddValue& v : kOddValues)
        item->GetItemData()->Values().SetOrAddValue(GlobalName(v.name), byte_text(v.vt, v.bytes));
    storage_test::AddChild(item, "\xC3\xA9!");
    return tree;
}

void expect_odd_text_tree(const CTreeRef& tree, const std::string& form) {
    SCOPED_TRACE(form);
    ASSERT_EQ(tree.kind, CTreeRef::kTree);
    ASSERT_EQ(tree.item->ChildCount(), 1);
    CItem* item = tree.item->ChildNode()->GetAt(0);
    EXPECT_EQ(item->Text(), "odd");
    ASSERT_TRUE(item->ItemData());
    for (const OddValue& odd : kOddValues) {
        const Variant* v = item->ItemData()->FindNamedValue(GlobalName(odd.name));
        ASSERT_TRUE(v) << odd.name;
        EXPECT_EQ(v->vt, odd.vt) << odd.name;
        EXPECT_EQ(bstr_bytes(v->bstrVal), odd.bytes) << odd.name;
    }
    ASSERT_EQ(item->ChildCount(), 1);
    EXPECT_EQ(item->ChildNode()->GetAt(0)->Text(), "\xC3\xA9!");
}

CTreeRef read_tree(CVincaStream& bytes) {
    CTreeRef out;
    CTreeStream ts(bytes, CTreeStream::MODE_READ);
    if (ts.Open()) ReadTreeRef(ts, out);
    ts.Close();
    EXPECT_EQ(bytes.Error(), VE_OK);
    return out;
}

void write_tree(CVincaStream& bytes, const CTreeRef& tree) {
    CTreeStream ts(bytes, CTreeStream::MODE_WRITE);
    ASSERT_TRUE(ts.Open());
    WriteTreeRef(ts, tree, true);
    ts.Close();
    ASSERT_EQ(bytes.Error(), VE_OK);
}

} // namespace

TEST(StorageOddTexts, EveryStoredFormKeepsTheExactBytes) {
    CTreeRef tree = odd_text_tree();

    CVincaMemStream mem;
    write_tree(mem, tree);
    mem.Seek(0, FROM_START);
    expect_odd_text_tree(read_tree(mem), "memory");

    kltest::TempDir dir;
    std::string path = (dir / "odd.tree").string();
    {
        CVincaFileStream out(path, CVincaFileStream::CREATE_ALWAYS);
        write_tree(out, tree);
    }
    CVincaFileStream in(path, CVincaFileStream::OPEN_EXISTING);
    expect_odd_text_tree(read_tree(in), "file");

    // Global memory blocks, as hosts receive them.
    auto block = DetachToGlobal(mem.Store(), true);
    ASSERT_TRUE(block);
    CVincaByteArray attached(5120);
    ASSERT_TRUE(AttachFromGlobal(attached, *block, true));
    CVincaMemStream fromBlock(attached);
    expect_odd_text_tree(read_tree(fromBlock), "global block");

    // The exported buffer functions: through the clipboard and a host file.
    CMemoryClipboard clipboard;
    SetClipboard(&clipboard);
    FakeHost host;
    ControlScope control(host.Site());
    BufferHandle h = AddBuffer(new CVincaBuffer(tree));
    ASSERT_EQ(VincaCopyBuffer(h), VE_OK);
    uint32_t pasted = 0;
    ASSERT_EQ(VincaPasteBuffer(&pasted), VE_OK);
    expect_odd_text_tree(BufferFromHandle(pasted)->ref, "clipboard");
    ASSERT_EQ(VincaSaveBuffer(h, 2), VE_OK);
    host.files[2].pos = 0;
    uint32_t loaded = 0;
    ASSERT_EQ(VincaLoadBuffer(&loaded, 2), VE_OK);
    expect_odd_text_tree(BufferFromHandle(loaded)->ref, "buffer in a host file");
    for (uint32_t b : {h, pasted, loaded})
        VincaFreeBuffer(b);
    SetClipboard(nullptr);

    // The persisted tree object, with a picture-slot text of odd length.
    auto saved = make_object<CTreeSerializeObject>(false);
    saved->root = tree.item;
    saved->slots = CPictureSlots::New();
    saved->slots->Slot(2).text = std::string("s\0t", 3);
    auto stream = create_memory_stream();
    ASSERT_EQ(saved->Save(stream.get(), 1), S_OK);
    stream->Seek(0, STREAM_SEEK_SET, nullptr);
    auto back = make_object<CTreeSerializeObject>();
    ASSERT_EQ(back->Load(stream.get()), S_OK);
    expect_odd_text_tree({CTreeRef::kTree, back->root}, "persisted properties");
    ASSERT_TRUE(back->slots);
    EXPECT_EQ(back->slots->Slot(2).text, std::string("s\0t", 3));
}
