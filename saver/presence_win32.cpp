#include "saver/presence.h"

#include <psapi.h>

#include <atomic>
#include <cstdio>
#include <cstring>
#include <map>
#include <mutex>
#include <vector>

namespace {

struct Launched {
    HANDLE process;        // what the command started: the emulator, or a launcher
    HANDLE job;            // every process it started; null where the system gave none
    ULONG_PTR key;         // the job's key on the completion port
    ULONGLONG startTick;
};

// Only the window thread touches this list.
std::vector<Launched> launched;

// The ends of the jobs' last processes, by key: the tick the end was seen
// (0: not yet). The port's thread writes them when they happen.
std::mutex endsLock;
std::map<ULONG_PTR, ULONGLONG> ends;
HANDLE port;
ULONG_PTR nextKey = 1;
std::atomic<HWND> noticeWindow{nullptr};
std::atomic<UINT> noticeMessage{0};

DWORD WINAPI WatchPort(void *)
{
    DWORD event;
    ULONG_PTR key;
    OVERLAPPED *detail;
    while (GetQueuedCompletionStatus(port, &event, &key, &detail, INFINITE)) {
        if (event != JOB_OBJECT_MSG_ACTIVE_PROCESS_ZERO)
            continue;
        ULONGLONG now = GetTickCount64();
        {
            std::lock_guard<std::mutex> hold(endsLock);
            auto end = ends.find(key);
            // A launch left running (Backspace) or already ended is no news.
            if (end == ends.end() || end->second != 0)
                continue;
            end->second = now;
        }
        if (HWND window = noticeWindow.load())
            PostMessageA(window, noticeMessage.load(), 0, 0);
    }
    return 0;
}

// One port and one thread serve every launch of the process's sessions.
void StartWatching()
{
    if (port)
        return;
    port = CreateIoCompletionPort(INVALID_HANDLE_VALUE, nullptr, 0, 1);
    HANDLE thread = port ? CreateThread(nullptr, 0, WatchPort, nullptr, 0, nullptr) : nullptr;
    if (thread) {
        CloseHandle(thread);
    } else if (port) {
        CloseHandle(port);
        port = nullptr;
    }
}

bool Running(const Launched &item)
{
    JOBOBJECT_BASIC_ACCOUNTING_INFORMATION job;
    if (item.job && QueryInformationJobObject(item.job, JobObjectBasicAccountingInformation, &job,
                                              sizeof job, nullptr))
        return job.ActiveProcesses > 0;
    return WaitForSingleObject(item.process, 0) == WAIT_TIMEOUT;
}

// The tick the job's last process ended. Should the port's word be lost
// (the system does not promise it), the first look after the end stands in.
ULONGLONG EndTick(const Launched &item)
{
    std::lock_guard<std::mutex> hold(endsLock);
    ULONGLONG &end = ends[item.key];
    if (end == 0)
        end = GetTickCount64();
    return end;
}

void Forget(const Launched &item)
{
    CloseHandle(item.process);
    if (item.job)
        CloseHandle(item.job);
    std::lock_guard<std::mutex> hold(endsLock);
    ends.erase(item.key);
}

// Ended launches are of no more use, but for the newest one's run time.
void ForgetEnded()
{
    for (size_t i = 0; i + 1 < launched.size();) {
        if (Running(launched[i])) {
            ++i;
            continue;
        }
        Forget(launched[i]);
        launched.erase(launched.begin() + static_cast<long>(i));
    }
}

// Adds the ids of the processes in job; false when the system would not tell.
bool AddJobProcessIds(HANDLE job, std::vector<DWORD> &ids)
{
    std::vector<ULONG_PTR> room(64);
    for (;;) {
        auto *list = reinterpret_cast<JOBOBJECT_BASIC_PROCESS_ID_LIST *>(room.data());
        DWORD bytes = static_cast<DWORD>(room.size() * sizeof(ULONG_PTR));
        if (!QueryInformationJobObject(job, JobObjectBasicProcessIdList, list, bytes, nullptr) &&
            GetLastError() != ERROR_MORE_DATA)
            return false;
        if (list->NumberOfProcessIdsInList < list->NumberOfAssignedProcesses && room.size() < 65536) {
            room.resize(room.size() * 2);
            continue;
        }
        for (DWORD i = 0; i < list->NumberOfProcessIdsInList; ++i)
            ids.push_back(static_cast<DWORD>(list->ProcessIdList[i]));
        return true;
    }
}

// The ids of the processes the launches still run. A process id is not given
// to another process while a handle to it is held, as ours are.
std::vector<DWORD> LaunchedProcessIds()
{
    std::vector<DWORD> ids;
    for (const Launched &item : launched)
        if (Running(item) && !(item.job && AddJobProcessIds(item.job, ids)))
            ids.push_back(GetProcessId(item.process));
    return ids;
}

struct Closing {
    std::vector<DWORD> ids;
    int sent;
};

// At most this many requests a call; the next call asks the rest.
const int kClosesPerCall = 50;

BOOL CALLBACK PostCloseToLaunched(HWND window, LPARAM context)
{
    Closing &closing = *reinterpret_cast<Closing *>(context);
    DWORD id = 0;
    GetWindowThreadProcessId(window, &id);
    bool ours = false;
    for (DWORD launchedId : closing.ids)
        ours = ours || launchedId == id;
    char name[8];
    // The hidden helper windows of a process are no emulator's to close.
    if (ours && (IsWindowVisible(window) ||
                 (GetClassNameA(window, name, sizeof name) && lstrcmpiA(name, "MAME") == 0))) {
        PostMessageA(window, WM_CLOSE, 0, 0);
        ++closing.sent;
    }
    return closing.sent < kClosesPerCall;
}

}   // namespace

