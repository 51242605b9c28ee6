// The main window: a modeless dialog holding the tab control, the two pages and the log pane.
#pragma once

#include <windows.h>

// Dialog procedure of template 131; stores its window in the application state while it initialises.
INT_PTR CALLBACK MainWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

// Shows the page of the tab control's current selection.
void ShowSelectedPage();

// Window procedure installed on every registered tool tip.
LRESULT CALLBACK ToolTipProc(HWND toolTip, UINT message, WPARAM wParam, LPARAM lParam);
