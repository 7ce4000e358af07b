#include "platform/config/registry.h"

#include "child_process.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>
#include <sqlite3.h>

using namespace plat;

namespace {

// A store of its own in a temporary folder, apart from the machine's.
struct StoreTest : ::testing::Test {
    kltest::TempDir dir;
    std::filesystem::path file = dir / "store.db";
    Registry& reg = *Registry::open(file);
};

} // namespace

TEST(RegistryHive, LongAndShortNamesAnyCaseAndNothingElse) {
    struct Case {
        const char* text;
        std::optional<Hive> hive;
    } cases[] = {
        {"HKEY_CLASSES_ROOT", Hive::ClassesRoot},
        {"hkcr", Hive::ClassesRoot},
        {"HKEY_CURRENT_USER", Hive::CurrentUser},
        {"HKCU", Hive::CurrentUser},
        {"hkey_local_machine", Hive::LocalMachine},
        {"HKLM", Hive::LocalMachine},
        {"HKEY_USERS", Hive::Users},
        {"HKU", Hive::Users},
        {"HKEY_CURRENT_CONFIG", Hive::CurrentConfig},
        {"HKCC", Hive::CurrentConfig},
        {"", std::nullopt},
        {"HKLM ", std::nullopt},
        {"HKEY_LOCAL", std::nullopt},
        {"SOFTWARE", std::nullopt},
    };
    for (const auto& c : cases)
        EXPECT_EQ(parse_hive(c.text), c.hive) << c.text;

    Hive hive{};
    std::string key;
    ASSERT_EQ(split_registry_key("HKLM/SOFTWARE/Vendor", hive, key), SysError::Success);
    EXPECT_EQ(hive, Hive::LocalMachine);
    EXPECT_EQ(key, "SOFTWARE/Vendor");
    ASSERT_EQ(split_registry_key("HKEY_USERS", hive, key), SysError::Success);
    EXPECT_EQ(hive, Hive::Users);
    EXPECT_EQ(key, "");
    EXPECT_EQ(split_registry_key("HKXX\\SOFTWARE", hive, key), SysError::InvalidParameter);
}

TEST_F(StoreTest, EveryValueTypeRoundTrips) {
    const RegValue values[] = {
        RegValue::string("C:\\Program Files\\\xC3\xA9"),
        RegValue::string(""),
        RegValue::string("%WINDIR%\\Temp", RegType::ExpandString),
        RegValue::binary({0x00, 0xFF, 0x00, 0x10}),
        RegValue::binary({}),
        RegValue::dword(0xDEADBEEF),
        RegValue::multi_string({"one", "two words", "\xC3\xBC"}),
        RegValue::multi_string({}),
        RegValue{RegType::DWordBigEndian, {0x00, 0x00, 0x01, 0x02}},
    };
    for (size_t i = 0; i < std::size(values); ++i)
        ASSERT_EQ(reg.set_value(Hive::LocalMachine, "SOFTWARE\\Types", "v" + std::to_string(i), values[i]),
                  SysError::Success);
    for (size_t i = 0; i < std::size(values); ++i) {
        RegValue out;
        ASSERT_EQ(reg.get_value(Hive::LocalMachine, "SOFTWARE\\Types", "v" + std::to_string(i), out),
                  SysError::Success);
        EXPECT_EQ(out, values[i]) << i;
    }
    RegValue v;
    reg.get_value(Hive::LocalMachine, "SOFTWARE\\Types", "v5", v);
    EXPECT_EQ(v.as_dword(), 0xDEADBEEFu);
    EXPECT_EQ(v.as_string(), "3735928559");
    reg.get_value(Hive::LocalMachine, "SOFTWARE\\Types", "v6", v);
    EXPECT_EQ(v.as_multi_string(), (std::vector<std::string>{"one", "two words", "\xC3\xBC"}));
    reg.get_value(Hive::LocalMachine, "SOFTWARE\\Types", "v8", v);
    EXPECT_EQ(v.as_dword(), 0x102u);

    // The default value is the empty name, apart from every named one.
    ASSERT_EQ(reg.set_string(Hive::ClassesRoot, "Vinca.Vinca.5", "", "Tree control"), SysError::Success);
    ASSERT_EQ(reg.set_string(Hive::ClassesRoot, "Vinca.Vinca.5", "Other", "x"), SysError::Success);
    EXPECT_EQ(reg.get_string(Hive::ClassesRoot, "Vinca.Vinca.5", ""), "Tree control");
    EXPECT_EQ(reg.get_value(Hive::ClassesRoot, "Vinca.Vinca.6", "", v), SysError::FileNotFound);
    EXPECT_EQ(reg.get_value(Hive::ClassesRoot, "Vinca.Vinca.5", "missing", v), SysError::FileNotFound);
    EXPECT_EQ(reg.get_dword(Hive::ClassesRoot, "Vinca.Vinca.5", "missing", 7), 7u);
}

