#pragma once
// A container without a window for controls under test: it creates a control
// by class id and is its site. It answers the ambients UserMode and
// ScaleUnits (settable), transforms HIMETRIC to its own units (HIMETRIC, or
// points when asked), hands out an extender with "Drag", "DragIcon" and
// "DragMode", and opens real files under file numbers that the control reads
// and writes through the host-file interface.
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "platform/com/dispatch_client.h"
#include "platform/com/ole.h"
#include "platform/com/persist.h"
#include "vinca/model/host_file.h"

namespace kltest {

class TestContainer {
  public:
    TestContainer();
    ~TestContainer();
    TestContainer(const TestContainer&) = delete;
    TestContainer& operator=(const TestContainer&) = delete;

    // Creates the control, gives it this site and InitNew; null on failure
    // (`hr` receives the creation's result).
    plat::ComPtr<plat::IDispatch> create(const plat::CLSID& clsid, plat::HRESULT* hr = nullptr);
    // Gives an existing control this site.
    void site(plat::IUnknown* control);
    // Takes the site back from every control and drops the container's
    // references, as a form does when it unloads.
    void release_all();

    // Ambients; a change is announced to every control sited here.
    void set_user_mode(bool run_mode);
    void set_scale_units(std::string units);
    // The container's own units are points (else HIMETRIC) when the scale
    // units name neither pixels nor twips.
    void set_points(bool points) { m_points = points; }
    // Without "Drag" the extender refuses to be a drag source.
    void set_extender_can_drag(bool can) { m_extenderDrag = can; }
    // Without the host-file interface the site answers only the others.
    void set_host_files(bool on) { m_hostFiles = on; }

    // Files by number, as a form runtime opens them in binary mode. `write`
    // creates (truncates) the file; numbers start at 1.
    int16_t open_file(const std::filesystem::path& path, bool write);
    void close_file(int16_t number);

    bool user_mode() const { return m_userMode; }
    const std::string& scale_units() const { return m_scaleUnits; }
    bool points() const { return m_points; }
    bool extender_can_drag() const { return m_extenderDrag; }
    bool host_files() const { return m_hostFiles; }
    std::FILE* file(int16_t number) const;

    // The site object (IOleClientSite, IOleControlSite, IDispatch, IHostFiles).
    plat::IUnknown* site_object() const;

  private:
    class Site;
    void announce(plat::DISPID id);

    Site* m_site;
    std::vector<plat::ComPtr<plat::IUnknown>> m_controls;
    std::map<int16_t, std::FILE*> m_files;
    std::string m_scaleUnits;
    bool m_userMode{true};
    bool m_points{false};
    bool m_extenderDrag{true};
    bool m_hostFiles{true};
};

} // namespace kltest
