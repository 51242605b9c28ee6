// The website page in this process as the program runs it: a stand-in main window that handles the
// engine's finished messages as the real one does, the page, the progress dialog, and an engine
// talking to the local test website.
#pragma once

#include <windows.h>

#include <memory>
#include <string>
#include <vector>

#include "net/download_engine.h"
#include "releases/download_context.h"
#include "support/installer_stand_ins.h"
#include "support/scripted_prompt.h"
#include "support/test_util.h"
#include "ui/owner_window.h"
#include "ui/progress_view.h"
#include "ui/website_page.h"
#include "ui/window_waiter.h"
#include "win/message_pump.h"

namespace zid {

// This PC's package counts as a test sets them.
class CCountedPackages final : public IInstalledPackages {
public:
    const std::vector<InstalledPackage>& Records() const override { return m_records; }
    int Count32() const override { return Count32Value; }
    int Count64() const override { return Count64Value; }
    void Refresh() override {}
    void PostRefresh() override {}

    int Count32Value = 0;
    int Count64Value = 0;

private:
    std::vector<InstalledPackage> m_records;
};

class WebsiteHarness : public ::testing::Test, public IOwnerWindow {
protected:
    void SetUp() override;
    void TearDown() override;
    HWND Window() const override { return m_main; }

    // Points the program at the website in these modes (for the rest of the test) and creates the
    // page, which starts loading the catalogue; Load also waits until both pages have been read.
    void CreatePage(const std::wstring& modes);
    void Load(const std::wstring& modes);
    // Pumps the program's way until done() (false after 30 s).
    template <typename Predicate>
    bool PumpUntil(Predicate done, DWORD timeout = 30000) {
        for (const ULONGLONG end = GetTickCount64() + timeout; !done(); m_pump.PumpMessages()) {
            if (GetTickCount64() > end)
                return false;
            MsgWaitForMultipleObjects(0, nullptr, FALSE, 20, QS_ALLINPUT);
        }
        return true;
    }

    std::vector<std::vector<std::wstring>> Rows() const;  // the list's texts, row by row
    std::wstring Status() const;
    bool IsEnabled(int id) const;
    void SelectRow(int row);
    void Command(int id);  // as a click on the control

    bool m_openSession = true;  // false: the engine runs without its internet session
    CMessagePump m_pump;
    CScriptedPrompt m_boxes;
    CScriptedInstaller m_installer;  // what is downloaded is handed to it, not installed
    OperationOptions m_options{false, false, INSTALLUILEVEL_NOCHANGE, {}};
    CSettingsStore m_settings;
    PlatformFacts m_platform = DetectPlatform(GetModuleHandleW(nullptr));
    std::unique_ptr<EnvironmentOverride> m_website;  // the base address while the test runs
    CCountedPackages m_installed;
    HWND m_main = nullptr;
    CWindowWaiter m_waiter{*this, m_pump};
    CProgressView m_view{m_platform, *this, m_pump, m_boxes};
    CVNInet m_engine;
    OperationContext m_operations{m_boxes, m_waiter, m_installer, m_options, m_settings, m_platform};
    DownloadContext m_downloads{m_operations, m_engine, m_view};
    std::unique_ptr<CWebsitePage> m_page;
};

}  // namespace zid
