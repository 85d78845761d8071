// Signs of an emulator the saver did not launch, and a launch the saver
// follows, against real processes: copies of the stand-in started by "the
// user", and one the presence code launches through the stand-in launcher
// that returns at once. (Closing and ending only what the saver launched are
// seen end to end: tests/e2e/test_drills.py.)
#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "saver/presence.h"
#include "support/test_files.h"

using std::string;

namespace {

template <typename Condition>
bool WaitFor(Condition condition, DWORD ms)
{
    for (DWORD start = GetTickCount(); !condition(); Sleep(50))
        if (GetTickCount() - start > ms)
            return false;
    return true;
}

bool MameWindowShown()
{
    return FindWindowA("MAME", nullptr) != nullptr;
}

bool Runs(const char *exe)
{
    HANDLE process = GetMessProcessHandle(exe);
    return process && CloseHandle(process);
}

// A copy of the stand-in as NAME in a folder of its own, beside the stand-in
// launcher, with fault switches.
struct StandIn {
    string folder, exe;
    StandIn(const string &name, std::initializer_list<const char *> switches)
    {
        char temp[MAX_PATH];
        GetTempPathA(sizeof temp, temp);
        folder = string(temp) + "quillmere-presence-" + std::to_string(GetTickCount()) + "\\";
        CreateDirectoryA(folder.c_str(), nullptr);
        exe = folder + name;
        CopyFileA((ExecutableFolder() + "fakemame.exe").c_str(), exe.c_str(), FALSE);
        CopyFileA((ExecutableFolder() + "fakelaunch.exe").c_str(),
                  (folder + "fakelaunch.exe").c_str(), FALSE);
        for (const char *file : switches)
            CloseHandle(CreateFileA((folder + file).c_str(), GENERIC_WRITE, 0, nullptr,
                                    CREATE_ALWAYS, 0, nullptr));
    }
    string Command() const { return "\"" + exe + "\" game"; }
};

// "The user's own" emulator: started here, not by the saver's code.
struct UserProcess {
    PROCESS_INFORMATION info = {};
    explicit UserProcess(const StandIn &standIn)
    {
        STARTUPINFOA startup = {};
        startup.cb = sizeof startup;
        string command = standIn.Command();
        CreateProcessA(nullptr, &command[0], nullptr, nullptr, FALSE, 0, nullptr,
                       standIn.folder.c_str(), &startup, &info);
    }
    bool Running() const { return WaitForSingleObject(info.hProcess, 0) == WAIT_TIMEOUT; }
    ~UserProcess()
    {
        TerminateProcess(info.hProcess, 1);
        WaitForSingleObject(info.hProcess, 5000);
        CloseHandle(info.hProcess);
        CloseHandle(info.hThread);
    }
};

class Presence : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(WaitFor([] { return !MameWindowShown(); }, 5000)); }
};

}  // namespace

TEST_F(Presence, SignsOfAnEmulatorTheSaverDidNotLaunch)
{
    StandIn windowless("standinmess.exe", {"fake-no-window"});
    {
        UserProcess user(windowless);
        ASSERT_TRUE(WaitFor([&] { return GetMessProcessHandle("standinmess.exe") != nullptr; },
                            5000));
        EXPECT_FALSE(MameWindowShown());
        EXPECT_TRUE(EmulatorPresent("standinmess.exe"));
        // Letter case counts: a name typed otherwise is not the emulator.
        EXPECT_EQ(nullptr, GetMessProcessHandle("StandInMess.exe"));
        EXPECT_FALSE(EmulatorPresent("StandInMess.exe"));
        EXPECT_FALSE(EmulatorPresent(""));
    }
    StandIn windowed("other.exe", {});
    UserProcess user(windowed);
    ASSERT_TRUE(WaitFor(MameWindowShown, 5000));
    EXPECT_TRUE(EmulatorPresent("notthere.exe")) << "any window of class MAME counts";
    AskEmulatorsToClose();
    EXPECT_EQ(WAIT_TIMEOUT, WaitForSingleObject(user.info.hProcess, 1000))
        << "the user's emulator was asked to close";
}

TEST_F(Presence, ALaunchIsFollowedToTheEndOfWhatItStarted)
{
    StandIn standIn("fakemame.exe", {"fake-exit-1500-3"});
    string command = "\"" + standIn.folder + "fakelaunch.exe\" game";
    DWORD launchedAt = GetTickCount();
    ASSERT_TRUE(LaunchEmulator(&command[0], standIn.folder.c_str()));
    ASSERT_TRUE(WaitFor([] { return MameWindowShown() && !Runs("fakelaunch.exe"); }, 5000));
    EXPECT_TRUE(LaunchedEmulatorRunning()) << "the launcher has returned, what it started has not";
    EXPECT_EQ(-1, LaunchedRunTime());
    EXPECT_TRUE(WaitFor([] { return !LaunchedEmulatorRunning(); }, 5000));
    EXPECT_EQ(0, LaunchedExitCode()) << "the launcher's, not its emulator's 3";
    EXPECT_GE(LaunchedRunTime(), 1500);
    EXPECT_LE(LaunchedRunTime(), static_cast<int64_t>(GetTickCount() - launchedAt));
}
