// The hidden runner: one child process without a window, its standard output
// and standard error gathered through one anonymous pipe.
#include "emulator/runner.h"

#include <windows.h>

#include <cstring>
#include <initializer_list>

static const DWORD kOutputLimit = kRunnerOutputBytes - 1;   // characters kept
static const DWORD kChunkBytes = 100000;

namespace {

// Closes the handles still held when the runner returns early.
struct HeldHandles {
    HANDLE readEnd = nullptr;
    HANDLE writeEnd = nullptr;
    HANDLE errorWrite = nullptr;
    HANDLE readCopy = nullptr;
    HANDLE process = nullptr;

    ~HeldHandles()
    {
        for (HANDLE *handle : {&readEnd, &writeEnd, &errorWrite, &readCopy, &process})
            Drop(*handle);
    }
    static void Drop(HANDLE &handle)
    {
        if (handle)
            CloseHandle(handle);
        handle = nullptr;
    }
    // Closes handle now; false when closing failed (it counts as given back).
    static bool Close(HANDLE &handle)
    {
        BOOL closed = CloseHandle(handle);
        handle = nullptr;
        return closed != FALSE;
    }
};

// A chunk buffer for one call: heap, not stack, for the GUI thread's sake.
struct Chunk {
    char *bytes = static_cast<char *>(HeapAlloc(GetProcessHeap(), 0, kChunkBytes));
    ~Chunk()
    {
        if (bytes)
            HeapFree(GetProcessHeap(), 0, bytes);
    }
};

} // namespace

int SilentCreateProcess(char *command, char *output)
{
    output[0] = '\0';
    HeldHandles held;

    SECURITY_ATTRIBUTES attributes;
    attributes.nLength = sizeof attributes;
    attributes.lpSecurityDescriptor = nullptr;
    attributes.bInheritHandle = TRUE;
    if (!CreatePipe(&held.readEnd, &held.writeEnd, &attributes, 0)) {
        held.readEnd = held.writeEnd = nullptr;
        return 1;
    }
    HANDLE self = GetCurrentProcess();
    // A second write end for standard error, so both streams share the pipe.
    if (!DuplicateHandle(self, held.writeEnd, self, &held.errorWrite, 0, TRUE,
                         DUPLICATE_SAME_ACCESS)) {
        held.errorWrite = nullptr;
        return 2;
    }
    // The end we read from must not be inherited: a child holding it would
    // keep the pipe alive.
    if (!DuplicateHandle(self, held.readEnd, self, &held.readCopy, 0, FALSE,
                         DUPLICATE_SAME_ACCESS)) {
        held.readCopy = nullptr;
        return 3;
    }
    if (!HeldHandles::Close(held.readEnd))
        return 4;

    STARTUPINFOA startup;
    memset(&startup, 0, sizeof startup);
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESHOWWINDOW | STARTF_USESTDHANDLES;
    startup.wShowWindow = SW_HIDE;   // hides the new console too
    startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
    startup.hStdOutput = held.writeEnd;
    startup.hStdError = held.errorWrite;

    Chunk chunk;
    if (!chunk.bytes)
        return 9;   // nothing could be started without a buffer to read into

    PROCESS_INFORMATION child;
    if (!CreateProcessA(nullptr, command, nullptr, nullptr, TRUE, CREATE_NEW_CONSOLE, nullptr,
                        nullptr, &startup, &child))
        return 9;
    held.process = child.hProcess;
    if (!CloseHandle(child.hThread))
        return 10;
    // From here only the child holds write ends: the pipe breaks when it ends.
    if (!HeldHandles::Close(held.writeEnd))
        return 5;
    if (!HeldHandles::Close(held.errorWrite))
        return 6;

    // A blocking read could wait for ever on a hung child, so the pipe is
    // only read when it holds something, and the clock is looked at between.
    ULONGLONG deadline = GetTickCount64() + static_cast<ULONGLONG>(CurrentRunLimitMs());
    DWORD gathered = 0;
    for (;;) {
        bool cancelled = RunnerCancelled();
        if (cancelled || GetTickCount64() >= deadline) {
            // What was read so far stays in the output.
            TerminateProcess(held.process, 1);
            WaitForSingleObject(held.process, 5000);
            return cancelled ? kRunnerCancelled : kRunnerTimeout;
        }
        DWORD available = 0;
        if (!PeekNamedPipe(held.readCopy, nullptr, 0, nullptr, &available, nullptr))
            break;   // told apart below
        if (available == 0) {
            Sleep(2);
            continue;
        }
        DWORD count = 0;
        if (!ReadFile(held.readCopy, chunk.bytes, kChunkBytes, &count, nullptr) || count == 0)
            break;
        if (gathered + count > kOutputLimit) {
            // The chunk that crosses the limit is dropped whole; closing our
            // end makes the child's next write fail rather than block.
            return 12;
        }
        memcpy(output + gathered, chunk.bytes, count);
        gathered += count;
        output[gathered] = '\0';
    }
    if (GetLastError() != ERROR_BROKEN_PIPE)
        return 11;
    if (!HeldHandles::Close(held.readCopy))
        return 8;
    // The output is whole; when the exit code is the answer, the child's end
    // is waited for too, within the same limit and as cancellable.
    while (RunExitCodeWanted()) {
        if (WaitForSingleObject(held.process, 20) == WAIT_OBJECT_0) {
            DWORD code = 0;
            if (GetExitCodeProcess(held.process, &code))
                ReportRunExitCode(static_cast<int>(code));
            break;
        }
        bool cancelled = RunnerCancelled();
        if (cancelled || GetTickCount64() >= deadline) {
            TerminateProcess(held.process, 1);
            WaitForSingleObject(held.process, 5000);
            return cancelled ? kRunnerCancelled : kRunnerTimeout;
        }
    }
    return 0;
}
