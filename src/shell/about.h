// The About box.
#pragma once

#include <windows.h>

// Dialog procedure of the About box (template 103).
INT_PTR CALLBACK AboutProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
