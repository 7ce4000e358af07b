#pragma once
// What the wizard's pages share: the run's context and settings, the prompt
// every question goes through, the restarter, the clock, what the server
// offers, and the update icons loaded for the tree.
#include <QImage>
#include <chrono>
#include <cstdint>
#include <mutex>
#include <vector>

#include "client/engine/context.h"
#include "client/engine/host.h"
#include "client/engine/product.h"
#include "client/ui/settings.h"
#include "platform/ui/prompt.h"

namespace klc {

class IClock {
  public:
    virtual ~IClock() = default;
    virtual int64_t NowMs() const = 0;
};

class SteadyClock : public IClock {
  public:
    int64_t NowMs() const override {
        using namespace std::chrono;
        return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
    }
};

// Update icons decoded on the worker (as images only, never pixmaps) and
// shown by the tree page. The first icon is image 8: the tree's own eight
// images come first.
class CUpdateIcons {
  public:
    static constexpr int64_t kMaxFileBytes = 1 << 20;
    static constexpr int kMaxSide = 256;
    static constexpr int kFirstIndex = 8;

    // Decodes the file at 16×16, as an icon or else as a bitmap (white is
    // transparent in a bitmap). The image index, or -1 when refused.
    int32_t Load(const std::string& path);
    std::vector<QImage> Images() const;

  private:
    mutable std::mutex m_mutex;
    std::vector<QImage> m_images;
};

struct WizardEnv {
    CClientContext& ctx;
    ClientSettings& stored;
    ConnectionSettings& run;
    plat::ui::IPrompt& prompt;
    IRestarter& restarter;
    const IClock& clock;
    CCatalogue catalogue{};
    CUpdateIcons icons{};
};

} // namespace klc
