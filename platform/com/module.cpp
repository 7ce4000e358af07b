#include <atomic>

#include "platform/com/object.h"

namespace plat {

namespace {
std::atomic<uint32_t> g_module_refs{0};
}

void module_add_ref() {
    ++g_module_refs;
}
void module_release() {
    --g_module_refs;
}
uint32_t module_ref_count() {
    return g_module_refs.load();
}

} // namespace plat
