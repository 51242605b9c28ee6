// The main window: a modeless dialog holding the tab control, the two pages and the log pane.
#pragma once

#include <windows.h>

#include <string>

// Dialog procedure of template 131; stores its window in the application state while it initialises.
INT_PTR CALLBACK MainWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

// Shows the page of the tab control's current selection (nothing for a page that was not created).
void ShowSelectedPage();

// A page's answer to a WM_COMMAND it handled: the main window, which sent it, then stops.
// (A dialog's SendMessageW result is its DWLP_MSGRESULT, so the page must set it.)
INT_PTR PageHandledCommand(HWND page);

// A page's WM_INITDIALOG: records its window and list control 1001 in its state and places it
// in the page rectangle.
void AttachPage(HWND page, HWND& pageSlot, HWND& listSlot);

// A page's WM_DESTROY: forgets its window and list when they are still the recorded ones.
void DetachPage(HWND page, HWND& pageSlot, HWND& listSlot);

// Puts text on the clipboard as CF_UNICODETEXT for owner; false when any step failed (no UI).
bool CopyTextToClipboard(HWND owner, const std::wstring& text);

// Window procedure installed on every registered tool tip: tips also show over disabled children.
LRESULT CALLBACK ToolTipProc(HWND toolTip, UINT message, WPARAM wParam, LPARAM lParam);

// Adds toolTip to the application's tool-tip registry and installs ToolTipProc on it.
void RegisterToolTip(HWND toolTip);
