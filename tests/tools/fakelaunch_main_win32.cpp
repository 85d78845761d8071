// Stand-in launcher, as a wrapper in MamePath would be: starts fakemame.exe
// beside it with the same arguments and returns at once, leaving it running.
// A query (-listxml) is waited for and passes on the stand-in's output and
// exit code, as a wrapper's must for the saver to read it.
#include <windows.h>

#include <string>

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR arguments, int)
{
    char path[MAX_PATH];
    std::string command(path, GetModuleFileNameA(nullptr, path, sizeof path));
    command = "\"" + command.substr(0, command.find_last_of('\\') + 1) + "fakemame.exe\" " + arguments;
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdOutput = GetStdHandle(STD_OUTPUT_HANDLE), startup.hStdError = GetStdHandle(STD_ERROR_HANDLE);
    PROCESS_INFORMATION process;
    if (!CreateProcessA(nullptr, &command[0], nullptr, nullptr, TRUE, 0, nullptr, nullptr, &startup, &process))
        return 9;
    DWORD code = 0;
    if (std::string(arguments).rfind("-listxml", 0) == 0)
        WaitForSingleObject(process.hProcess, INFINITE), GetExitCodeProcess(process.hProcess, &code);
    return static_cast<int>(code);   // the handles go with the process
}
