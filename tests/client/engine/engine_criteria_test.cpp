#include <gtest/gtest.h>

#include "client/engine/criteria.h"
#include "engine_fixture.h"
#include "platform/config/registry.h"
#include "platform/sys/files.h"

namespace {

using engine_test::Machine;
using klc::InfFile;
using klc::ProductState;

class EngineCriteria : public testing::Test {
  protected:
    void SetUp() override {
        kltest::write_file(m.dir / "product" / "app" / "app.exe", "program");
        auto& reg = plat::registry();
        reg.set_string(plat::Hive::LocalMachine, "SOFTWARE\\Vendor\\App", "Path",
                       m.path("product/app/app.exe"));
        reg.set_string(plat::Hive::LocalMachine, "SOFTWARE\\Vendor\\App", "Version", "2.0.0.1");
        reg.set_dword(plat::Hive::LocalMachine, "SOFTWARE\\Vendor\\App", "Number", 0x10);
        reg.set_string(plat::Hive::LocalMachine, "SOFTWARE\\Vendor\\App", "Dir", "%PRODUCT%\\data");
    }

    ProductState Evaluate(const std::string& keys, bool* result = nullptr) {
        ProductState state{m.ctx.product_folder, 1, 0, 1};
        InfFile inf = InfFile::Parse("[Product1]\r\n" + keys);
        bool r = klc::EvaluateCriteria(m.ctx, inf, "Product1", state);
        if (result) *result = r;
        EXPECT_EQ(r, state.installed && state.criteria_met);
        return state;
    }

