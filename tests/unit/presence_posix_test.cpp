// The Linux edition's emulators are its children: each is reaped when it
// ends, a launch lasts as long as its process group, and ending them kills
// their process groups and nothing else.
#include <gtest/gtest.h>

#include <chrono>
#include <fstream>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

#include "saver/presence_posix.h"
#include "support/temp_folder.h"

// Waits up to 5 s for done.
template <typename Done> static bool Within5s(Done done)
{
    for (int i = 0; i < 500 && !done(); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    return done();
}

TEST(LaunchedChildren, ReapedWithTheirRunTimeAndEndedWithTheirGroup)
{
    ASSERT_TRUE(LaunchChild({"/bin/sleep", "0.3"}, "/"));
    EXPECT_TRUE(Within5s([] { return !LaunchedChildRunning(); }));
    EXPECT_GE(LaunchedChildRunTime(), 250);
    EXPECT_FALSE(LaunchChild({"/no/such/emulator"}, "/"));
    EXPECT_EQ(-1, waitpid(-1, nullptr, WNOHANG)) << "no child left to reap";

    // A launcher that starts the emulator and returns: the launch lasts as
    // long as its group, and the emulator counts as launched.
    TempFolder folder;
    ASSERT_TRUE(LaunchChild({"/bin/sh", "-c", "sleep 0.6 & echo $! > grandchild"}, folder.path().c_str()));
    int grandchild = 0;
    ASSERT_TRUE(Within5s([&] { return !!(std::ifstream(folder.File("grandchild")) >> grandchild); }))
        << "the child runs in the folder it is given";
    EXPECT_TRUE(IsLaunchedProcess(grandchild));
    EXPECT_FALSE(IsLaunchedProcess(getpid()));
    EXPECT_TRUE(Within5s([] { return !LaunchedChildRunning(); }));
    EXPECT_GE(LaunchedChildRunTime(), 550);

    ASSERT_TRUE(LaunchChild({"/bin/sh", "-c", "sleep 60 & echo $! > grandchild; wait"}, folder.path().c_str()));
    grandchild = 0;
    ASSERT_TRUE(Within5s([&] { return !!(std::ifstream(folder.File("grandchild")) >> grandchild); }));
    EXPECT_EQ(-1, LaunchedChildRunTime());
    EndLaunchedChildren();
    EXPECT_FALSE(LaunchedChildRunning());
    // Gone, or a zombie that nothing here reaps: an orphan of this machine's first process.
    EXPECT_TRUE(Within5s([&] {
        std::string skip, state;
        return !(std::ifstream("/proc/" + std::to_string(grandchild) + "/stat") >> skip >> skip >> state) ||
               state == "Z";
    }));
}
