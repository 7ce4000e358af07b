#pragma once
// A control created by class id from the registered library inside a host
// widget and driven through IDispatch: the fixture of the window tests.
#include <gtest/gtest.h>

#include <string_view>
#include <vector>

#include <QtGui/QImage>
#include <QtWidgets/QApplication>
#include <QtWidgets/QWidget>

#include "platform/com/dispatch_client.h"
#include "platform/com/loader.h"
#include "platform/com/safearray.h"
#include "platform/forms/control_host.h"
#include "platform/ui/window_table.h"

namespace kltest {

struct Rect4 {
    int32_t left{0}, top{0}, right{0}, bottom{0};
    int32_t width() const { return right - left; }
    int32_t height() const { return bottom - top; }
    bool empty() const { return right <= left || bottom <= top; }
};

class HostedControl : public ::testing::Test {
  protected:
    static constexpr plat::CLSID kControl = plat::make_guid("9D998150-B884-11CE-8D47-444553540000");

    void SetUp() override {
        ASSERT_EQ(plat::call_library_registration(KL_VINCA5_PATH, false), plat::S_OK);
        host.resize(240, 160);
        host.show();
        ctl = create_control();
        ASSERT_TRUE(ctl);
    }
    // By class id; a fixture may make it by its ProgID instead.
    virtual plat::ComPtr<plat::IDispatch> create_control() { return host.create(kControl); }

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

    // GetItemRect in the container's units: part 1 the row, 2 picture,
    // 4 text, 8 plus/minus.
    Rect4 rect(int32_t index, int16_t part = 1) {
        plat::SAFEARRAY* psa = plat::SafeArrayCreateVector(plat::VT_I4, 0, 4);
        plat::Variant arg;
        arg.vt = plat::VT_BYREF | plat::VT_ARRAY | plat::VT_I4;
        arg.pparray = &psa;
        plat::Variant status;
        const plat::Variant args[] = {plat::Variant(index), plat::Variant(part), arg};
        EXPECT_EQ(plat::dispatch_call(ctl.get(), kGetItemRect, args, &status), plat::S_OK);
        EXPECT_EQ(status.to_i4(), 0) << "item " << index << " part " << part;
        const int32_t* v = static_cast<int32_t*>(psa->pvData);
        Rect4 r{v[0], v[1], v[2], v[3]};
        plat::SafeArrayDestroy(psa);
        return r;
    }
    QWidget* view() { return plat::ui::WindowFromHandle(static_cast<uint32_t>(get("hWnd").to_i4())); }
    QImage shot() {
        QApplication::processEvents();
        return view()->grab().toImage().convertToFormat(QImage::Format_RGB32);
    }

    plat::forms::ControlHost host;
    plat::ComPtr<plat::IDispatch> ctl;

  private:
    static constexpr plat::DISPID kGetItemRect = 83;
};

} // namespace kltest
