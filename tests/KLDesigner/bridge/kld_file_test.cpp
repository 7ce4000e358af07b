// Description files through a hidden control: every field comes back as it
// went in, records in display order, foreign or damaged files are refused
// with the open document kept, and a failed save keeps the old file.
#include <gtest/gtest.h>

#include <signal.h>
#include <sys/resource.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>

#include "KLDesigner/bridge/kld_file.h"
#include "control_tree.h"
#include "support/recording_host.h"
#include "support/scripted_prompt.h"
#include "support/stand_in_bridge.h"
#include "support/temp_dir.h"
#include "vinca/control/dispids.h"

using namespace kld;
using plat::Variant;
namespace fs = std::filesystem;

namespace {

std::string Slurp(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

struct KldRig {
    kldtest::RecordingHost host;
    kltest::ScriptedPrompt prompt;
    kldtest::ControlTree tree;
    kldtest::StandInBridge display{tree};
    plat::ComPtr<plat::IDispatch> buffer = tree.Site().Create(kTreeListClassId);
    CDescriptionFile file{tree.Site(), buffer.get()};
    CDescriptionBridge bridge{display, file};
    Designer d{DesignerServices{host, prompt, tree, bridge}};

    void ExpectNotValid(const std::string& path) {
        kltest::ExpectedPrompt e;
        e.kind = kltest::PromptKind::Message;
        e.match = "File '" + path + "' is not a valid update description.";
        prompt.expect(std::move(e));
    }
    // Items added to the hidden tree by text: each entry's parent is the
    // position of an earlier entry, -1 for the top.
    void Tree(const std::vector<std::pair<std::string, int32_t>>& items) {
        ASSERT_EQ(plat::dispatch_call(buffer.get(), vinca::dispid::kClear), plat::S_OK);
        std::vector<int32_t> at;
        for (const auto& [text, parent] : items) {
            std::vector<Variant> args{Variant(std::string_view(text))};
            if (parent >= 0) args.emplace_back(at[static_cast<size_t>(parent)]);
            ASSERT_EQ(plat::dispatch_call(buffer.get(), vinca::dispid::kAddItem, args), plat::S_OK) << text;
            Variant v;
            plat::dispatch_get(buffer.get(), vinca::dispid::kNewIndex, v);
            at.push_back(v.to_i4());
        }
    }
    void SetValue(int32_t position, const std::string& key, const Variant& value) {
        Variant obj;
        const Variant index[] = {Variant(position), Variant(std::string_view(key))};
        ASSERT_EQ(plat::dispatch_get(buffer.get(), vinca::dispid::kItemValues, obj, index), plat::S_OK);
        ASSERT_EQ(plat::dispatch_put(obj.pdispVal, 1, value), plat::S_OK);
    }
};

DestinationFolder Dest(int i) {
    return {static_cast<int16_t>(i % 3), "C:\\Path " + std::to_string(i), "HKLM\\Soft\\K" + std::to_string(i),
            "Val" + std::to_string(i), i % 2 == 0};
}

ActionRecord Record(int i, bool group) {
    ActionRecord r = ZeroedRecord();
    r.ReservedFlag = i % 2 == 1;
    r.ActionType = static_cast<int16_t>(i % 4);
    r.IsGroup = group;
    r.FileType = i + 1;
    r.IsFolder = i % 2 == 0;
    r.SourcePath = "/src/Файл " + std::to_string(i) + ".dll";
    r.IncludeSubfolders = true;
    r.VersionHigh = 5 + i;
    r.VersionLow = 70000 + i;
    r.Build = 123456 + i;
    r.FileDate = 45000.5 + i; // noon
    r.FileSize = 2000000000 + i;
    r.FileReserved = -17 - i; // the spare long
    r.SourceFolder = "group folder " + std::to_string(i);
    r.RegKey = "HKCU\\Software\\R" + std::to_string(i);
    r.RegValueName = "name" + std::to_string(i);
    r.RegDataType = 4;
    r.RegDataText = "text, with \"quotes\"";
    r.RegDataNumber = -99999 - i;
    r.Compress = true;
    r.Encrypt = i % 2 == 0;
    r.CreateNew = true;
    r.Compare = 12;
    r.CriteriaType = static_cast<int16_t>(-3 + i);
    r.CriteriaPath = "crit path";
    r.CriteriaRegKey = "HKLM\\crit";
    r.CriteriaValueName = "cv";
    r.EditionCompare = 2;
    r.Edition = 3.25f + static_cast<float>(i);
    r.Destinations = {Dest(i), Dest(i + 1), Dest(i + 2)};
    r.AskClose = true;
    r.UpdateOnRestart = i % 2 == 0;
    r.LogToRegistryData = "log " + std::to_string(i);
    r.Register = true;
    return r;
}

ProductSettings FullProduct() {
    ProductSettings p;
    p.ProductName = "Prodüct";
    p.Manufacturer = "Maker";
    p.PackagePassword = "secret";
    p.ChunkSize = 65536;
    p.OutputFolder = "/out/folder";
    p.WhatsNewFile = "/w.txt";
    p.AdvertisementFile = "/ad.html";
    p.IconFile = "/i.ico";
    p.INFFileName = "prod.inf";
    p.WebLocation = "http://127.0.0.1/u";
    p.ReservedValue = 1.5f; // the spare single
    p.InstallCriteria = {{-4, "p0", "k0", "v0", 1.25f}, {2, "p1", "k1", "v1", 0}, {5, "", "", "", 7.5f}};
    p.InstallPaths = {Dest(7), Dest(8), Dest(9)};
    p.InstallNew = true;
    p.AutoUninstall = true;
    p.ResumeDownloading = true;
    return p;
}

class KldFile : public ::testing::Test {
  protected:
    kltest::TempDir dir;
};

TEST_F(KldFile, EveryFieldComesBackInDisplayOrder) {
    const std::string path = (dir / "doc.KLD").string();
    std::vector<ActionRecord> records;
    {
        KldRig a;
        a.d.Product = FullProduct();
        for (int i = 0; i < 4; ++i)
            a.d.Actions.push_back(Record(i, i == 0 || i == 3));
        a.d.Actions.erase(a.d.Actions.begin());
        a.d.ActionCount = 4;
        // Display order differs from record order: records come back by
        // their place in the list.
        a.tree.Build("G3(I1) G0(I2)");
        records = {a.d.Actions[3], a.d.Actions[1], a.d.Actions[0], a.d.Actions[2]};
        a.d.CurrentFileName = path;
        ASSERT_TRUE(a.d.SaveDocument());
        a.prompt.verify_done();
    }
    KldRig b;
    b.d.OpenDocument(path);
    b.prompt.verify_done();
    EXPECT_EQ(b.d.CurrentFileName, path);
    EXPECT_EQ(b.d.Product, FullProduct());
    ASSERT_EQ(b.d.ActionCount, 4);
    ASSERT_EQ(b.d.Actions.size(), 4u);
    for (size_t i = 0; i < 4; ++i)
        EXPECT_EQ(b.d.Actions[i], records[i]) << i;
    EXPECT_EQ(b.tree.Shape(), "G0(I1) G2(I3)");

    // Saved again unchanged, the bytes are the same.
    const std::string first = Slurp(path);
    b.d.CurrentFileName = path;
    ASSERT_TRUE(b.d.SaveDocument());
    EXPECT_EQ(Slurp(path), first);
}

// The bytes of a new document's file, put together from the stream's rules:
// little-endian numbers; names written once with a key (1, 2, ... in order
// of first use) and then by the key alone; texts as a length and their
// bytes (wide text as UTF-16); items as text, mark, hidden, flags, content bits (1, +2 children,
// +4 values), values in the order their names were first used, children,
// then no grid, the sort key and the item word.
class Golden {
  public:
    std::string bytes;
    uint32_t refs = 0;

    void U8(uint8_t v) { bytes.push_back(static_cast<char>(v)); }
    void U16(uint16_t v) { bytes.append(reinterpret_cast<const char*>(&v), 2); }
    void U32(uint32_t v) { bytes.append(reinterpret_cast<const char*>(&v), 4); }
    void Raw(const void* p, size_t n) { bytes.append(static_cast<const char*>(p), n); }
    void Name(const std::string& name) {
        ++refs;
        auto it = m_keys.find(name);
        if (it != m_keys.end()) return U32(it->second);
        const uint32_t key = static_cast<uint32_t>(m_keys.size()) + 1;
        m_keys[name] = key;
        U32(key);
        U32(static_cast<uint32_t>(name.size() + 1));
        bytes += name;
        U8(0);
    }
    // Automation text: wide, its UTF-16 bytes (the texts here are ASCII).
    void Text(const std::string& key, const std::string& v) {
        Name(key);
        U16(8);
        U32(static_cast<uint32_t>(v.size() * 2));
        for (char c : v)
            U16(static_cast<uint8_t>(c));
        U8(0);
    }
    void I2(const std::string& key, int16_t v) { Name(key), U16(2), U16(static_cast<uint16_t>(v)), U8(0); }
    void I4(const std::string& key, int32_t v) { Name(key), U16(3), U32(static_cast<uint32_t>(v)), U8(0); }
    void R4(const std::string& key, float v) { Name(key), U16(4), Raw(&v, 4), U8(0); }
    void Bool(const std::string& key, bool v) { Name(key), U16(11), U16(v ? 0xFFFF : 0), U8(0); }
    // An item up to its children; `values` is the number that follow.
    void Item(const std::string& text, bool children, uint32_t values) {
        U32(static_cast<uint32_t>(text.size()));
        bytes += text;
        U8(0), U8(0), U16(4);
        U16(static_cast<uint16_t>(1 | (children ? 2 : 0) | (values ? 4 : 0)));
        if (values) U32(values);
    }
    void Node(uint32_t count) { U8(0), Name(kNoKey), U32(0), U32(count); }
    void End() { U8(0), Name(kNoKey), U32(0); }

    static constexpr const char* kNoKey = "__ObsoleteValue";

  private:
    std::map<std::string, uint32_t> m_keys;
};

TEST_F(KldFile, NewDocumentHasTheBytesOfItsTree) {
    Golden g;
    g.bytes = "DU";
    g.U32(0); // the reference counter, filled in last
    g.U16(16), g.U16(5), g.U16(0x13);
    g.bytes += "TR";
    g.Node(2);
    g.Item("0", true, 14);
    g.Text("0", kNewProductName);
    for (const char* key : {"1", "2"})
        g.Text(key, "");
    g.I4("4", 0);
    for (const char* key : {"5", "6", "7", "8", "9", "A"})
        g.Text(key, "");
    g.R4("B", 0);
    for (const char* key : {"C", "D", "E"})
        g.Bool(key, false);
    g.Node(6);
    // "3" is first used on the criterion rows, so it follows "4" in them.
    for (int i = 0; i < 3; ++i) {
        g.Item("2" + std::to_string(i + 1), false, 5);
        g.I2("0", i == 0 ? 1 : 0), g.Text("1", ""), g.Text("2", ""), g.R4("4", 0), g.Text("3", "");
        g.End();
    }
    for (int i = 0; i < 3; ++i) {
        g.Item("3" + std::to_string(i + 1), false, 5);
        g.I2("0", i == 0 ? 2 : 0), g.Text("1", ""), g.Text("2", ""), g.Bool("4", false), g.Text("3", "");
        g.End();
    }
    g.End();
    g.Item("1", false, 0);
    g.End();
    std::memcpy(g.bytes.data() + 2, &g.refs, 4);

    KldRig r;
    r.d.NewDocument();
    const std::string path = (dir / "new.KLD").string();
    r.d.CurrentFileName = path;
    ASSERT_TRUE(r.d.SaveDocument());
    EXPECT_EQ(Slurp(path), g.bytes);
}

// A one-item document, byte for byte as the file decoded by the tree
// reader (in its own program) shows it.
TEST_F(KldFile, OneItemDocumentKeepsItsBytes) {
    KldRig r;
    r.d.NewDocument();
    r.d.Product.ProductName = "One";
    r.d.Product.ChunkSize = 500;
    r.d.Product.ReservedValue = 0.5f;
    r.d.Product.InstallNew = true;
    r.d.Actions[0] = ZeroedRecord();
    r.d.Actions[0].ActionType = action::InstallFile;
    r.d.Actions[0].IsGroup = true;
    r.d.Actions[0].SourceFolder = "/src";
    r.d.Actions[0].FileDate = 36526.25;
    r.d.Actions[0].Edition = 2.5f;
    r.d.Actions[0].Destinations[1].Path = "%PRODUCT%";
    r.d.ActionCount = 1;
    r.tree.Build("G0");
    const std::string path = (dir / "one.KLD").string();
    r.d.CurrentFileName = path;
    ASSERT_TRUE(r.d.SaveDocument());
    if (const char* out = std::getenv("KLD_WRITE_FIXTURE"))
        fs::copy_file(path, out, fs::copy_options::overwrite_existing);
    EXPECT_EQ(Slurp(path), Slurp(KLD_DATA "/one_item.KLD"));
}

TEST_F(KldFile, EmptyDocumentAndOlderLayout) {
    const std::string path = (dir / "empty.KLD").string();
    {
        KldRig a;
        a.d.NewDocument();
        a.d.CurrentFileName = path;
        ASSERT_TRUE(a.d.SaveDocument());
    }
    KldRig b;
    b.d.Product.ProductName = "was open";
    b.d.OpenDocument(path);
    EXPECT_EQ(b.d.ActionCount, 0);
    EXPECT_EQ(b.d.Product.ProductName, kNewProductName);

    // A file of an older layout: fewer keys, extra items. Missing values read
    // as empty, extra items are ignored.
    b.Tree({{"0", -1},
            {"21", 0},
            {"22", 0},
            {"23", 0},
            {"31", 0},
            {"32", 0},
            {"33", 0},
            {"34", 0},
            {"1", -1},
            {"90001", 8},
            {"5", 9},
            {"6", 9},
            {"7", 9},
            {"4", 12},
            {"81", 9},
            {"82", 9},
            {"83", 9},
            {"84", 9}});
    b.SetValue(0, "0", Variant("Old"));
    b.SetValue(0, "Z", Variant("ignored"));
    b.SetValue(9, "2", Variant::boolean(true));
    b.SetValue(10, "2", Variant("/old/file"));
    const std::string old = (dir / "old.KLD").string();
    ASSERT_TRUE(b.file.Save(old));
    KldRig c;
    c.d.OpenDocument(old);
    c.prompt.verify_done();
    EXPECT_EQ(c.d.Product.ProductName, "Old");
    EXPECT_EQ(c.d.Product.Manufacturer, "");
    EXPECT_EQ(c.d.Product.ChunkSize, 0);
    ASSERT_EQ(c.d.ActionCount, 1);
    EXPECT_TRUE(c.d.Actions[0].IsGroup);
    EXPECT_EQ(c.d.Actions[0].SourcePath, "/old/file");
    EXPECT_EQ(c.d.Actions[0].ActionType, 0);
    EXPECT_EQ(c.d.Actions[0].Destinations[2], DestinationFolder{});
}

TEST_F(KldFile, ForeignOrDamagedFileKeepsTheOpenDocument) {
    const std::vector<std::pair<std::string, std::vector<std::pair<std::string, int32_t>>>> trees = {
        {"no product item", {{"A", -1}, {"1", -1}}},
        {"missing action item",
         {{"0", -1},
          {"21", 0},
          {"22", 0},
          {"23", 0},
          {"31", 0},
          {"32", 0},
          {"33", 0},
          {"1", -1},
          {"90002", 7}}},
        {"action without its file part",
         {{"0", -1},
          {"21", 0},
          {"22", 0},
          {"23", 0},
          {"31", 0},
          {"32", 0},
          {"33", 0},
          {"1", -1},
          {"90001", 7}}},
    };
    KldRig r;
    r.d.Product.ProductName = "open one";
    r.d.CurrentFileName = "/kept.KLD";
    int n = 0;
    for (const auto& [name, items] : trees) {
        SCOPED_TRACE(name);
        const std::string path = (dir / ("t" + std::to_string(n++) + ".KLD")).string();
        KldRig w;
        w.Tree(items);
        ASSERT_TRUE(w.file.Save(path));
        r.ExpectNotValid(path);
        r.d.OpenDocument(path);
        r.prompt.verify_done();
        EXPECT_EQ(r.d.Product.ProductName, "open one");
        EXPECT_EQ(r.d.CurrentFileName, "/kept.KLD");
    }
    // Bytes that are no tree at all.
    const std::string junk = (dir / "junk.KLD").string();
    std::ofstream(junk, std::ios::binary) << "PK\x03\x04 not a tree";
    r.ExpectNotValid(junk);
    r.d.OpenDocument(junk);
    r.prompt.verify_done();
    EXPECT_EQ(r.d.Product.ProductName, "open one");
}

TEST_F(KldFile, AVirtualParentIsRefusedBeforeItsChildrenAreMade) {
    // Each parent whose children the reader walks, claiming two million
    // children that the file does not hold.
    const std::vector<std::pair<std::string, int32_t>> product = {{"0", -1}, {"21", 0}, {"22", 0}, {"23", 0},
                                                                  {"31", 0}, {"32", 0}, {"33", 0}};
    auto with = [&](std::vector<std::pair<std::string, int32_t>> more) {
        auto items = product;
        items.insert(items.end(), more.begin(), more.end());
        return items;
    };
    const struct {
        const char* name;
        std::vector<std::pair<std::string, int32_t>> items;
        int32_t parent; // -2: the whole tree
    } cases[] = {
        {"the whole tree", {}, -2},
        {"the product", {{"0", -1}, {"1", -1}}, 0},
        {"the operations", with({{"1", -1}}), 7},
        {"an action", with({{"1", -1}, {"90001", 7}}), 8},
        {"an action's criteria", with({{"1", -1}, {"90001", 7}, {"5", 8}, {"6", 8}, {"7", 8}}), 11},
    };
    rusage before{};
    ::getrusage(RUSAGE_SELF, &before);
    KldRig r;
    r.d.Product.ProductName = "open one";
    int n = 0;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string path = (dir / ("v" + std::to_string(n++) + ".KLD")).string();
        KldRig w;
        w.Tree(c.items);
        const Variant at[] = {Variant(c.parent)};
        ASSERT_EQ(
            plat::dispatch_put(w.buffer.get(), vinca::dispid::kItemVirtualParent, Variant::boolean(true), at),
            plat::S_OK);
        ASSERT_EQ(plat::dispatch_put(w.buffer.get(), vinca::dispid::kItemVirtualCount, Variant(2000000), at),
                  plat::S_OK);
        ASSERT_TRUE(w.file.Save(path));
        ASSERT_LT(fs::file_size(path), 2000u);
        r.ExpectNotValid(path);
        r.d.OpenDocument(path);
        r.prompt.verify_done();
        EXPECT_EQ(r.d.Product.ProductName, "open one");
    }
    // Two million items would take hundreds of megabytes; the margin leaves
    // room for the sanitizer's quarantine of freed blocks.
    rusage after{};
    ::getrusage(RUSAGE_SELF, &after);
    EXPECT_LT(after.ru_maxrss - before.ru_maxrss, 160 * 1024);
}

TEST_F(KldFile, FailedSaveKeepsTheOldFile) {
    const fs::path path = dir / "doc.KLD";
    KldRig r;
    r.d.NewDocument();
    r.d.CurrentFileName = path.string();
    ASSERT_TRUE(r.d.SaveDocument());
    const std::string before = Slurp(path);

    // The disk takes no more than a few bytes: the save fails, nothing
    // changes and nothing is left beside the file.
    r.d.Product.ProductName = "changed";
    r.d.DocumentModified = true;
    {
        struct sigaction ignore {
        }, old{};
        ignore.sa_handler = SIG_IGN;
        ::sigaction(SIGXFSZ, &ignore, &old);
        rlimit limit{}, saved{};
        ::getrlimit(RLIMIT_FSIZE, &saved);
        limit.rlim_cur = 64;
        limit.rlim_max = saved.rlim_max;
        ::setrlimit(RLIMIT_FSIZE, &limit);
        const bool saved_ok = r.d.SaveDocument();
        ::setrlimit(RLIMIT_FSIZE, &saved);
        ::sigaction(SIGXFSZ, &old, nullptr);
        EXPECT_FALSE(saved_ok);
    }
    EXPECT_TRUE(r.d.DocumentModified);
    EXPECT_EQ(Slurp(path), before);

    // A blank name writes nothing and counts as written.
    EXPECT_TRUE(r.file.Save("  "));
    size_t files = 0;
    for ([[maybe_unused]] const auto& e : fs::directory_iterator(dir.path()))
        ++files;
    EXPECT_EQ(files, 1u);
}

TEST_F(KldFile, SavingThroughALinkWritesItsTargetAndKeepsTheMode) {
    const fs::path real = dir / "kept" / "real.KLD";
    fs::create_directories(real.parent_path());
    {
        KldRig a;
        a.d.NewDocument();
        a.d.CurrentFileName = real.string();
        ASSERT_TRUE(a.d.SaveDocument());
    }
    fs::permissions(real, fs::perms::owner_read | fs::perms::owner_write);
    const fs::path link = dir / "link.KLD";
    fs::create_symlink(fs::relative(real, dir.path()), link);

    KldRig r;
    r.d.OpenDocument(link.string());
    r.d.Product.PackagePassword = "secret";
    r.d.Product.ProductName = "through the link";
    ASSERT_TRUE(r.d.SaveDocument());

    EXPECT_TRUE(fs::is_symlink(link));
    EXPECT_EQ(fs::status(real).permissions() & fs::perms::all,
              fs::perms::owner_read | fs::perms::owner_write);
    KldRig b;
    b.d.OpenDocument(real.string());
    EXPECT_EQ(b.d.Product.ProductName, "through the link");
    EXPECT_EQ(b.d.Product.PackagePassword, "secret");
    // Nothing else appeared beside either of them.
    size_t files = 0;
    for ([[maybe_unused]] const auto& e : fs::recursive_directory_iterator(dir.path()))
        ++files;
    EXPECT_EQ(files, 3u); // the folder, the file, the link
}

} // namespace