    Machine m;
};

TEST_F(EngineCriteria, ProductKeysAgainstTheMachine) {
    struct Case {
        std::string keys;
        int32_t installed;
        int32_t met;
    } cases[] = {
        // Absent keys leave the values passed in, so a catalogue without
        // criteria keys offers its products.
        {"", 1, 1},
        {"ProductInstalled=0,anything", 1, 1},
        {"ProductInstalled=1,%PRODUCT%\\app\\app.exe", 1, 1},
        {"ProductInstalled=%PRODUCT%\\app", 1, 1}, // default type 1, a folder counts
        {"ProductInstalled=2,%PRODUCT%\\app\\missing.exe", 0, 1},
        {"ProductInstalled=3,HKLM/SOFTWARE/Vendor/App/Path", 1, 1},
        {"ProductInstalled=4,HKLM/SOFTWARE/Vendor/App/Missing", 0, 1},
        {"ProductInstalled=5,HKLM/SOFTWARE/Vendor/App/x", 1, 1},
        {"ProductInstalled=5,HKLM/SOFTWARE/Vendor/Other/x", 0, 1},
        {"ProductInstalled=5,HKBOGUS/SOFTWARE/Vendor/App/x", 0, 1},
        {"ProductInstalled=9,x", 0, 1},
        {"ProductVersion=4,HKLM/SOFTWARE/Vendor/App/Version\r\nProductInstalled=6,2.0", 1, 1},
        {"ProductVersion=4,HKLM/SOFTWARE/Vendor/App/Version\r\nProductInstalled=6,2.0.0.1", 0, 1},
        {"ProductVersion=4,HKLM/SOFTWARE/Vendor/App/Version\r\nProductInstalled=7,2.1", 1, 1},
        {"ProductVersion=4,HKLM/SOFTWARE/Vendor/App/Version\r\nCriteria=0,3.0", 1, 1},
        {"ProductVersion=4,HKLM/SOFTWARE/Vendor/App/Version\r\nCriteria=1,3.0", 1, 0},
        {"ProductVersion=4,HKLM/SOFTWARE/Vendor/App/Version\r\nCriteria=1,2.0", 1, 1},
        {"Criteria=1,0", 1, 1}, // a version 0 leaves the result
        {"Criteria=1", 1, 1},   // so does a text without a type
    };
    for (const auto& c : cases) {
        ProductState s = Evaluate(c.keys);
        EXPECT_EQ(s.installed, c.installed) << c.keys;
        EXPECT_EQ(s.criteria_met, c.met) << c.keys;
    }
    EXPECT_NE(m.log().find("... IS INSTALLED"), std::string::npos);
    EXPECT_NE(m.log().find("... NO INSTALLED"), std::string::npos);
}

TEST_F(EngineCriteria, ProductPathAndVersionSources) {
    EXPECT_EQ(Evaluate("ProductPath=2,HKLM/SOFTWARE/Vendor/App/Path").product_path, m.path("product/app"));
    EXPECT_EQ(plat::get_environment("PRODUCT"), m.path("product/app"));
    EXPECT_EQ(Evaluate("RegistryPath=HKLM/SOFTWARE/Vendor/App/Dir").product_path,
              m.path("product/app") + "\\data");
    // ProductPath counts over RegistryPath; an empty result leaves the path.
    EXPECT_EQ(Evaluate("RegistryPath=HKLM/SOFTWARE/Vendor/App/Dir\r\nProductPath=/opt/x").product_path,
              "/opt/x");
    EXPECT_EQ(Evaluate("ProductPath=1,HKLM/SOFTWARE/Vendor/App/Missing").product_path, m.ctx.product_folder);

    kltest::write_file(m.dir / "KLClient.INI",
                       "[Versions]\r\nApp=3.1\r\n[Paths]\r\nApp=/srv/app/bin/app\r\n");
    m.ctx.server_list_file = m.path("KLClient.INI");
    EXPECT_EQ(Evaluate("ProductVersion=5,Versions,App").version, klc::ParseVersion("3.1"));
    EXPECT_EQ(Evaluate("ProductPath=4,Paths,App").product_path, "/srv/app/bin");
    EXPECT_EQ(Evaluate("ProductVersion=4,HKLM/SOFTWARE/Vendor/App/Number").version, 0x10u);
#ifdef KL_ENGINE_PE_LIBRARY
    plat::copy_file(KL_ENGINE_PE_LIBRARY, m.path("product/app/lib.dll"));
    EXPECT_EQ(Evaluate("ProductVersion=1," + m.path("product/app/lib.dll")).version,
              klc::ParseVersion("2.3.4.5"));
#endif
}

TEST_F(EngineCriteria, DestinationKeys) {
    plat::registry().set_string(plat::Hive::ClassesRoot, "CLSID\\{1234}\\InprocServer32", "",
                                "/mods/x/module.so");
    struct Case {
        std::string keys;
        bool replaced;
        std::string path;
    } cases[] = {
        {"", false, "start"},
        {"DestinationPath=C:\\Dest", true, "C:\\Dest"},
        {"DestinationPath=%PROGRAM FILES%\\App", true, m.path("pf") + "\\App"},
        {"DestinationPath=1,HKLM/SOFTWARE/Vendor/App/Dir", true, m.path("product") + "\\data"},
        {"DestinationPath=2,HKLM/SOFTWARE/Vendor/App/Path", true, m.path("product/app")},
        {"DestinationPath=1,HKLM/SOFTWARE/Vendor/App/Missing", false, "start"},
        {"DestinationPath=7,x", false, "start"},
        // A class id gives the folder of the module registered for it.
        {"CLSID={1234}", true, "/mods/x"},
        {"CLSID={9999}", false, "start"},
        {"CLSID={1234}\r\nDestinationPath=/other", true, "/other"},
    };
    for (const auto& c : cases) {
        std::string path = "start";
        InfFile inf = InfFile::Parse("[File1]\r\n" + c.keys);
        EXPECT_EQ(klc::EvaluateDestination(m.ctx, inf, "File1", path), c.replaced) << c.keys;
        EXPECT_EQ(path, c.path) << c.keys;
    }
}

TEST_F(EngineCriteria, CompareTestOnTheTargetFile) {
    std::string target = m.path("product/target.dll");
    kltest::write_file(target, "12345");
    auto when = klc::ParseDate("06/22/2001 14:05:00", true);
    ASSERT_TRUE(when);
    plat::set_file_modified(target, *when);
    auto second_later = plat::FileTime{when->ticks + plat::kFileTimeTicksPerSecond};

    EXPECT_EQ(klc::CompareFlags(std::nullopt, std::nullopt), -1);
    EXPECT_EQ(klc::CompareFlags(0, std::nullopt), 0);
    EXPECT_EQ(klc::CompareFlags(0, 11), klc::cmp::NewerVersion);
    EXPECT_EQ(klc::CompareFlags(0, 12), klc::cmp::OlderTime);
    EXPECT_EQ(klc::CompareFlags(0, 3), klc::cmp::OtherSize);
    EXPECT_EQ(klc::CompareFlags(0x10, 0), -1);
    EXPECT_EQ(klc::CompareFlags(0x10, -5), 0x10);

    struct Case {
        const char* name;
        std::string file;
        int32_t flags;
        std::optional<plat::FileTime> date;
        int32_t size;
        uint64_t version;
        bool install;
    } cases[] = {
        {"always", "target.dll", -1, when, 5, 0, true},
        {"flags 0, existing", "target.dll", 0, when, 5, 0, false},
        {"flags 0, missing", "missing.dll", 0, when, 5, 0, true},
        {"missing, 0x20", "missing.dll", 0x20, when, 5, 0, false},
        {"same time, older test", "target.dll", klc::cmp::OlderTime, when, 5, 0, false},
        {"entry a second newer", "target.dll", klc::cmp::OlderTime, second_later, 5, 0, true},
        {"same time test", "target.dll", klc::cmp::SameTime, when, 5, 0, true},
        {"entry without date", "target.dll", klc::cmp::OlderTime, std::nullopt, 5, 0, false},
        {"same size", "target.dll", klc::cmp::OtherSize, when, 5, 0, false},
        {"other size", "target.dll", klc::cmp::OtherSize, when, 6, 0, true},
        {"no version resource", "target.dll", klc::cmp::NewerVersion, when, 5, klc::ParseVersion("1.0"),
         true},
        {"version 0 against none", "target.dll", klc::cmp::NewerVersion, when, 5, 0, false},
    };
    for (const auto& c : cases) {
        klc::InstallTest t{"%PRODUCT%", c.file, c.flags, c.date, c.size, c.version};
        EXPECT_EQ(klc::DecideInstall(m.ctx, t), c.install) << c.name;
    }
#ifdef KL_ENGINE_PE_LIBRARY
    plat::copy_file(KL_ENGINE_PE_LIBRARY, m.path("product/lib.dll"));
    klc::InstallTest same{"", "lib.dll", klc::cmp::NewerVersion, when, 0, klc::ParseVersion("2.3.4.5")};
    EXPECT_FALSE(klc::DecideInstall(m.ctx, same));
    same.flags = klc::cmp::SameVersion;
    EXPECT_TRUE(klc::DecideInstall(m.ctx, same));
    same.flags = klc::cmp::NewerVersion;
    same.version = klc::ParseVersion("2.3.4.6");
    EXPECT_TRUE(klc::DecideInstall(m.ctx, same));
#endif
}

} // namespace
