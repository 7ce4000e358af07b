// An update that installs a server library with the "register" action: the
// library is registered only when its version information asks for it.
#include <gtest/gtest.h>

#include <filesystem>
#include <map>

#include "client/engine/catalogue_load.h"
#include "client/engine/errors.h"
#include "client/engine/install.h"
#include "engine_fixture.h"
#include "engine_publish.h"
#include "platform/com/dispatch_client.h"
#include "platform/com/errors.h"
#include "platform/com/loader.h"
#include "platform/com/server.h"
#include "platform/config/registry.h"
#include "platform/fileinfo/version_info.h"
#include "selfreg_server.h"
#include "support/servers.h"

namespace {

namespace fs = std::filesystem;
using plat::Hive;

// Publishes `library` as "answer.so" with the register action and installs
// the update on a fresh machine.
struct RegisterUpdate {
    engine_test::Machine m;
    klc::IClientHost host;
    klc::CCatalogue cat;
    klc::CUpdateInstaller installer{m.ctx, host};

    explicit RegisterUpdate(const std::string& library) {
        engine_test::Publication pub;
        pub.web_location = "file://" + m.path("server");
        engine_test::PublishedFile module{"answer.so", kltest::read_file(library)};
        module.action = klc::ACTION_COPY_REGISTER;
        pub.files = {module};
        engine_test::Publish(m.path("server"), pub);
        engine_test::ReadPublished(m.ctx, cat, m.path("server"), pub.web_location + "/Products.INF");
        installer.LoadUpdates(cat, klc::CTransferSettings{}, klc::CRequestInfo{});
    }
    std::string installed() const { return m.path("product/answer.so"); }
};

TEST(SelfRegister, DeclaringModuleIsRegisteredAndCreatedByProgId) {
    auto info = plat::read_version_info(KL_SELFREG_DECLARES);
    ASSERT_TRUE(info && info->has_string("OLESelfRegister")) << "the build did not embed the version block";

    RegisterUpdate t(KL_SELFREG_DECLARES);
    ASSERT_EQ(t.installer.PageResult(), 0) << t.m.log();
    EXPECT_NE(t.m.log().find("... Registered."), std::string::npos);

    // The keys name the installed copy, not the file the update came from.
    plat::Registry& reg = plat::registry();
    const std::string key = plat::clsid_key(selfreg::kClsid);
    EXPECT_EQ(reg.get_string(Hive::ClassesRoot, key + "\\InprocServer32", ""),
              fs::canonical(t.installed()).string());
    EXPECT_EQ(reg.get_string(Hive::ClassesRoot, std::string(selfreg::kProgId) + "\\CLSID", ""),
              plat::guid_to_string(selfreg::kClsid));

    plat::ComPtr<plat::IDispatch> obj;
    ASSERT_EQ(plat::create_instance(selfreg::kProgId, plat::IID_IDispatch, obj.put_void()), plat::S_OK);
    plat::Variant answer;
    ASSERT_EQ(plat::dispatch_get(obj.get(), "Answer", answer), plat::S_OK);
    EXPECT_EQ(answer.lVal, 42);
}

// Without the request the module is never loaded; the failed update is
// rolled back and nothing is registered.
TEST(SelfRegister, SilentModuleIsNotRegistered) {
    auto info = plat::read_version_info(KL_SELFREG_SILENT);
    ASSERT_TRUE(info && info->query_string("FileVersion") == "1.4.0.7" &&
                !info->has_string("OLESelfRegister"));

    RegisterUpdate t(KL_SELFREG_SILENT);
    EXPECT_EQ(t.installer.PageResult(), klc::ERR_REGISTER);
    EXPECT_EQ(t.m.ctx.last_system_error, static_cast<int32_t>(plat::SysError::InvalidData));
    EXPECT_NE(t.m.log().find("Unable to register file."), std::string::npos);
    EXPECT_FALSE(fs::exists(t.installed()));

    EXPECT_FALSE(plat::registry().key_exists(Hive::ClassesRoot, plat::clsid_key(selfreg::kClsid)));
    plat::ComPtr<plat::IDispatch> obj;
    EXPECT_EQ(plat::create_instance(selfreg::kProgId, plat::IID_IDispatch, obj.put_void()),
              plat::CO_E_CLASSSTRING);
}

} // namespace

namespace {

// Every key and value below a key of the classes root, as "key\name=value".
std::map<std::string, std::string> Classes(const std::string& key = {}) {
    std::map<std::string, std::string> out;
    plat::Registry& reg = plat::registry();
    std::vector<plat::RegValueEntry> values;
    reg.enum_values(Hive::ClassesRoot, key, values);
    for (const auto& v : values)
        out[key + "\\" + v.name] = v.value.as_string();
    std::vector<std::string> children;
    reg.enum_keys(Hive::ClassesRoot, key, children);
    for (const auto& child : children)
        out.merge(Classes(key.empty() ? child : key + "\\" + child));
    if (values.empty() && children.empty()) out[key] = "(empty key)";
    return out;
}

// An update served over HTTP on loopback, installed in automatic mode on a
// fresh machine; `failing` names the file whose copy fails.
struct ServedUpdate {
    kltest::TempDir root;
    std::unique_ptr<kltest::NginxServer> nginx;
    engine_test::Machine m;
    klc::IClientHost host;
    klc::CCatalogue cat;
    klc::CUpdateInstaller installer{m.ctx, host};

