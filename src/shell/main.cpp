// Program entry: everything else lives in the core library.
#include <windows.h>

#include "shell/startup.h"

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR commandTail, int) {
    return RunInstallerProgram(instance, commandTail);
}
