#include "shell/main_window.h"

#include "resource.h"
#include "shell/app.h"
#include "shell/callback_guard.h"

namespace {

INT_PTR OnInitDialog(HWND window) {
    theApp.m_mainWindow = window;
    return TRUE;
}

INT_PTR OnCommand(HWND window, WORD id) {
    if (id == IDOK || id == IDCANCEL) {
        DestroyWindow(window);
        return TRUE;
    }
    return FALSE;
}

}  // namespace

INT_PTR CALLBACK MainWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM) {
    return GuardCallback<INT_PTR>(FALSE, [&]() -> INT_PTR {
        switch (message) {
        case WM_INITDIALOG:
            return OnInitDialog(window);
        case WM_COMMAND:
            return OnCommand(window, LOWORD(wParam));
        case WM_DESTROY:
            PostQuitMessage(0);
            return TRUE;
        default:
            return FALSE;
        }
    });
}

void ShowSelectedPage() {}

LRESULT CALLBACK ToolTipProc(HWND toolTip, UINT message, WPARAM wParam, LPARAM lParam) {
    return DefWindowProcW(toolTip, message, wParam, lParam);
}