TEST_F(StoreTest, KeysAndValueNamesIgnoreCaseAndKeepTheirFirstSpelling) {
    ASSERT_EQ(reg.create_key(Hive::CurrentUser, "Software/Marovia//Kestrelite/"), SysError::Success);
    ASSERT_EQ(
        reg.set_string(Hive::CurrentUser, "SOFTWARE\\MAROVIA\\kestrelite\\General", "TempFolder", "%TEMP%"),
        SysError::Success);
    ASSERT_EQ(
        reg.set_string(Hive::CurrentUser, "software\\marovia\\KESTRELITE\\general", "TEMPFOLDER", "/tmp"),
        SysError::Success);
    std::vector<std::string> keys;
    ASSERT_EQ(reg.enum_keys(Hive::CurrentUser, "SOFTWARE", keys), SysError::Success);
    EXPECT_EQ(keys, std::vector<std::string>{"Marovia"});
    ASSERT_EQ(reg.enum_keys(Hive::CurrentUser, "software\\marovia\\kestrelite", keys), SysError::Success);
    EXPECT_EQ(keys, std::vector<std::string>{"General"});
    std::vector<RegValueEntry> values;
    ASSERT_EQ(reg.enum_values(Hive::CurrentUser, "Software/Marovia/Kestrelite/General", values),
              SysError::Success);
    ASSERT_EQ(values.size(), 1u);
    EXPECT_EQ(values[0].name, "TempFolder");
    EXPECT_EQ(values[0].value.as_string(), "/tmp");
    // Hives are apart; the classes root is the machine's SOFTWARE\Classes.
    EXPECT_FALSE(reg.key_exists(Hive::LocalMachine, "Software\\Marovia"));
    EXPECT_FALSE(reg.key_exists(Hive::Users, "Software\\Marovia"));
    for (Hive h : {Hive::CurrentUser, Hive::LocalMachine, Hive::Users, Hive::CurrentConfig})
        ASSERT_EQ(reg.set_string(h, "Same", "", std::string(hive_name(h))), SysError::Success);
    for (Hive h : {Hive::CurrentUser, Hive::LocalMachine, Hive::Users, Hive::CurrentConfig}) {
        EXPECT_EQ(reg.get_string(h, "Same", ""), hive_name(h));
        ASSERT_EQ(reg.enum_keys(h, "Same", keys), SysError::Success);
        EXPECT_TRUE(keys.empty()) << hive_name(h);
    }
    ASSERT_EQ(reg.set_string(Hive::ClassesRoot, "CLSID\\{X}\\InProcServer32", "ThreadingModel", "Apartment"),
              SysError::Success);
    EXPECT_EQ(
        reg.get_string(Hive::LocalMachine, "SOFTWARE\\Classes\\clsid\\{x}\\InprocServer32", "threadingmodel"),
        "Apartment");
}

TEST_F(StoreTest, EnumerationOrder) {
    for (const char* k : {"b", "C", "a"})
        reg.create_key(Hive::LocalMachine, std::string("Order\\") + k);
    for (const char* v : {"zeta", "Alpha", "mid"})
        reg.set_dword(Hive::LocalMachine, "Order", v, 1);
    reg.set_dword(Hive::LocalMachine, "Order", "ZETA", 2); // set again: keeps its place
    std::vector<std::string> keys;
    reg.enum_keys(Hive::LocalMachine, "Order", keys);
    EXPECT_EQ(keys, (std::vector<std::string>{"a", "b", "C"}));
    std::vector<RegValueEntry> values;
    reg.enum_values(Hive::LocalMachine, "Order", values);
    ASSERT_EQ(values.size(), 3u);
    EXPECT_EQ(values[0].name, "zeta");
    EXPECT_EQ(values[0].value.as_dword(), 2u);
    EXPECT_EQ(values[1].name, "Alpha");
    EXPECT_EQ(reg.enum_keys(Hive::LocalMachine, "Missing", keys), SysError::FileNotFound);
}

