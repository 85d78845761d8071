// Stand-in launcher, as a wrapper in MamePath would be: starts fakemame.exe
// beside it with the same arguments and returns at once, leaving it running.
// Queries (-listxml, -verifyroms) are waited for and pass on the stand-in's
// output and exit code, as a wrapper's must for the saver to read them.
#include <windows.h>

#include <cstring>
#include <string>

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR arguments, int)
{
    char path[MAX_PATH];
    std::string target(path, GetModuleFileNameA(nullptr, path, sizeof path));
    target.erase(target.find_last_of('\\') + 1);
    std::string command = "\"" + target + "fakemame.exe\" " + arguments;
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
    startup.hStdOutput = GetStdHandle(STD_OUTPUT_HANDLE);
    startup.hStdError = GetStdHandle(STD_ERROR_HANDLE);
    PROCESS_INFORMATION process;
    if (!CreateProcessA(nullptr, &command[0], nullptr, nullptr, TRUE, 0, nullptr, nullptr, &startup, &process))
        return 9;
    DWORD code = 0;
    if (strncmp(arguments, "-listxml", 8) == 0 || strncmp(arguments, "-verifyroms", 11) == 0) {
        WaitForSingleObject(process.hProcess, INFINITE);
        GetExitCodeProcess(process.hProcess, &code);
    }
    CloseHandle(process.hProcess);
    CloseHandle(process.hThread);
    return static_cast<int>(code);
}
