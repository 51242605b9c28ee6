// Dialog procedures that belong to an object, and what every page of the main window shares.
#pragma once

#include <windows.h>

#include "ui/dpi.h"
#include "win/callback_guard.h"

namespace zid {

// The dialog procedure of class T: WM_INITDIALOG's parameter is the object, kept in DWLP_USER;
// every message is handed to T::OnMessage, with no exception crossing back into the system.
// Messages that arrive before WM_INITDIALOG are left to the dialog manager.
template <typename T>
INT_PTR CALLBACK DialogThunk(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    return GuardCallback<INT_PTR>(FALSE, [&]() -> INT_PTR {
        if (message == WM_INITDIALOG)
            SetWindowLongPtrW(dialog, DWLP_USER, lParam);
        auto* self = reinterpret_cast<T*>(GetWindowLongPtrW(dialog, DWLP_USER));
        if (!self)
            return FALSE;
        const INT_PTR result = self->OnMessage(dialog, message, wParam, lParam);
        if (message == WM_NCDESTROY)
            SetWindowLongPtrW(dialog, DWLP_USER, 0);
        return result;
    });
}

// Creates the modeless dialog of object self from template id of instance, owned by (or, for a
// child template, a child of) parent.
template <typename T>
HWND CreateDialogObject(T& self, HINSTANCE instance, int id, HWND parent) {
    return CreateDialogParamW(instance, MAKEINTRESOURCEW(id), parent, DialogThunk<T>, reinterpret_cast<LPARAM>(&self));
}

// Shows the modal dialog of object self from template id of instance, owned by owner; its result.
template <typename T>
INT_PTR ShowDialogObject(T& self, HINSTANCE instance, int id, HWND owner) {
    return DialogBoxParamW(instance, MAKEINTRESOURCEW(id), owner, DialogThunk<T>, reinterpret_cast<LPARAM>(&self));
}

// The dialog procedure body of a main-window page: initialisation, commands (id and notification
// code), notifications and destruction go to page's handlers; the page has the window background.
template <typename Page>
INT_PTR PageMessage(Page& page, HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_INITDIALOG:
        KeepOwnLayout(window);
        return page.OnInitDialog(window);
    case WM_COMMAND:
        return page.OnCommand(LOWORD(wParam), HIWORD(wParam));
    case WM_NOTIFY:
        return page.OnNotify(*reinterpret_cast<const NMHDR*>(lParam));
    case WM_CTLCOLORDLG:
    case WM_CTLCOLORSTATIC:
        return reinterpret_cast<INT_PTR>(GetSysColorBrush(COLOR_WINDOW));
    case WM_DESTROY:
        page.OnDestroy();
        return FALSE;
    default:
        return FALSE;
    }
}

// A page's answer to a WM_COMMAND it handled: the main window, which sent it, then stops.
// (A dialog's SendMessageW result is its DWLP_MSGRESULT, so the page must set it.)
inline INT_PTR PageHandledCommand(HWND page) {
    SetWindowLongPtrW(page, DWLP_MSGRESULT, TRUE);
    return TRUE;
}

// Moves and sizes a page to the area the main window gives its pages.
inline void PlacePage(HWND page, const RECT& area) {
    SetWindowPos(page, nullptr, area.left, area.top, area.right - area.left, area.bottom - area.top,
                 SWP_NOZORDER | SWP_NOACTIVATE);
}

}  // namespace zid
