// The website page in this process as the program runs it: a stand-in main window that handles the
// engine's finished messages as the real one does, the page, and an engine talking to the local
// test website.
#pragma once

#include <windows.h>

#include <memory>
#include <string>
#include <vector>

#include "net/download_engine.h"
#include "releases/website_page.h"
#include "support/installer_stand_ins.h"
#include "support/message_boxes.h"
#include "support/test_util.h"
#include "win/message_pump.h"

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

class WebsiteHarness : public ProgramStateTest {
protected:
    void SetUp() override;
    void TearDown() override;

    // Points the program at the website in these modes (for the rest of the test) and creates the
    // page, which starts loading the catalogue; Load also waits until both pages have been read.
    void CreatePage(const std::wstring& modes);
    void Load(const std::wstring& modes);
    // Pumps the program's way until done() (false after 30 s).
    template <typename Predicate>
    bool PumpUntil(Predicate done, DWORD timeout = 30000) {
        for (const ULONGLONG end = GetTickCount64() + timeout; !done(); PumpMessages()) {
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

    ScriptedMessageBoxes m_boxes;                    // a box nobody expected must not wait for a click
    CScriptedInstaller m_installer;                  // what is downloaded is handed to it, not installed
    std::unique_ptr<EnvironmentOverride> m_website;  // the base address while the test runs
    CCountedPackages m_installed;
    std::unique_ptr<CWebsitePage> m_page;
    HWND m_main = nullptr;
    std::unique_ptr<CVNInet> m_engine;
};
