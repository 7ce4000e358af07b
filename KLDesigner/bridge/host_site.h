#pragma once
// The designer as the container of its hidden tree-list controls: the form
// runtime's control site without a window. It creates a control by class
// id, is its client site in run mode and opens binary files under numbers
// that the control reads and writes through the host-file interface.
#include <cstdint>
#include <cstdio>
#include <filesystem>

#include "platform/com/dispatch_client.h"
#include "platform/com/unknown.h"
#include "platform/forms/control_site.h"

namespace kld {

class CHostSite : public plat::forms::ControlSite {
  public:
    CHostSite();

    // Creates the control, gives it this site and starts it fresh; null on
    // failure (`hr` receives the creation's result).
    plat::ComPtr<plat::IDispatch> Create(const plat::CLSID& clsid, plat::HRESULT* hr = nullptr) {
        return create(clsid, hr);
    }
    // Takes the site back from every control it was given to.
    void ReleaseAll() { release_all(); }

    // Files by number, opened in binary mode: `write` creates or truncates.
    // 0 when the file cannot be opened; numbers start at 1. As in a form
    // runtime the numbers belong to the process, not to one site: a control
    // may reach a file through any live site.
    static int16_t OpenFile(const std::filesystem::path& path, bool write) {
        return open_file_number(path, write);
    }
    // Closes the number; false when closing (flushing) failed.
    static bool CloseFile(int16_t number) { return close_file_number(number); }
    static std::FILE* File(int16_t number) { return file_by_number(number); }

    plat::IUnknown* SiteObject() { return as_unknown(); }
};

} // namespace kld
