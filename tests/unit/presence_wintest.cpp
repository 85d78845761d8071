// The session's emulators against real processes: copies of the stand-in
// emulator, launched by the saver's own code or by "the user". (How long a
// launched emulator ran is seen end to end by the failure watchdog:
// tests/e2e/test_rounds.py.)
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

// A copy of the stand-in as NAME in a folder of its own, with fault switches.
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
    void TearDown() override { EndLaunchedEmulators(); }
};

}  // namespace

TEST_F(Presence, OnlyLaunchedEmulatorsAreEndedAfterIgnoringClose)
{
    StandIn ours("stubborn.exe", {"fake-ignore-close"});
    StandIn theirs("users.exe", {"fake-ignore-close"});
    UserProcess user(theirs);
    string command = ours.Command();
    ASSERT_TRUE(LaunchEmulator(&command[0], ours.folder.c_str()));
    ASSERT_TRUE(WaitFor(MameWindowShown, 5000));
    EXPECT_TRUE(LaunchedEmulatorRunning());
    EXPECT_EQ(-1, LaunchedRunTime());

    AskEmulatorsToClose();
    Sleep(300);
    EXPECT_TRUE(LaunchedEmulatorRunning()) << "it ignores WM_CLOSE";
    EndLaunchedEmulators();
    EXPECT_FALSE(LaunchedEmulatorRunning());
    EXPECT_TRUE(user.Running()) << "a process the saver did not launch is never ended";
    HANDLE found = GetMessProcessHandle("users.exe");
    ASSERT_NE(nullptr, found);
    EXPECT_EQ(user.info.dwProcessId, GetProcessId(found));
    CloseHandle(found);
}

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
    EXPECT_EQ(WAIT_OBJECT_0, WaitForSingleObject(user.info.hProcess, 5000));
    EXPECT_FALSE(EmulatorPresent("notthere.exe"));
}