TEST_F(StoreTest, DeleteKeyTakesTheWholeSubtreeAndNothingElse) {
    reg.set_string(Hive::LocalMachine, "SOFTWARE\\App\\Sub\\Deep", "v", "1");
    reg.set_string(Hive::LocalMachine, "SOFTWARE\\App\\Sub", "v", "2");
    reg.set_string(Hive::LocalMachine, "SOFTWARE\\App", "keep", "3");
    reg.set_string(Hive::LocalMachine, "SOFTWARE\\App\\Subway", "v", "4"); // similar name, other key
    ASSERT_EQ(reg.delete_key(Hive::LocalMachine, "software/app/SUB"), SysError::Success);
    EXPECT_FALSE(reg.key_exists(Hive::LocalMachine, "SOFTWARE\\App\\Sub"));
    EXPECT_FALSE(reg.key_exists(Hive::LocalMachine, "SOFTWARE\\App\\Sub\\Deep"));
    EXPECT_EQ(reg.get_string(Hive::LocalMachine, "SOFTWARE\\App", "keep"), "3");
    EXPECT_EQ(reg.get_string(Hive::LocalMachine, "SOFTWARE\\App\\Subway", "v"), "4");
    // A key made again under the old name starts empty.
    reg.create_key(Hive::LocalMachine, "SOFTWARE\\App\\Sub");
    std::vector<RegValueEntry> values;
    reg.enum_values(Hive::LocalMachine, "SOFTWARE\\App\\Sub", values);
    EXPECT_TRUE(values.empty());

    EXPECT_EQ(reg.delete_key(Hive::LocalMachine, "SOFTWARE\\Nope"), SysError::FileNotFound);
    EXPECT_EQ(reg.delete_key(Hive::LocalMachine, ""), SysError::AccessDenied);
    EXPECT_EQ(reg.delete_key(Hive::LocalMachine, "\\/"), SysError::AccessDenied);
    EXPECT_TRUE(reg.key_exists(Hive::LocalMachine, "SOFTWARE\\App"));
    // The classes root always exists and lives in HKLM\SOFTWARE, which stays.
    EXPECT_TRUE(reg.key_exists(Hive::ClassesRoot, ""));
    EXPECT_EQ(reg.delete_key(Hive::LocalMachine, "software"), SysError::AccessDenied);
    EXPECT_EQ(reg.delete_key(Hive::LocalMachine, "SOFTWARE\\Classes"), SysError::AccessDenied);
    EXPECT_TRUE(reg.key_exists(Hive::LocalMachine, "SOFTWARE\\App"));

    EXPECT_EQ(reg.delete_value(Hive::LocalMachine, "SOFTWARE\\App", "KEEP"), SysError::Success);
    EXPECT_EQ(reg.delete_value(Hive::LocalMachine, "SOFTWARE\\App", "keep"), SysError::FileNotFound);
    EXPECT_EQ(reg.delete_value(Hive::LocalMachine, "SOFTWARE\\Nope", "keep"), SysError::FileNotFound);
}

TEST_F(StoreTest, TwoProcessesWritingTheSameKeyLoseNothing) {
    constexpr int kPerProcess = 1000;
    ASSERT_EQ(reg.status(), SysError::Success); // the parent's connection is open before the fork
    ASSERT_TRUE(kltest::run_in_children(2, [&](int child) {
        // One child opens the store again, the other goes on with the object
        // it inherited; both must end up on connections of their own.
        Registry& r = child == 0 ? *Registry::open(file) : reg;
        for (int i = 0; i < kPerProcess; ++i)
            if (r.set_dword(Hive::CurrentUser, "Software\\Shared",
                            "p" + std::to_string(child) + "_" + std::to_string(i),
                            static_cast<uint32_t>(i)) != SysError::Success)
                return 1;
        return 0;
    }));
    std::vector<RegValueEntry> values;
    ASSERT_EQ(reg.enum_values(Hive::CurrentUser, "Software\\Shared", values), SysError::Success);
    EXPECT_EQ(values.size(), 2u * kPerProcess);
    for (int child = 0; child < 2; ++child)
        for (int i = 0; i < kPerProcess; i += 97)
            EXPECT_EQ(reg.get_dword(Hive::CurrentUser, "Software\\Shared",
                                    "p" + std::to_string(child) + "_" + std::to_string(i), 0xFFFFFFFF),
                      static_cast<uint32_t>(i));
}

