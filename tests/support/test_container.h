#pragma once
// A container without a window for controls under test: the form runtime's
// control site with no window behind it. It creates a control by class id
// and is its site. It answers the ambients UserMode and ScaleUnits
// (settable; pixels unless set), transforms HIMETRIC to its own units
// (HIMETRIC, or points when asked), hands out the extended control with
// "Drag", "DragIcon", "DragMode", "Tag"..., and opens real files under file
// numbers that the control reads and writes through the host-file interface.
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <set>
#include <string>

#include "platform/com/dispatch_client.h"
#include "platform/com/ole.h"
#include "platform/com/persist.h"
#include "platform/forms/control_site.h"

namespace kltest {

class TestContainer : public plat::forms::ControlSite {
  public:
    TestContainer();
    ~TestContainer() override;

    // Files by number, as a form runtime opens them in binary mode. `write`
    // creates (truncates) the file; numbers start at 1. The container closes
    // those it opened when it goes.
    int16_t open_file(const std::filesystem::path& path, bool write);
    void close_file(int16_t number);
    std::FILE* file(int16_t number) const { return file_by_number(number); }

    // The site object (IOleClientSite, IOleControlSite, IDispatch, IHostFiles).
    plat::IUnknown* site_object() { return as_unknown(); }

  private:
    std::set<int16_t> m_files;
};

} // namespace kltest
