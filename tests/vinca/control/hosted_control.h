#pragma once
// A control created by class id from the registered library inside a host
// widget and driven through IDispatch: the fixture of the window tests.
#include <gtest/gtest.h>

#include <string_view>
#include <vector>

#include "platform/com/dispatch_client.h"
#include "platform/com/loader.h"
#include "platform/forms/control_host.h"

namespace kltest {

class HostedControl : public ::testing::Test {
  protected:
    static constexpr plat::CLSID kControl = plat::make_guid("9D998150-B884-11CE-8D47-444553540000");

    void SetUp() override {
        ASSERT_EQ(plat::call_library_registration(KL_VINCA5_PATH, false), plat::S_OK);
        host.resize(240, 160);
        host.show();
        ctl = host.create(kControl);
        ASSERT_TRUE(ctl);
    }

    plat::Variant get(std::string_view name, std::initializer_list<plat::Variant> index = {}) {
        plat::Variant v;
        plat::CallError e;
        std::vector<plat::Variant> args(index);
        EXPECT_EQ(plat::dispatch_get(ctl.get(), name, v, args, &e), plat::S_OK) << name << ": " << e.number;
        return v;
    }
    uint16_t get_error(std::string_view name, std::initializer_list<plat::Variant> index = {}) {
        plat::Variant v;
        plat::CallError e;
        std::vector<plat::Variant> args(index);
        plat::dispatch_get(ctl.get(), name, v, args, &e);
        return e.number;
    }
    void put(std::string_view name, const plat::Variant& value,
             std::initializer_list<plat::Variant> index = {}) {
        plat::CallError e;
        std::vector<plat::Variant> args(index);
        EXPECT_EQ(plat::dispatch_put(ctl.get(), name, value, args, &e), plat::S_OK)
            << name << ": " << e.number;
    }
    uint16_t put_error(std::string_view name, const plat::Variant& value,
                       std::initializer_list<plat::Variant> index = {}) {
        plat::CallError e;
        std::vector<plat::Variant> args(index);
        plat::dispatch_put(ctl.get(), name, value, args, &e);
        return e.number;
    }
    plat::Variant call(std::string_view name, std::vector<plat::Variant> args = {}) {
        plat::Variant v;
        plat::CallError e;
        EXPECT_EQ(plat::dispatch_call(ctl.get(), name, args, &v, &e), plat::S_OK) << name << ": " << e.number;
        return v;
    }
    uint16_t call_error(std::string_view name, std::vector<plat::Variant> args = {}) {
        plat::Variant v;
        plat::CallError e;
        plat::dispatch_call(ctl.get(), name, args, &v, &e);
        return e.number;
    }

    plat::forms::ControlHost host;
    plat::ComPtr<plat::IDispatch> ctl;
};

} // namespace kltest
