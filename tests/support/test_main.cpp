// Shared main of every test program: pins the locale so that text comparison
// and formatting are the same on every machine, and gives each test a fresh
// emulated machine (registry store and system folders) of its own.
#include "support/temp_dir.h"

#include "platform/sys/environment.h"

#include <clocale>
#include <cstdlib>
#include <gtest/gtest.h>
#include <memory>

namespace {

class FreshMachine : public testing::EmptyTestEventListener {
public:
    void OnTestStart(const testing::TestInfo&) override {
        m_root = std::make_unique<kltest::TempDir>();
        setenv("KL_MACHINE_ROOT", m_root->str().c_str(), 1);
        // The process's variable map starts again from the real environment,
        // so programs a test starts see this test's machine, and what an
        // earlier test set (PRODUCT, TEMP, ...) does not leak into it.
        plat::Environment::process() = plat::Environment::from_process();
    }
    void OnTestEnd(const testing::TestInfo&) override {
        unsetenv("KL_MACHINE_ROOT");
        m_root.reset();
    }

private:
    std::unique_ptr<kltest::TempDir> m_root;
};

} // namespace

int main(int argc, char** argv) {
    setenv("LC_ALL", "C.UTF-8", 1);
    setenv("TZ", "UTC", 1);
    std::setlocale(LC_ALL, "C.UTF-8");
    testing::InitGoogleTest(&argc, argv);
    testing::UnitTest::GetInstance()->listeners().Append(new FreshMachine);
    return RUN_ALL_TESTS();
}
