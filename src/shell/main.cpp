// Program entry: everything else lives in the core library.
#include <windows.h>

#include "shell/startup.h"
#include "win/system_library.h"

// Before anything can load a DLL, never from the program's folder or the current one. A constructor
// of the highest priority runs even before the runtime's own: the stack protector seeds its canary
// through CryptoAPI, which loads DLLs.
__attribute__((constructor(101))) static void RestrictDllSearchFirst() {
    zid::RestrictDllSearch();
}

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR commandTail, int) {
    return zid::RunInstallerProgram(instance, commandTail);
}