TEST(RegistryStore, DamagedFileIsReportedAndLeftAlone) {
    kltest::TempDir dir;
    auto file = dir / "damaged.db";
    const std::string garbage(4096, '\x5A');
    kltest::write_file(file, garbage);
    Registry& reg = *Registry::open(file);
    EXPECT_EQ(reg.status(), SysError::BadDatabase);
    RegValue v;
    EXPECT_EQ(reg.get_value(Hive::LocalMachine, "SOFTWARE", "x", v), SysError::BadDatabase);
    EXPECT_EQ(reg.set_string(Hive::LocalMachine, "SOFTWARE", "x", "y"), SysError::BadDatabase);
    EXPECT_EQ(reg.get_string(Hive::LocalMachine, "SOFTWARE", "x", "dflt"), "dflt");
    EXPECT_EQ(kltest::read_file(file), garbage);

    // A store whose pages are damaged behind an intact header: the error
    // shows when the damaged part is read.
    auto file2 = dir / "torn.db";
    {
        Registry& good = *Registry::open(file2);
        for (int i = 0; i < 200; ++i)
            ASSERT_EQ(
                good.set_string(Hive::LocalMachine, "K" + std::to_string(i), "v", std::string(200, 'x')),
                SysError::Success);
        sqlite3* db = nullptr; // move everything from the log into the main file
        ASSERT_EQ(sqlite3_open(file2.c_str(), &db), SQLITE_OK);
        ASSERT_EQ(sqlite3_exec(db, "PRAGMA wal_checkpoint(TRUNCATE)", nullptr, nullptr, nullptr), SQLITE_OK);
        sqlite3_close(db);
    }
    kltest::TempDir copy_dir;
    auto copy = copy_dir / "torn.db";
    std::string bytes = kltest::read_file(file2);
    ASSERT_GT(bytes.size(), 3 * 4096u);
    bytes.replace(4096, bytes.size() - 4096, std::string(bytes.size() - 4096, '\x5A'));
    kltest::write_file(copy, bytes);
    Registry& torn = *Registry::open(copy);
    std::vector<std::string> keys;
    SysError e = torn.status();
    if (e == SysError::Success) e = torn.enum_keys(Hive::LocalMachine, "", keys);
    EXPECT_EQ(e, SysError::BadDatabase);

    // Another program's SQLite file is not taken for a store.
    auto foreign = dir / "foreign.db";
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open(foreign.c_str(), &db), SQLITE_OK);
    ASSERT_EQ(sqlite3_exec(db, "CREATE TABLE reg_keys(x); INSERT INTO reg_keys VALUES (1)", nullptr, nullptr,
                           nullptr),
              SQLITE_OK);
    sqlite3_close(db);
    EXPECT_EQ(Registry::open(foreign)->status(), SysError::BadDatabase);
}

TEST(RegistryStore, MissingFileGivesAFreshStore) {
    kltest::TempDir dir;
    auto file = dir / "fresh.db";
    Registry& reg = *Registry::open(file);
    EXPECT_EQ(reg.status(), SysError::Success);
    ASSERT_EQ(reg.set_string(Hive::LocalMachine, "A", "v", "1"), SysError::Success);
    // The file removed behind the store's back: the next call starts afresh
    // instead of writing into the removed file.
    std::filesystem::remove(file);
    std::filesystem::remove(dir / "fresh.db-wal");
    std::filesystem::remove(dir / "fresh.db-shm");
    EXPECT_EQ(reg.get_string(Hive::LocalMachine, "A", "v", "gone"), "gone");
    ASSERT_EQ(reg.set_string(Hive::LocalMachine, "A", "v", "2"), SysError::Success);
    EXPECT_TRUE(std::filesystem::exists(file));
    EXPECT_EQ(Registry::open(file)->get_string(Hive::LocalMachine, "A", "v"), "2");

    EXPECT_EQ(Registry::open(dir / "no" / "folder.db")->status(), SysError::PathNotFound);
}
