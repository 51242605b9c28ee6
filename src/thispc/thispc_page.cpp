#include "thispc/thispc_page.h"

INT_PTR CALLBACK ThisPcPageProc(HWND, UINT, WPARAM, LPARAM) {
    return FALSE;
}
