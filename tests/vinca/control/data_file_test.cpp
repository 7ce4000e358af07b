// The control's own data file restored while its container is busy with it:
// a container that sets the extent meanwhile gets success, and the control
// keeps the size it had.
#include <gtest/gtest.h>

#include "platform/com/dispatch_client.h"
#include "support/bare_site.h"
#include "support/temp_dir.h"
#include "vinca/control/control.h"

using plat::Variant;

namespace {

// A site whose ambient reads resize the control they came from.
class ResizingSite final : public kltest::BareSite {
  public:
    plat::HRESULT Invoke(plat::DISPID, plat::REFIID, plat::LCID, uint16_t, plat::DISPPARAMS*, plat::VARIANT*,
                         plat::EXCEPINFO*, uint32_t*) override {
        if (resize && ctl) {
            plat::SIZEL tiny{10, 10};
            if (ctl->SetExtent(plat::DVASPECT_CONTENT, &tiny) == plat::S_OK) ++resizes;
        }
        return plat::DISP_E_MEMBERNOTFOUND; // no ambients: run mode, pixels
    }

    vinca::CVincaCtrl* ctl{nullptr};
    bool resize{false};
    int resizes{0};
};

} // namespace

TEST(ControlDataFile, ExtentSetWhileLoadingIsAnsweredAndIgnored) {
    kltest::TempDir dir;
    const std::string path = (dir.path() / "control.dat").string();
    ResizingSite site;
    auto ctl = plat::make_object<vinca::CVincaCtrl>();
    site.ctl = ctl.get();
    ASSERT_EQ(ctl->SetClientSite(&site), plat::S_OK);
    ASSERT_EQ(ctl->InitNew(), plat::S_OK);
    plat::SIZEL size{5000, 3000};
    ASSERT_EQ(ctl->SetExtent(plat::DVASPECT_CONTENT, &size), plat::S_OK);
    ASSERT_EQ(plat::dispatch_put(ctl.get(), "ShiftStep", Variant(25.0f)), plat::S_OK);
    ASSERT_EQ(ctl->SaveData(path), 0);

    site.resize = true;
    ASSERT_EQ(ctl->LoadData(path), 0);
    site.resize = false;
    EXPECT_GT(site.resizes, 0) << "the container never got the chance";
    plat::SIZEL now{};
    ASSERT_EQ(ctl->GetExtent(plat::DVASPECT_CONTENT, &now), plat::S_OK);
    EXPECT_EQ(now.cx, 5000);
    EXPECT_EQ(now.cy, 3000);

    // Once loaded, the extent follows the container again.
    plat::SIZEL later{800, 600};
    ASSERT_EQ(ctl->SetExtent(plat::DVASPECT_CONTENT, &later), plat::S_OK);
    ASSERT_EQ(ctl->GetExtent(plat::DVASPECT_CONTENT, &now), plat::S_OK);
    EXPECT_EQ(now.cx, 800);
    ASSERT_EQ(ctl->SetClientSite(nullptr), plat::S_OK);
}
