#include "shell/about.h"

#include <commctrl.h>
#include <shellapi.h>

#include <cstdio>
#include <memory>
#include <stdexcept>
#include <vector>

#include "resource.h"
#include "shell/app.h"
#include "shell/callback_guard.h"
#include "shell/errors.h"
#include "shell/handles.h"
#include "shell/startup.h"

namespace {

// The one place the website's address is spelled.
constexpr wchar_t kWebsiteHost[] = L"www.velonar.example";
constexpr wchar_t kWebsiteOverride[] = L"ZIDEZUREZIV_WEBSITE";

bool QueryVersionString(const std::vector<BYTE>& block, const wchar_t* path, std::wstring& text) {
    void* value = nullptr;
    UINT length = 0;
    if (!VerQueryValueW(block.data(), path, &value, &length) || !value || length == 0)
        return false;
    const auto* chars = static_cast<const wchar_t*>(value);
    text.assign(chars, wcsnlen(chars, length));
    return true;
}

// The staging switch: only a whole http(s) base address ending with "/" is taken.
bool ReadWebsiteOverride(std::wstring& base) {
    wchar_t value[1024];
    DWORD length = GetEnvironmentVariableW(kWebsiteOverride, value, 1024);
    if (length == 0 || length >= 1024)
        return false;
    std::wstring candidate(value, length);
    if (!IsWebAddress(candidate) || candidate.back() != L'/')
        return false;
    base = std::move(candidate);
    return true;
}

// Hands a web address to the browser of a Wine system. Only tried under Wine: on Windows the
// command does not exist, and the search for it would run any "winebrowser.exe" planted in the
// program's or the current folder (often the Downloads folder).
bool StartWineBrowser(const std::wstring& address) {
    if (!theApp.m_wine)
        return false;
    std::wstring command = L"winebrowser " + address;
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION process{};
    if (!CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process))
        return false;
    zid::UniqueHandle thread(process.hThread);
    zid::UniqueHandle child(process.hProcess);
    return true;
}

INT_PTR OnAboutInit(HWND dialog) {
    std::wstring line = GetVersionText();
    SetWindowTextW(dialog, (L"About " + theApp.m_productName).c_str());
    SetDlgItemTextW(dialog, IDC_VERSION, line.c_str());
    SetDlgItemTextW(dialog, IDC_COPYRIGHT, theApp.m_copyright.c_str());
    return TRUE;
}

INT_PTR OnAboutNotify(const NMHDR& header) {
    if (header.idFrom != IDC_WEBSITE_LINK || (header.code != NM_CLICK && header.code != NM_RETURN))
        return FALSE;
    ShellOpen(GetWebsiteBase());
    return TRUE;
}

INT_PTR OnAboutCommand(HWND dialog, WORD id) {
    if (id != IDOK && id != IDCANCEL)
        return FALSE;
    EndDialog(dialog, id);
    return TRUE;
}

}  // namespace

std::wstring GetVersionText() {
    if (theApp.m_versionText.empty()) {
        std::wstring path = GetModulePath();
        if (!path.empty())
            theApp.m_versionText = GetFileVersionText(path, &theApp.m_productName, &theApp.m_copyright);
    }
    return theApp.m_productName + L" Version " + theApp.m_versionText;
}

std::wstring GetFileVersionText(const std::wstring& file, std::wstring* productName, std::wstring* copyright) {
    DWORD handle = 0;
    DWORD size = GetFileVersionInfoSizeW(file.c_str(), &handle);
    if (size == 0)
        return {};
    std::vector<BYTE> block(size);
    VS_FIXEDFILEINFO* fixed = nullptr;
    UINT fixedLength = 0;
    if (!GetFileVersionInfoW(file.c_str(), 0, size, block.data()) ||
        !VerQueryValueW(block.data(), L"\\", reinterpret_cast<void**>(&fixed), &fixedLength) || !fixed ||
        fixedLength < sizeof(VS_FIXEDFILEINFO))
        return {};

    wchar_t number[64];
    swprintf(number, 64, L"%u.%u", HIWORD(fixed->dwFileVersionMS), LOWORD(fixed->dwFileVersionMS));
    std::wstring version = number;
    if (fixed->dwFileVersionLS != 0) {
        swprintf(number, 64, L".%u", HIWORD(fixed->dwFileVersionLS));
        version += number;
        if (LOWORD(fixed->dwFileVersionLS) != 0) {
            swprintf(number, 64, L".%u", LOWORD(fixed->dwFileVersionLS));
            version += number;
        }
    }

    std::wstring text;
    if (productName && QueryVersionString(block, L"\\StringFileInfo\\040904b0\\ProductName", text))
        *productName = text;
    if (copyright && QueryVersionString(block, L"\\StringFileInfo\\040904b0\\LegalCopyright", text))
        *copyright = text;
    return version;
}

std::wstring GetModulePath() {
    std::wstring buffer(MAX_PATH, L'\0');
    for (;;) {
        DWORD length = GetModuleFileNameW(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
        if (length < buffer.size()) {
            buffer.resize(length);
            return buffer;
        }
        if (buffer.size() > buffer.max_size() / 2 || buffer.size() > MAXDWORD / 2)
            throw std::invalid_argument("GetModulePath: buffer size overflow");
        buffer.resize(buffer.size() * 2);
    }
}

std::wstring GetWebsiteBase() {
    std::wstring base;
    if (ReadWebsiteOverride(base))
        return base;
    return std::wstring(L"http") + L"://" + kWebsiteHost + L"/";
}

bool IsWebAddress(const std::wstring& target) {
    return target.compare(0, 7, L"http://") == 0 || target.compare(0, 8, L"https://") == 0;
}

void ShellOpen(const std::wstring& target) {
    const bool web = IsWebAddress(target);
    if (web && StartWineBrowser(target))
        return;
    auto result = reinterpret_cast<INT_PTR>(
        ShellExecuteW(nullptr, nullptr, target.c_str(), nullptr, nullptr, SW_SHOWNORMAL));
    // Before Vista the shell answered 2 for an address it had handed to the browser.
    if (web && result == ERROR_FILE_NOT_FOUND && !IsVistaOrLater())
        return;
    if (result > 32)
        return;
    wchar_t detail[64];
    swprintf(detail, 64, L"Error code = %d", static_cast<int>(result));
    ShowMessage(target, detail, MB_ICONWARNING);
}

INT_PTR CALLBACK AboutProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    return GuardCallback<INT_PTR>(FALSE, [&]() -> INT_PTR {
        switch (message) {
        case WM_INITDIALOG:
            return OnAboutInit(dialog);
        case WM_NOTIFY:
            return OnAboutNotify(*reinterpret_cast<const NMHDR*>(lParam));
        case WM_COMMAND:
            return OnAboutCommand(dialog, LOWORD(wParam));
        default:
            return FALSE;
        }
    });
}
