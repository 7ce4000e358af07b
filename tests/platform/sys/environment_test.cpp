#include "platform/sys/environment.h"

#include <gtest/gtest.h>

#include <thread>

using namespace plat;

TEST(SysEnvironment, ExpandsReferencesAndLeavesUnknownOnesAlone) {
    Environment env;
    env.set("WINDIR", "/m/Windows");
    env.set("Program Files", "/m/Program Files");
    env.set("EMPTY", "");
    env.set("LOOP", "%WINDIR%");
    struct Case {
        const char* in;
        const char* out;
    } cases[] = {
        {"%WINDIR%\\Temp", "/m/Windows\\Temp"},
        {"%windir%", "/m/Windows"},
        {"%PROGRAM FILES%/x", "/m/Program Files/x"},
        {"%NOPE%/x", "%NOPE%/x"},
        {"100% of %WINDIR%", "100% of /m/Windows"},
        {"%NOPE%WINDIR%", "%NOPE/m/Windows"},
        {"a%%b", "a%%b"},
        {"50%", "50%"},
        {"[%EMPTY%]", "[]"},
        {"%LOOP%", "%WINDIR%"}, // one pass only
        {"", ""},
    };
    for (const auto& c : cases)
        EXPECT_EQ(env.expand(c.in), c.out) << c.in;
}

TEST(SysEnvironment, NamesIgnoreCaseAndBadNamesAreRefused) {
    Environment env;
    EXPECT_TRUE(env.set("Temp", "/a"));
    EXPECT_TRUE(env.set("TEMP", "/b"));
    EXPECT_EQ(env.get("temp"), "/b");
    ASSERT_EQ(env.entries().size(), 1u);
    EXPECT_EQ(env.entries()[0].first, "TEMP");
    EXPECT_EQ(env.to_envp(), std::vector<std::string>{"TEMP=/b"});
    EXPECT_FALSE(env.set("", "x"));
    EXPECT_FALSE(env.set("A=B", "x"));
    env.unset("tEMP");
    EXPECT_FALSE(env.contains("TEMP"));
    EXPECT_EQ(env.value("TEMP"), "");
}

TEST(SysEnvironment, ProcessMapStartsFromTheRealEnvironment) {
    ::setenv("KL_ENV_PROBE", "yes", 1);
    EXPECT_EQ(Environment::from_process().get("kl_env_probe"), "yes");
    EXPECT_TRUE(get_environment("PATH").has_value());
}

TEST(SysEnvironment, ConcurrentReadersAndWriters) {
    Environment env;
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t)
        threads.emplace_back([&env, t] {
            for (int i = 0; i < 2000; ++i) {
                env.set("V" + std::to_string(t), std::to_string(i));
                EXPECT_EQ(env.expand("%V" + std::to_string(t) + "%"), std::to_string(i));
            }
        });
    for (auto& th : threads)
        th.join();
    EXPECT_EQ(env.entries().size(), 4u);
}
