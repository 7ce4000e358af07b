#include "test_container.h"

namespace kltest {

TestContainer::TestContainer() {
    // Controls under test measure in pixels unless a test names other units.
    set_scale_units({});
}

TestContainer::~TestContainer() {
    release_all();
    for (int16_t n : m_files)
        close_file_number(n);
}

int16_t TestContainer::open_file(const std::filesystem::path& path, bool write) {
    const int16_t n = open_file_number(path, write);
    if (n) m_files.insert(n);
    return n;
}

void TestContainer::close_file(int16_t number) {
    if (m_files.erase(number)) close_file_number(number);
}

} // namespace kltest
