// Runs the copy-on-restart batch the client left under the RunOnce key of the
// registry store (copying files that were in use during an update) and
// deletes its value. Other values found there are not started.
// It stands in for what the machine does at its next start; run it from the
// session's start-up scripts.
#include <cstdio>

#include "client/engine/host.h"

int main() {
    int n = klc::RunOnceCommands();
    std::printf("%d command(s) run\n", n);
    return 0;
}
