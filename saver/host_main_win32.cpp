#include "saver/host.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR commandLine, int)
{
    return RunScreenSaverHost(instance, commandLine);
}
