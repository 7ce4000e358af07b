#include "platform/ui/process_prompt.h"

#include <atomic>

#include "platform/ui/qt_prompt.h"

namespace plat::ui {

namespace {
std::atomic<IPrompt*> g_prompt{nullptr};
}

IPrompt& ProcessPrompt() {
    if (IPrompt* p = g_prompt.load()) return *p;
    static QtPrompt qt;
    return qt;
}

IPrompt* SetProcessPrompt(IPrompt* prompt) {
    return g_prompt.exchange(prompt);
}

} // namespace plat::ui
