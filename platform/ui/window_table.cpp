#include "platform/ui/window_table.h"

namespace plat::ui {

HandleTable<QWidget>& Windows() {
    static HandleTable<QWidget> table;
    return table;
}

QWidget* WindowFromHandle(uint32_t handle) {
    return Windows().get(handle);
}

} // namespace plat::ui
