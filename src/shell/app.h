// The process-wide application state: how the parts of the program find each other.
// Touched only on the user-interface thread.
#pragma once

#include <windows.h>
#include <commctrl.h>

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "releases/website_page.h"
#include "shell/handles.h"
#include "thispc/thispc_page.h"

class CVNInet;

class CInstallerApp {
public:
    bool m_basicUi = false;  // Ctrl+B: Windows Installer runs with its basic interface
    bool m_quit = false;
    bool m_wine = false;
    bool m_win64 = false;  // this 32-bit program runs under WOW64
    HACCEL m_accelerators = nullptr;
    HWND m_mainWindow = nullptr;
    HIMAGELIST m_smallIcons = nullptr;
    HINSTANCE m_instance = nullptr;
    HWND m_visiblePage = nullptr;
    HWND m_tab = nullptr;
    zid::UniqueHKey m_settingsKey;
    std::vector<std::wstring> m_recentPackages;  // most recent first, at most 16
    std::map<HWND, std::unique_ptr<WNDPROC>> m_toolTips;  // tool tip -> its previous procedure
    int m_exitCode = 1;
    std::unique_ptr<CVNInet> m_downloads;
    RECT m_pageRect{};
    std::wstring m_lastLogPath;
    std::wstring m_logText;
    std::wstring m_versionText;
    std::wstring m_productName;
    std::wstring m_copyright;
    CThisPcPageState m_thisPc;
    CWebsitePageState m_website;

    CInstallerApp();
    ~CInstallerApp();
    CInstallerApp(const CInstallerApp&) = delete;
    CInstallerApp& operator=(const CInstallerApp&) = delete;
};

extern CInstallerApp theApp;

// The program's name: every message box caption, the internet agent, the registry key.
inline constexpr wchar_t kProgramName[] = L"ZIDezureziv";