void WatchLaunches(HWND window, UINT message)
{
    noticeMessage = message;
    noticeWindow = window;
}

bool LaunchEmulator(char *command, const char *folder)
{
    StartWatching();
    Launched item = {nullptr, CreateJobObjectA(nullptr, nullptr), nextKey++, 0};
    {
        std::lock_guard<std::mutex> hold(endsLock);
        ends[item.key] = 0;
    }
    // Without the port, the ends are seen at the window's looks.
    JOBOBJECT_ASSOCIATE_COMPLETION_PORT watch = {reinterpret_cast<void *>(item.key), port};
    if (item.job && port)
        SetInformationJobObject(item.job, JobObjectAssociateCompletionPortInformation, &watch,
                                sizeof watch);
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESHOWWINDOW;
    startup.wShowWindow = SW_HIDE;
    PROCESS_INFORMATION process = {};
    item.startTick = GetTickCount64();
    // Suspended until it is in the job, so that nothing it starts escapes.
    if (!CreateProcessA(nullptr, command, nullptr, nullptr, FALSE,
                        BELOW_NORMAL_PRIORITY_CLASS | CREATE_SUSPENDED, nullptr, folder, &startup,
                        &process)) {
        if (item.job)
            CloseHandle(item.job);
        std::lock_guard<std::mutex> hold(endsLock);
        ends.erase(item.key);
        return false;
    }
    item.process = process.hProcess;
    // Before Windows 8 a process in a job (the saver may run in one) cannot
    // be put into a second: then the started process alone is followed.
    if (item.job && !AssignProcessToJobObject(item.job, item.process)) {
        CloseHandle(item.job);
        item.job = nullptr;
    }
    ResumeThread(process.hThread);
    CloseHandle(process.hThread);
    launched.push_back(item);
    ForgetEnded();
    return true;
}

bool LaunchedEmulatorRunning()
{
    for (const Launched &item : launched)
        if (Running(item))
            return true;
    return false;
}

int64_t LaunchedRunTime()
{
    if (launched.empty() || Running(launched.back()))
        return -1;
    const Launched &last = launched.back();
    if (last.job)
        return static_cast<int64_t>(EndTick(last) - last.startTick);
    FILETIME created, exited, kernel, user;
    if (GetProcessTimes(last.process, &created, &exited, &kernel, &user)) {
        ULARGE_INTEGER from = {{created.dwLowDateTime, created.dwHighDateTime}};
        ULARGE_INTEGER to = {{exited.dwLowDateTime, exited.dwHighDateTime}};
        if (to.QuadPart >= from.QuadPart && to.QuadPart != 0)
            return static_cast<int64_t>((to.QuadPart - from.QuadPart) / 10000);
    }
    // Without the system's times, what was seen of it: launch to now.
    return static_cast<int64_t>(GetTickCount64() - last.startTick);
}

int LaunchedExitCode()
{
    DWORD code = 0;
    if (launched.empty() || Running(launched.back()) ||
        !GetExitCodeProcess(launched.back().process, &code))
        return -1;
    return static_cast<int>(code);
}

void EndLaunchedEmulators()
{
    for (const Launched &item : launched) {
        if (!Running(item))
            continue;
        if (item.job)
            TerminateJobObject(item.job, 1);
        else
            TerminateProcess(item.process, 1);
    }
    // Ending cannot be undone, so a short look is enough: the window thread
    // may be the one asking (the dark after DarkAfterMinutes).
    for (int wait = 0; wait < 25 && LaunchedEmulatorRunning(); ++wait)
        Sleep(20);
    for (const Launched &item : launched)
        Forget(item);
    launched.clear();
}

void LeaveLaunchedEmulators()
{
    // Closing a job's handle leaves its processes running: no job is made
    // to end them when it closes.
    for (const Launched &item : launched)
        Forget(item);
    launched.clear();
}

HANDLE GetMessProcessHandle(const char *exe)
{
    if (!exe || !exe[0])
        return nullptr;
    // A list that fills the buffer may have been cut: try again with more room.
    std::vector<DWORD> ids(1024);
    DWORD bytes = 0;
    for (;;) {
        DWORD room = static_cast<DWORD>(ids.size() * sizeof(DWORD));
        if (!EnumProcesses(ids.data(), room, &bytes)) {
            printf("Error in EnumProcesses\n");
            return nullptr;
        }
        if (bytes < room || ids.size() >= (1u << 20))
            break;
        ids.resize(ids.size() * 2);
    }
    DWORD count = bytes / sizeof(DWORD);
    for (DWORD i = 0; i < count && i < ids.size(); ++i) {
        HANDLE process = OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, ids[i]);
        if (!process)
            continue;
        // The image's full name: unlike the module list, readable from a
        // 32-bit saver for a 64-bit emulator.
        char path[MAX_PATH * 2];
        DWORD length = sizeof path;
        if (QueryFullProcessImageNameA(process, 0, path, &length)) {
            const char *slash = strrchr(path, '\\');
            const char *name = slash ? slash + 1 : path;
            // Exact on purpose: a name typed otherwise is not the configured emulator.
            if (strcmp(name, exe) == 0)
                return process;
        }
        CloseHandle(process);
    }
    return nullptr;
}

bool EmulatorPresent(const char *exe)
{
    if (LaunchedEmulatorRunning() || FindWindowA("MAME", nullptr))
        return true;
    HANDLE process = GetMessProcessHandle(exe);
    if (!process)
        return false;
    CloseHandle(process);
    return true;
}

void AskEmulatorsToClose()
{
    Closing closing = {LaunchedProcessIds(), 0};
    if (!closing.ids.empty())
        EnumWindows(PostCloseToLaunched, reinterpret_cast<LPARAM>(&closing));
}