    bool Publish(std::vector<engine_test::PublishedFile> files) {
        if (!kltest::have_program("nginx")) return false;
        nginx = std::make_unique<kltest::NginxServer>(root.str());
        if (!nginx->start()) return false;
        engine_test::Publication pub;
        pub.web_location = nginx->url("/updates");
        pub.files = std::move(files);
        engine_test::Publish((root.path() / "updates").string(), pub);
        return true;
    }
    int32_t Run(const std::string& failing) {
        klc::CTransferSettings settings;
        settings.proxy_mode = klc::PROXY_DIRECT;
        m.ctx.current_server.url = nginx->url("/updates/Products.INF");
        EXPECT_EQ(klc::LoadCatalogue(m.ctx, host, cat, settings, klc::CRequestInfo{}), 0) << m.log();
        for (auto& p : cat.products)
            for (auto& u : p.updates)
                u.selected = 1;
        installer.SetFaultHook([failing](klc::InstallStep step, const std::string& path) {
            return step == klc::STEP_COPY && fs::path(path).filename() == failing
                       ? int32_t(plat::SysError::DiskFull)
                       : 0;
        });
        installer.LoadUpdates(cat, settings, klc::CRequestInfo{});
        return installer.PageResult();
    }
};

engine_test::PublishedFile Module() {
    engine_test::PublishedFile module{"answer.so", kltest::read_file(KL_SELFREG_DECLARES)};
    module.action = klc::ACTION_COPY_REGISTER;
    return module;
}

TEST(SelfRegister, AFailedStepStopsItsUpdateBeforeRegisterAndRun) {
    engine_test::PublishedFile run{"run.sh", "#!/bin/sh\necho ran > \"$(dirname \"$0\")/ran.txt\"\n"};
    run.action = klc::ACTION_COPY_RUN_WAIT;
    ServedUpdate t;
    if (!t.Publish({engine_test::PublishedFile{"first.txt", "first"}, Module(), run}))
        GTEST_SKIP() << "nginx is not available";
    const auto classes = Classes();

    EXPECT_EQ(t.Run("first.txt"), klc::ERR_COPY) << t.m.log();
    EXPECT_FALSE(fs::exists(t.m.path("product/ran.txt"))) << "the program ran";
    EXPECT_EQ(t.m.log().find("... Registered."), std::string::npos);
    EXPECT_EQ(Classes(), classes);
    plat::ComPtr<plat::IDispatch> obj;
    EXPECT_EQ(plat::create_instance(selfreg::kClsid, plat::IID_IDispatch, obj.put_void()),
              plat::REGDB_E_CLASSNOTREG);
    EXPECT_TRUE(fs::is_empty(t.m.path("product")));
}

// The module is registered, then a later step of its update fails: the
// rollback takes the registration away, or puts back the one it replaced.
TEST(SelfRegister, ARollbackTakesBackTheRegistration) {
    for (bool earlier : {false, true}) {
        SCOPED_TRACE(earlier ? "replacing an earlier registration" : "a new registration");
        ServedUpdate t;
        if (!t.Publish({Module(), engine_test::PublishedFile{"later.txt", "later"}}))
            GTEST_SKIP() << "nginx is not available";
        plat::Registry& reg = plat::registry();
        const std::string key = plat::clsid_key(selfreg::kClsid);
        if (earlier) {
            reg.set_string(Hive::ClassesRoot, key, "", "Earlier sample");
            reg.set_string(Hive::ClassesRoot, key + "\\InprocServer32", "", "/opt/earlier/answer.so");
            reg.set_string(Hive::ClassesRoot, key + "\\InprocServer32", "ThreadingModel", "Both");
            reg.set_string(Hive::ClassesRoot, selfreg::kProgId, "", "Earlier sample");
            reg.set_string(Hive::ClassesRoot, std::string(selfreg::kProgId) + "\\CLSID", "",
                           plat::guid_to_string(selfreg::kClsid));
        }
        const auto classes = Classes();

        EXPECT_EQ(t.Run("later.txt"), klc::ERR_COPY) << t.m.log();
        EXPECT_NE(t.m.log().find("... Registered."), std::string::npos);
        EXPECT_FALSE(fs::exists(t.m.path("product/answer.so")));
        EXPECT_EQ(Classes(), classes);
        if (!earlier) {
            EXPECT_FALSE(reg.key_exists(Hive::ClassesRoot, key));
            EXPECT_FALSE(reg.key_exists(Hive::ClassesRoot, selfreg::kProgId));
            plat::ComPtr<plat::IDispatch> obj;
            EXPECT_EQ(plat::create_instance(selfreg::kClsid, plat::IID_IDispatch, obj.put_void()),
                      plat::REGDB_E_CLASSNOTREG);
        }
    }
}

} // namespace
