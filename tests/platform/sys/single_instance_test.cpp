#include "platform/sys/single_instance.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <mutex>
#include <vector>

#include "platform/sys/process.h"
#include "support/temp_dir.h"

using namespace plat;

TEST(SysSingleInstance, SecondInstanceIsRefusedAndRaisesTheFirst) {
    kltest::TempDir dir;
    std::mutex m;
    std::vector<std::string> received;
    auto first = std::make_unique<SingleInstance>(dir.str() + "/run", "KLClient");
    ASSERT_TRUE(first->acquire([&](const std::string& msg) {
        std::lock_guard lock(m);
        received.push_back(msg);
    }));
    EXPECT_TRUE(first->is_first());

    SingleInstance second(dir.str() + "/run", "KLClient");
    SysError err = SysError::Success;
    EXPECT_FALSE(second.acquire(nullptr, &err));
    EXPECT_EQ(err, SysError::SharingViolation);
    EXPECT_FALSE(second.is_first());
    EXPECT_TRUE(second.send_to_first("raise"));
    EXPECT_TRUE(second.send_to_first(std::string(5000, 'x')));
    {
        std::lock_guard lock(m);
        ASSERT_EQ(received.size(), 2u);
        EXPECT_EQ(received[0], "raise");
        EXPECT_EQ(received[1].size(), 5000u);
    }

    // Another name is another instance.
    SingleInstance other(dir.str() + "/run", "KLDesigner");
    EXPECT_TRUE(other.acquire(nullptr));

    // Once the first ends, nobody listens and the next start is the first.
    first.reset();
    EXPECT_FALSE(second.send_to_first("raise", 100));
    EXPECT_TRUE(second.acquire(nullptr));
}

// Run as a separate program by the test below: the started copy of this test
// program plays the second instance.
TEST(SysSingleInstance, ChildPlaysTheSecondInstance) {
    const char* folder = std::getenv("KL_SECOND_INSTANCE_FOLDER");
    if (!folder) GTEST_SKIP() << "only run as the second instance of another test";
    SingleInstance second(folder, "KLClient");
    SysError err = SysError::Success;
    ASSERT_FALSE(second.acquire(nullptr, &err));
    ASSERT_EQ(err, SysError::SharingViolation);
    ASSERT_TRUE(second.send_to_first("raise from another process"));
}

TEST(SysSingleInstance, AnotherProcessIsRefusedAndRaisesTheFirst) {
    kltest::TempDir dir;
    std::mutex m;
    std::string received;
    SingleInstance first(dir.str(), "KLClient");
    ASSERT_TRUE(first.acquire([&](const std::string& msg) {
        std::lock_guard lock(m);
        received = msg;
    }));
    Environment env = Environment::from_process();
    env.set("KL_SECOND_INSTANCE_FOLDER", dir.str());
    Process child;
    StartOptions opt;
    opt.environment = &env;
    ASSERT_EQ(child.start(
                  {current_program_path(), "--gtest_filter=SysSingleInstance.ChildPlaysTheSecondInstance"}, opt),
              SysError::Success);
    ASSERT_EQ(child.wait(60000), WaitOutcome::Exited);
    EXPECT_EQ(child.exit_code(), 0);
    std::lock_guard lock(m);
    EXPECT_EQ(received, "raise from another process");
}
