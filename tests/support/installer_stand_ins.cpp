#include "support/installer_stand_ins.h"

#include <commctrl.h>

#include <algorithm>
#include <new>

#include "win/callback_guard.h"
#include "win/module_info.h"

namespace zid {

namespace {

constexpr wchar_t kFailingWindowClass[] = L"ZidFailingWindow";
constexpr UINT kFailMessage = WM_APP + 17;

LRESULT CALLBACK FailingWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    return GuardCallback<LRESULT>(0, [&]() -> LRESULT {
        if (message == kFailMessage)
            throw std::bad_alloc();
        return DefWindowProcW(window, message, wParam, lParam);
    });
}

std::optional<std::wstring> Optional(const wchar_t* text) {
    return text ? std::optional<std::wstring>(text) : std::nullopt;
}

}  // namespace

CScriptedInstaller::CScriptedInstaller(std::vector<UINT> results) : m_results(std::move(results)) {
    std::reverse(m_results.begin(), m_results.end());
}

void CScriptedInstaller::EnableLog(DWORD mode, const wchar_t* path, DWORD attributes) {
    m_current.LogMode = mode;
    m_current.LogPath = Optional(path);
    m_current.LogAttributes = attributes;
}

void CScriptedInstaller::SetInternalUi(INSTALLUILEVEL level) {
    m_current.UiLevel = level;
}

UINT CScriptedInstaller::InstallProduct(const wchar_t* package, const wchar_t* commandLine) {
    m_current.Call = L"Install";
    m_current.Target = package;
    m_current.CommandLine = Optional(commandLine);
    return Finish();
}

UINT CScriptedInstaller::ConfigureProduct(const wchar_t* product, int level, INSTALLSTATE state,
                                          const wchar_t* commandLine) {
    m_current.Call = L"Configure";
    m_current.Target = product;
    m_current.Level = level;
    m_current.State = state;
    m_current.CommandLine = Optional(commandLine);
    return Finish();
}

UINT CScriptedInstaller::ReinstallProduct(const wchar_t* product, DWORD mode) {
    m_current.Call = L"Reinstall";
    m_current.Target = product;
    m_current.ReinstallMode = mode;
    return Finish();
}

INSTALLSTATE CScriptedInstaller::QueryProductState(const wchar_t* product) {
    const bool unknown = std::find(UnknownProducts.begin(), UnknownProducts.end(), product) != UnknownProducts.end();
    return unknown ? INSTALLSTATE_UNKNOWN : INSTALLSTATE_DEFAULT;
}

std::wstring CScriptedInstaller::GetProductInfo(const wchar_t*, const wchar_t* property) {
    for (const auto& [name, value] : ProductInfo) {
        if (name == property)
            return value;
    }
    return std::wstring(property) == INSTALLPROPERTY_LOCALPACKAGE ? GetModulePath() : std::wstring();
}

UINT CScriptedInstaller::Finish() {
    if (DuringCall)
        DuringCall(m_current);
    m_calls.push_back(std::exchange(m_current, InstallerCall{}));
    if (m_results.empty())
        return ERROR_SUCCESS;
    const UINT result = m_results.back();
    m_results.pop_back();
    return result;
}

CRunningInstallation::CRunningInstallation()
    : m_held(CreateEventW(nullptr, TRUE, FALSE, nullptr)), m_release(CreateEventW(nullptr, TRUE, FALSE, nullptr)) {
    m_thread = std::thread([this] {
        zid::UniqueHandle mutex(CreateMutexW(nullptr, TRUE, L"Global\\_MSIExecute"));
        SetEvent(m_held.get());
        WaitForSingleObject(m_release.get(), 30000);
        ReleaseMutex(mutex.get());
    });
    WaitForSingleObject(m_held.get(), 10000);
}

CRunningInstallation::~CRunningInstallation() {
    SetEvent(m_release.get());
    m_thread.join();
}

CFailingWindow::CFailingWindow() {
    WNDCLASSW windowClass{};
    windowClass.lpfnWndProc = FailingWindowProc;
    windowClass.hInstance = GetModuleHandleW(nullptr);
    windowClass.lpszClassName = kFailingWindowClass;
    RegisterClassW(&windowClass);  // fails harmlessly when it is registered already
    m_window.reset(CreateWindowExW(0, kFailingWindowClass, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                   GetModuleHandleW(nullptr), nullptr));
    EXPECT_TRUE(m_window);
}

void CFailingWindow::Fail() const {
    SendMessageW(m_window.get(), kFailMessage, 0, 0);
}

int CInstalledList::Count32() const {
    return static_cast<int>(std::count_if(Packages.begin(), Packages.end(), [](auto& p) { return !p.Is64Bit; }));
}

int CInstalledList::Count64() const {
    return static_cast<int>(std::count_if(Packages.begin(), Packages.end(), [](auto& p) { return p.Is64Bit; }));
}

InstalledPackage Record(const std::wstring& productCode, DWORD version, bool is64Bit, const std::wstring& packageCode) {
    InstalledPackage package;
    package.ProductCode = productCode;
    package.PackageCode = packageCode;
    package.Version = version;
    package.Is64Bit = is64Bit;
    package.InstallLocation = L"C:\\Program Files\\Corrabel\\Velonar\\";
    package.UninstallString = L"MsiExec.exe /I" + productCode;
    return package;
}

}  // namespace zid
