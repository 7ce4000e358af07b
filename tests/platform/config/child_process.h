#pragma once
// Runs work in forked child processes, as a second program would, and
// reports whether every child finished with exit code 0.
#include <functional>

namespace kltest {

// Starts `count` children at once; child i runs body(i) and exits with its
// result (0 = success). Returns true when all exited normally with 0.
bool run_in_children(int count, const std::function<int(int)>& body);

} // namespace kltest
