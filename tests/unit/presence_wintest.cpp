// Signs of an emulator the saver did not launch, and the launches the saver
// follows, against real processes: copies of the stand-in started by "the
// user", and ones the presence code launches, straight or through the
// stand-in launcher that returns at once.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
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

int MameWindows()
{
    int count = 0;
    EnumWindows(
        [](HWND window, LPARAM found) {
            char name[8];
            if (GetClassNameA(window, name, sizeof name) && strcmp(name, "MAME") == 0)
                ++*reinterpret_cast<int *>(found);
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&count));
    return count;
}

bool Runs(const char *exe)
{
    HANDLE process = GetMessProcessHandle(exe);
    return process && CloseHandle(process);
}

// A copy of the stand-in as NAME in a folder of its own, beside the stand-in
// launcher, with fault switches ("name" or "name=content").
struct StandIn {
    string folder, exe;
    StandIn(const string &name, std::initializer_list<string> switches)
    {
        static int made;
        char temp[MAX_PATH];
        GetTempPathA(sizeof temp, temp);
        folder = string(temp) + "quillmere-presence-" + std::to_string(GetTickCount()) + "-" +
                 std::to_string(++made) + "\\";
        CreateDirectoryA(folder.c_str(), nullptr);
        exe = folder + name;
        CopyFileA((ExecutableFolder() + "fakemame.exe").c_str(), exe.c_str(), FALSE);
        CopyFileA((ExecutableFolder() + "fakelaunch.exe").c_str(),
                  (folder + "fakelaunch.exe").c_str(), FALSE);
        for (const string &item : switches) {
            size_t equals = item.find('=');
            HANDLE file = CreateFileA((folder + item.substr(0, equals)).c_str(), GENERIC_WRITE, 0,
                                      nullptr, CREATE_ALWAYS, 0, nullptr);
            string content = equals == string::npos ? "" : item.substr(equals + 1);
            DWORD written;
            WriteFile(file, content.data(), static_cast<DWORD>(content.size()), &written, nullptr);
            CloseHandle(file);
        }
    }
    string Command(const char *program = nullptr) const
    {
        return "\"" + (program ? folder + program : exe) + "\" game";
    }
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
    EXPECT_FALSE(LaunchedEmulatorRunning());
    AskEmulatorsToClose();
    EXPECT_EQ(WAIT_TIMEOUT, WaitForSingleObject(user.info.hProcess, 1000))
        << "the user's emulator was asked to close";
}

TEST_F(Presence, LaunchesAreFollowedToTheirLastProcessAndEndedAlone)
{
    StandIn users("mame.exe", {});
    UserProcess user(users);
    ASSERT_TRUE(WaitFor(MameWindowShown, 5000));
    const struct {
        const char *row;
        std::initializer_list<string> switches;
        const char *program;   // the stand-in itself, or its launcher
        void (*end)();         // how the session ends it; null: it ends by itself
        int exitCode;          // -1: not to be told (ended, and forgotten)
        int64_t ranAtLeast;
    } rows[] = {
        {"quits after 1.5 s", {"fake-exit-after=1500 3"}, nullptr, nullptr, 3, 1500},
        {"launcher's emulator, asked", {}, "fakelaunch.exe", AskEmulatorsToClose, 0, 0},
        {"launcher's emulator ignoring close, ended", {"fake-ignore-close"}, "fakelaunch.exe",
         EndLaunchedEmulators, -1, 0},
    };
    for (const auto &row : rows) {
        SCOPED_TRACE(row.row);
        StandIn standIn("fakemame.exe", row.switches);
        string command = standIn.Command(row.program);
        DWORD launchedAt = GetTickCount();
        ASSERT_TRUE(LaunchEmulator(&command[0], standIn.folder.c_str()));
        ASSERT_TRUE(WaitFor([] { return MameWindows() == 2 && !Runs("fakelaunch.exe"); }, 5000));
        int64_t seenRunning = GetTickCount() - launchedAt;
        EXPECT_TRUE(LaunchedEmulatorRunning());
        EXPECT_EQ(-1, LaunchedRunTime());
        if (row.end)
            row.end();
        EXPECT_TRUE(WaitFor([] { return !LaunchedEmulatorRunning() && MameWindows() == 1; }, 5000));
        if (row.exitCode >= 0) {
            EXPECT_EQ(row.exitCode, LaunchedExitCode());
            EXPECT_GE(LaunchedRunTime(), std::max(row.ranAtLeast, seenRunning));
            EXPECT_LE(LaunchedRunTime(), static_cast<int64_t>(GetTickCount() - launchedAt));
        }
        EXPECT_TRUE(user.Running()) << "a user's emulator was touched";
    }
    // Backspace: left running, no more followed, never ended.
    StandIn left("fakemame.exe", {});
    string command = left.Command("fakelaunch.exe");
    ASSERT_TRUE(LaunchEmulator(&command[0], left.folder.c_str()));
    ASSERT_TRUE(WaitFor([] { return MameWindows() == 2; }, 5000));
    LeaveLaunchedEmulators();
    EXPECT_FALSE(LaunchedEmulatorRunning());
    EndLaunchedEmulators();
    AskEmulatorsToClose();
    EXPECT_FALSE(WaitFor([] { return MameWindows() < 2; }, 1000)) << "the launch left running went";
    HANDLE found = GetMessProcessHandle("fakemame.exe");
    HANDLE leftRunning = OpenProcess(PROCESS_TERMINATE, FALSE, GetProcessId(found));
    EXPECT_TRUE(TerminateProcess(leftRunning, 1));
    CloseHandle(leftRunning);
    CloseHandle(found);
}
