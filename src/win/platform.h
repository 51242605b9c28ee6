// Facts about the system the program runs on, found once at start-up.
#pragma once

#include <windows.h>
#include <commctrl.h>

namespace zid {

struct PlatformFacts {
    HINSTANCE Instance = nullptr;     // the module that holds the resources
    bool Wine = false;                // running under Wine
    bool Win64 = false;               // running on 64-bit Windows
    HIMAGELIST SmallIcons = nullptr;  // the system's small-icon list (shared, never destroyed)
};

// The facts of this process, whose resources are in instance.
PlatformFacts DetectPlatform(HINSTANCE instance);

// True when ntdll.dll exports wine_get_version.
bool DetectWine();

// True on 64-bit Windows: a 32-bit process under WOW64, or a 64-bit build of this program.
bool DetectWow64();

// The system image list of small icons, as the shell hands it out for the Windows folder.
HIMAGELIST FindSmallIconList();

}  // namespace zid
