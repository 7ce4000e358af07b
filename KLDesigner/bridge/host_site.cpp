#include "KLDesigner/bridge/host_site.h"

namespace kld {

CHostSite::CHostSite() {
    // The hidden controls keep their sizes in pixels, as the stored
    // description files have them.
    set_scale_units({});
}

} // namespace kld
