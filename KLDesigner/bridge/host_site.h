#pragma once
// The designer as the container of its tree-list controls, without a window:
// it creates a control by class id, is its client site, answers the run-mode
// ambient and opens binary files under numbers that the control reads and
// writes through the host-file interface. The window container grows from it.
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <vector>

#include "platform/com/dispatch_client.h"
#include "platform/com/unknown.h"

namespace kld {

class CHostSite {
  public:
    CHostSite();
    ~CHostSite();
    CHostSite(const CHostSite&) = delete;
    CHostSite& operator=(const CHostSite&) = delete;

    // Creates the control, gives it this site and starts it fresh; null on
    // failure (`hr` receives the creation's result).
    plat::ComPtr<plat::IDispatch> Create(const plat::CLSID& clsid, plat::HRESULT* hr = nullptr);
    // Takes the site back from every control it was given to.
    void ReleaseAll();

    // Files by number, opened in binary mode: `write` creates or truncates.
    // 0 when the file cannot be opened; numbers start at 1. As in a form
    // runtime the numbers belong to the process, not to one site: a control
    // may reach a file through any live site.
    static int16_t OpenFile(const std::filesystem::path& path, bool write);
    // Closes the number; false when closing (flushing) failed.
    static bool CloseFile(int16_t number);
    static std::FILE* File(int16_t number);

    plat::IUnknown* SiteObject() const;

  private:
    class Site;
    Site* m_site;
    std::vector<plat::ComPtr<plat::IUnknown>> m_controls;
};

} // namespace kld
