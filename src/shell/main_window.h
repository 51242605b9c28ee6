// The main window: a modeless dialog holding the tab control, the two pages and the log pane.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "releases/website_page.h"
#include "shell/main_window_layout.h"
#include "thispc/thispc_page.h"

class CMainWindow {
public:
    CMainWindow() = default;
    CMainWindow(const CMainWindow&) = delete;
    CMainWindow& operator=(const CMainWindow&) = delete;
    // Destroys the window if it still exists.
    ~CMainWindow();

    // Creates the window (hidden) from template 131; null when it could not be created.
    HWND Create(HINSTANCE instance);
    HWND Window() const { return m_window; }
    HWND Tab() const { return m_tab; }
    HWND VisiblePage() const { return m_visiblePage; }
    const RECT& PageArea() const { return m_pageArea; }
    CThisPcPage& ThisPc() { return m_thisPc; }
    CWebsitePage& Website() { return m_website; }

    // Shows the page of the tab control's current selection (nothing for a page that was not created).
    void ShowSelectedPage();

    // Ctrl+B: turns basic UI mode on or off and shows it in the label.
    void ToggleBasicUi();

    // The window's dialog procedure body (reached through DialogThunk).
    INT_PTR OnMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

private:
    INT_PTR OnInitDialog(HWND window);
    INT_PTR OnNotify(const NMHDR& header);
    INT_PTR OnCommand(WPARAM wParam, LPARAM lParam);
    INT_PTR OnOwnCommand(WORD id);
    INT_PTR OnDownloadFinished(LPARAM lParam);
    INT_PTR OnDestroy();
    void OnUiLevelClicked();
    void OnCopyPath();
    void CreatePages(const std::vector<PageTemplate>& templates);
    HWND PageWindow(int index) const;

    HWND m_window = nullptr;
    HWND m_tab = nullptr;
    HWND m_visiblePage = nullptr;
    RECT m_pageArea{};
    CThisPcPage m_thisPc;
    CWebsitePage m_website{m_thisPc};
};

// Puts text on the clipboard as CF_UNICODETEXT for owner; false when any step failed (no UI).
bool CopyTextToClipboard(HWND owner, const std::wstring& text);
