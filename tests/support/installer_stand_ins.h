// What the operations tests share: a scripted Windows Installer, a stand-in for the This PC list, and
// an operation context that needs no window.
#pragma once

#include <windows.h>

#include <functional>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "operations/installed_packages.h"
#include "operations/operation_context.h"
#include "operations/windows_installer.h"
#include "support/scripted_prompt.h"
#include "support/test_util.h"
#include "win/handles.h"
#include "win/message_pump.h"
#include "win/platform.h"
#include "win/settings.h"

namespace zid {

// One operation as the scripted installer saw it.
struct InstallerCall {
    DWORD LogMode = 0;
    std::optional<std::wstring> LogPath;  // none: logging switched off
    DWORD LogAttributes = 0;
    INSTALLUILEVEL UiLevel = INSTALLUILEVEL_NOCHANGE;
    std::wstring Call;  // "Install", "Configure" or "Reinstall"
    std::wstring Target;
    std::optional<std::wstring> CommandLine;
    int Level = 0;
    INSTALLSTATE State = INSTALLSTATE_UNKNOWN;
    DWORD ReinstallMode = 0;
};

// Stands in for msi.dll; answers each operation with the next scripted result (0 when none is left)
// after running DuringCall on the worker thread.
class CScriptedInstaller final : public IWindowsInstaller {
public:
    explicit CScriptedInstaller(std::vector<UINT> results = {});
    CScriptedInstaller(const CScriptedInstaller&) = delete;
    CScriptedInstaller& operator=(const CScriptedInstaller&) = delete;

    std::function<void(const InstallerCall&)> DuringCall;
    // Products it does not know (any other is installed); properties it answers for every product
    // (the cached package is this test program's own file unless set).
    std::vector<std::wstring> UnknownProducts;
    std::vector<std::pair<std::wstring, std::wstring>> ProductInfo;
    const std::vector<InstallerCall>& Calls() const { return m_calls; }

    void EnableLog(DWORD mode, const wchar_t* path, DWORD attributes) override;
    void SetInternalUi(INSTALLUILEVEL level) override;
    UINT InstallProduct(const wchar_t* package, const wchar_t* commandLine) override;
    UINT ConfigureProduct(const wchar_t* product, int level, INSTALLSTATE state, const wchar_t* commandLine) override;
    UINT ReinstallProduct(const wchar_t* product, DWORD mode) override;
    INSTALLSTATE QueryProductState(const wchar_t* product) override;
    std::wstring GetProductInfo(const wchar_t* product, const wchar_t* property) override;

private:
    UINT Finish();

    std::vector<UINT> m_results;
    InstallerCall m_current;
    std::vector<InstallerCall> m_calls;
};

// The This PC page's records without the page.
class CInstalledList final : public IInstalledPackages {
public:
    std::vector<InstalledPackage> Packages;
    int Refreshes = 0;
    int PostedRefreshes = 0;

    const std::vector<InstalledPackage>& Records() const override { return Packages; }
    int Count32() const override;
    int Count64() const override;
    void Refresh() override { ++Refreshes; }
    void PostRefresh() override { ++PostedRefreshes; }
};

// Holds Windows Installer's execution mutex from another thread while it lives, as a running
// installation does.
class CRunningInstallation {
public:
    CRunningInstallation();
    ~CRunningInstallation();
    CRunningInstallation(const CRunningInstallation&) = delete;
    CRunningInstallation& operator=(const CRunningInstallation&) = delete;

private:
    zid::UniqueHandle m_held;
    zid::UniqueHandle m_release;
    std::thread m_thread;
};

// A window of this thread whose message handler runs out of memory when asked to: the exception is
// caught by its callback guard and handed on by the next pass of the message pump.
class CFailingWindow {
public:
    CFailingWindow();
    // From any thread; returns once the handler has failed.
    void Fail() const;

private:
    zid::UniqueWindow m_window;
};

// A record as the inventory makes it.
InstalledPackage Record(const std::wstring& productCode, DWORD version, bool is64Bit,
                        const std::wstring& packageCode = L"{PACKAGE}");

// The waits of operations without a window: the program's pump, with nothing to filter.
class CTestWaiter final : public IWaiter {
public:
    void WaitForWorker(HANDLE thread) override { m_pump.RunUntilSignalled(thread); }
    bool WaitUntil(const std::function<bool()>& done, DWORD slice) override { return m_pump.RunUntil(done, slice); }
    CMessagePump& Pump() { return m_pump; }

private:
    CMessagePump m_pump;
};

// An operation context for each test, with what it scripts: logging off, basic UI mode off, no
// settings key (the test opens one when it needs the recent list), this process's platform facts.
class OperationsTest : public ::testing::Test {
protected:
    OperationContext Context(IPrompt& prompt, IWindowsInstaller& installer, IPackageSource* source = nullptr) {
        return {prompt, m_waiter, installer, m_options, m_settings, m_platform, source};
    }

    CTestWaiter m_waiter;
    OperationOptions m_options{false, false, INSTALLUILEVEL_NOCHANGE, {}};
    CSettingsStore m_settings;
    PlatformFacts m_platform = DetectPlatform(GetModuleHandleW(nullptr));
};

}  // namespace zid
