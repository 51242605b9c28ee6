// The smallest dialog program, built as the shipped program is (static, same flags): what start-up
// costs before any work of the program's own. The yardstick of scripts/bench-startup.
#include <windows.h>

namespace {

INT_PTR CALLBACK DialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM) {
    if (message == WM_CLOSE || (message == WM_COMMAND && LOWORD(wParam) == IDCANCEL)) {
        EndDialog(dialog, 0);
        return TRUE;
    }
    return message == WM_INITDIALOG;
}

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int) {
    struct {
        DLGTEMPLATE header;
        WORD menu, windowClass, title;
    } dialog{{WS_POPUP | WS_CAPTION | WS_SYSMENU | WS_VISIBLE | DS_CENTER, 0, 0, 0, 0, 200, 100}, 0, 0, 0};
    return static_cast<int>(DialogBoxIndirectParamW(instance, &dialog.header, nullptr, DialogProc, 0));
}
