// The emulator presence test against real processes: copies of the stand-in
// emulator run under a name of the test's choosing.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "config/settings.h"
#include "saver/presence.h"
#include "support/test_files.h"

using std::string;

namespace {

bool WaitFor(bool (*condition)(), DWORD ms)
{
    DWORD start = GetTickCount();
    while (!condition()) {
        if (GetTickCount() - start > ms)
            return false;
        Sleep(50);
    }
    return true;
}

// A copy of the stand-in as NAME in a folder of its own, with fault switches.
class StandIn {
public:
    StandIn(const string &name, const char *switchFile)
    {
        char temp[MAX_PATH];
        GetTempPathA(sizeof temp, temp);
        folder_ = string(temp) + "quillmere-presence-" + std::to_string(GetTickCount()) + "-" +
                  name + "\\";
        CreateDirectoryA(folder_.c_str(), nullptr);
        exe_ = folder_ + name;
        CopyFileA((ExecutableFolder() + "fakemame.exe").c_str(), exe_.c_str(), FALSE);
        if (switchFile)
            Touch(switchFile);
        STARTUPINFOA startup = {};
        startup.cb = sizeof startup;
        string command = "\"" + exe_ + "\" game";
        started_ = CreateProcessA(nullptr, &command[0], nullptr, nullptr, FALSE, 0, nullptr,
                                  folder_.c_str(), &startup, &process_) != 0;
    }
    ~StandIn()
    {
        Touch("fake-stop");
        if (started_) {
            if (WaitForSingleObject(process_.hProcess, 5000) != WAIT_OBJECT_0)
                TerminateProcess(process_.hProcess, 1);
            CloseHandle(process_.hProcess);
            CloseHandle(process_.hThread);
        }
    }
    bool Started() const { return started_; }
    bool Running() const { return WaitForSingleObject(process_.hProcess, 0) == WAIT_TIMEOUT; }
    DWORD Id() const { return process_.dwProcessId; }
    HANDLE Process() const { return process_.hProcess; }

private:
    void Touch(const string &file)
    {
        HANDLE h = CreateFileA((folder_ + file).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                               0, nullptr);
        CloseHandle(h);
    }
    string folder_, exe_;
    PROCESS_INFORMATION process_ = {};
    bool started_ = false;
};

bool MameWindowShown()
{
    return FindWindowA("MAME", nullptr) != nullptr;
}

bool MameWindowGone()
{
    return FindWindowA("MAME", nullptr) == nullptr;
}

class Presence : public ::testing::Test {
protected:
    void SetUp() override
    {
        ResetSettings();
        ASSERT_TRUE(WaitFor(MameWindowGone, 5000)) << "a MAME window is left from elsewhere";
    }
    void TearDown() override { ResetSettings(); }
};

}  // namespace

TEST_F(Presence, NothingRunningIsAbsentEvenWithEmptyNames)
{
    EXPECT_FALSE(EmulatorPresent());
    EXPECT_EQ(nullptr, GetMessProcessHandle());
}

TEST_F(Presence, WindowlessProcessFoundByItsExactFileName)
{
    StandIn emulator("standinmess.exe", "fake-no-window");
    ASSERT_TRUE(emulator.Started());
    Sleep(300);
    ASSERT_TRUE(emulator.Running());
    ASSERT_FALSE(MameWindowShown());

    MameOrMess = 0;
    strcpy(MessExe, "standinmess.exe");
    HANDLE found = GetMessProcessHandle();
    ASSERT_NE(nullptr, found);
    EXPECT_EQ(emulator.Id(), GetProcessId(found));
    CloseHandle(found);
    EXPECT_TRUE(EmulatorPresent());

    // The process sign follows MameOrMess: MAME's name is asked now.
    MameOrMess = 1;
    strcpy(MameExe, "othermame.exe");
    EXPECT_FALSE(EmulatorPresent());

    // Letter case counts: a name typed otherwise is not the emulator.
    MameOrMess = 0;
    strcpy(MessExe, "StandInMess.exe");
    EXPECT_EQ(nullptr, GetMessProcessHandle());
    EXPECT_FALSE(EmulatorPresent());
}

TEST_F(Presence, MameWindowOfAnyProcessCounts)
{
    StandIn emulator("somethingelse.exe", nullptr);
    ASSERT_TRUE(emulator.Started());
    ASSERT_TRUE(WaitFor(MameWindowShown, 5000));
    strcpy(MessExe, "notthere.exe");
    strcpy(MameExe, "notthere.exe");
    for (int mameOrMess : {0, 1}) {
        MameOrMess = mameOrMess;
        EXPECT_TRUE(EmulatorPresent());
    }
    SendMessageA(FindWindowA("MAME", nullptr), WM_CLOSE, 0, 0);
    EXPECT_TRUE(WaitFor(MameWindowGone, 5000));
    EXPECT_EQ(WAIT_OBJECT_0, WaitForSingleObject(emulator.Process(), 5000));
    EXPECT_FALSE(EmulatorPresent());
}

TEST_F(Presence, EndEmulatorProcessesEndsOneThatIgnoresClose)
{
    StandIn emulator("stubborn.exe", "fake-ignore-close");
    ASSERT_TRUE(emulator.Started());
    ASSERT_TRUE(WaitFor(MameWindowShown, 5000));
    SendMessageA(FindWindowA("MAME", nullptr), WM_CLOSE, 0, 0);
    Sleep(200);
    ASSERT_TRUE(emulator.Running());
    EndEmulatorProcesses();
    EXPECT_EQ(WAIT_OBJECT_0, WaitForSingleObject(emulator.Process(), 5000));
    EXPECT_TRUE(WaitFor(MameWindowGone, 5000));
}
