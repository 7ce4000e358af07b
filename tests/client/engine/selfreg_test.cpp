// An update that installs a server library with the "register" action: the
// library is registered only when its version information asks for it.
#include <gtest/gtest.h>

#include <filesystem>

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
