#include "child_process.h"

#include <exception>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace kltest {

bool run_in_children(int count, const std::function<int(int)>& body) {
    std::vector<pid_t> pids;
    for (int i = 0; i < count; ++i) {
        pid_t pid = ::fork();
        if (pid == 0) {
            int rc = 1;
            try {
                rc = body(i);
            } catch (const std::exception&) {
                rc = 2;
            }
            ::_exit(rc); // no test-framework teardown in the child
        }
        if (pid < 0) return false;
        pids.push_back(pid);
    }
    bool ok = true;
    for (pid_t pid : pids) {
        int status = 0;
        if (::waitpid(pid, &status, 0) != pid || !WIFEXITED(status) || WEXITSTATUS(status) != 0) ok = false;
    }
    return ok;
}

} // namespace kltest
