// A child for the hidden-runner tests under Wine: carries out its arguments
// as a list of actions, in order, writing straight to its standard handles
// (no runtime buffering, so the order of writes is the order of the calls).
//
//   out N       N characters 'o' on standard output, in one write
//   err N       N characters 'e' on standard error, in one write
//   text S      S on standard output;  errtext S   S on standard error
//   zero        "ab", a zero byte, "cd" on standard output
//   sleep MS    waits MS milliseconds
//   hang        waits ten minutes (the runner's time limit must end it)
//   console     "window=W visible=V": its console window (0 when it has none)
//               and whether that window is visible
//   exit N      ends at once with exit code N
//   pidfile P   writes its process id to the file P
// No argument at all: writes nothing and ends.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

static void Write(DWORD which, const std::string &text)
{
    DWORD written = 0;
    WriteFile(GetStdHandle(which), text.data(), static_cast<DWORD>(text.size()), &written,
              nullptr);
}

int main(int argc, char **argv)
{
    for (int i = 1; i < argc; ++i) {
        std::string action = argv[i];
        const char *value = i + 1 < argc ? argv[i + 1] : "";
        if (action == "out") {
            Write(STD_OUTPUT_HANDLE, std::string(strtoul(value, nullptr, 10), 'o'));
            ++i;
        } else if (action == "err") {
            Write(STD_ERROR_HANDLE, std::string(strtoul(value, nullptr, 10), 'e'));
            ++i;
        } else if (action == "text") {
            Write(STD_OUTPUT_HANDLE, value);
            ++i;
        } else if (action == "errtext") {
            Write(STD_ERROR_HANDLE, value);
            ++i;
        } else if (action == "zero") {
            Write(STD_OUTPUT_HANDLE, std::string("ab\0cd", 5));
        } else if (action == "sleep") {
            Sleep(strtoul(value, nullptr, 10));
            ++i;
        } else if (action == "hang") {
            Sleep(10 * 60 * 1000);
        } else if (action == "console") {
            HWND window = GetConsoleWindow();
            char line[64];
            snprintf(line, sizeof line, "window=%p visible=%d", static_cast<void *>(window),
                     window && IsWindowVisible(window) ? 1 : 0);
            Write(STD_OUTPUT_HANDLE, line);
        } else if (action == "pidfile") {
            if (FILE *file = fopen(value, "w"))
                fprintf(file, "%lu", GetCurrentProcessId()), fclose(file);
            ++i;
        } else if (action == "exit") {
            ExitProcess(strtoul(value, nullptr, 10));
        } else {
            Write(STD_ERROR_HANDLE, "childwriter: unknown action " + action);
            return 2;
        }
    }
    return 0;
}
