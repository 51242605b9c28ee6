#include "support/test_util.h"

#include <shellapi.h>
#include <shlobj.h>
#include <shlwapi.h>

#include <vector>

#include "shell/app.h"

std::string Narrow(const std::wstring& text) {
    int length = WideCharToMultiByte(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()), nullptr, 0,
                                     nullptr, nullptr);
    std::string narrow(static_cast<size_t>(length), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()), narrow.data(), length, nullptr,
                        nullptr);
    return narrow;
}

std::wstring WindowText(HWND window) {
    int length = GetWindowTextLengthW(window);
    std::wstring text(static_cast<size_t>(length) + 1, L'\0');
    GetWindowTextW(window, text.data(), length + 1);
    text.resize(wcslen(text.c_str()));
    return text;
}

void DrainMessages() {
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
}

static void DeleteTree(const std::wstring& folder) {
    std::vector<wchar_t> from(folder.begin(), folder.end());
    from.push_back(L'\0');
    from.push_back(L'\0');
    SHFILEOPSTRUCTW op{};
    op.wFunc = FO_DELETE;
    op.pFrom = from.data();
    op.fFlags = FOF_NO_UI;
    SHFileOperationW(&op);
}

std::wstring ScratchFolder(const std::wstring& name) {
    wchar_t temp[MAX_PATH];
    GetTempPathW(MAX_PATH, temp);
    std::wstring folder = std::wstring(temp) + L"zid-tests\\" + name;
    DeleteTree(folder);
    SHCreateDirectoryExW(nullptr, folder.c_str(), nullptr);
    return folder;
}

void DeleteSettingsKey() {
    SHDeleteKeyW(HKEY_CURRENT_USER, L"Software\\Fennickworks\\ZIDezureziv");
}

void CloseTestMainWindow(HWND window) {
    if (IsWindow(window))
        DestroyWindow(window);
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
    }
    theApp.m_mainWindow = nullptr;
    theApp.m_quit = false;
    theApp.m_basicUi = false;
}
