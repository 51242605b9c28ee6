// The main window: a modeless dialog holding the tab control, the two pages and the log pane.
#pragma once

#include <windows.h>

#include <string>

#include "operations/operation_context.h"
#include "releases/download_context.h"
#include "ui/dpi.h"
#include "ui/log_pane.h"
#include "ui/main_window_layout.h"
#include "ui/owner_window.h"
#include "ui/thispc_page.h"
#include "ui/website_page.h"
#include "win/message_pump.h"

namespace zid {

class CMainWindow final : public IMessageFilter, public IOwnerWindow {
public:
    explicit CMainWindow(const PlatformFacts& platform, CSettingsStore& settings);
    CMainWindow(const CMainWindow&) = delete;
    CMainWindow& operator=(const CMainWindow&) = delete;
    // Destroys the window if it still exists.
    ~CMainWindow();

    // Creates the window (hidden) from template 131 with its pages, whose operations run in downloads
    // (and its operation context); null when it could not be created.
    HWND Create(const DownloadContext& downloads);
    HWND Window() const override { return m_window; }
    HWND Tab() const { return m_tab; }
    HWND VisiblePage() const { return m_visiblePage; }
    const RECT& PageArea() const { return m_pageArea; }
    CThisPcPage& ThisPc() { return m_thisPc; }
    CWebsitePage& Website() { return m_website; }
    CLogPane& LogPane() { return m_logPane; }

    // The choices operations follow: logging (the check box) and basic UI mode (Ctrl+B).
    const OperationOptions& Options() const { return m_options; }

    // The last operation's installer log (empty: none): what Copy Path copies, enabled exactly then.
    const std::wstring& LastLogPath() const { return m_lastLogPath; }
    void SetLastLogPath(std::wstring path);

    // Shows the page of the tab control's current selection (nothing for a page that was not created).
    void ShowSelectedPage();

    // Selects the page step tabs on (-1: the previous one), wrapping around, and shows it.
    void SwitchPage(int step);

    // Ctrl+B: turns basic UI mode on or off and shows it in the label.
    void ToggleBasicUi();

    // Accelerators, Ctrl+B, the tool tips and the dialog keys of the main window.
    bool PreTranslate(MSG& msg) override;

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
    void OnShowLogsClicked();
    void OnCopyPath();
    INT_PTR OnDpiChanged(UINT dpi, const RECT& suggested);
    void CreatePages();
    std::vector<PageTab> Pages() const;
    void LayOut(const std::vector<PageTab>& tabs, const POINT* corner);
    HWND PageWindow(int index) const;

    const PlatformFacts& m_platform;
    CSettingsStore& m_settings;
    const DownloadContext* m_downloads = nullptr;
    HACCEL m_accelerators = nullptr;
    HWND m_window = nullptr;
    HWND m_tab = nullptr;
    HWND m_visiblePage = nullptr;
    RECT m_pageArea{};
    CDialogDpi m_dpi;
    UniqueIcon m_icon;  // the small icon the window shows
    OperationOptions m_options;
    std::wstring m_lastLogPath;
    CLogPane m_logPane;
    CThisPcPage m_thisPc;
    CWebsitePage m_website{m_thisPc};
};

// Puts text on the clipboard as CF_UNICODETEXT for owner; false when any step failed (no UI).
bool CopyTextToClipboard(HWND owner, const std::wstring& text);

}  // namespace zid
