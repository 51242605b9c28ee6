// The real program against the test website, for the end-to-end tests that download.
#pragma once

#include <windows.h>
#include <commctrl.h>
#include <shlobj.h>

#include <string>

#include "e2e/driver.h"
#include "resource.h"
#include "support/launch_recorder.h"
#include "support/test_util.h"

namespace zid {

inline constexpr wchar_t kProgress[] = L"Velonar Download";

// The program against the website at base, once its VN Website page has read the catalogue (Loaded),
// or (failing) once the page says why it could not; closed at the end.
struct WebsiteProgram {
    enum Catalogue { Loads, Fails };
    explicit WebsiteProgram(const std::wstring& base, Catalogue expected = Loads)
        : Website(L"ZIDEZUREZIV_WEBSITE", base.c_str()), Program(L"") {
        Main = Program.WaitForDialog(L"ZIDezureziv");
        Page = Main ? FindPage(Main, IDC_BUILD64) : nullptr;
        List = GetDlgItem(Page, IDC_LIST1);
        Loaded = Page && WaitUntil([&] {
                     if (!IsWindowEnabled(GetDlgItem(Page, IDC_REFRESH)))
                         return false;
                     if (expected == Fails)
                         return ControlText(Page, IDC_CAPTION).find(L".htm: ") != std::wstring::npos;
                     return ListView_GetItemCount(List) >= 7;
                 }) &&
                 ListView_GetItemCount(List) >= 7;
        const bool is64 = SendDlgItemMessageW(Page, IDC_BUILD64, BM_GETCHECK, 0, 0) == BST_CHECKED;
        File = is64 ? L"velonar64-5.46-signed.msi" : L"velonar32-5.46-signed.msi";  // the first row's
        Saved = SavedPath(File);
        DeleteFileW(Saved.c_str());
    }
    ~WebsiteProgram() {
        ClickButton(Main, IDCANCEL);
        Program.WaitForExit(5000);
        DeleteFileW(Saved.c_str());
    }
    // Where Download && Install saves file: the Downloads folder.
    static std::wstring SavedPath(const std::wstring& file) {
        PWSTR downloads = nullptr;
        std::wstring path;
        if (SUCCEEDED(SHGetKnownFolderPath(FOLDERID_Downloads, 0, nullptr, &downloads)))
            path = std::wstring(downloads) + L"\\" + file;
        CoTaskMemFree(downloads);
        return path;
    }
    // Selects a row and clicks Download && Install.
    void ClickDownload(int row) {
        SelectListRow(Program.Process(), List, row);
        ClickButton(Page, IDC_DOWNLOAD_INSTALL);
    }
    // ClickDownload, then the progress dialog, or null.
    HWND DownloadRow(int row) {
        ClickDownload(row);
        return Program.WaitForDialog(kProgress);
    }
    HWND DownloadFirstRow() { return DownloadRow(0); }
    bool Done(HWND progress) const {
        return WaitUntil([&] { return !IsWindow(progress) && IsWindowEnabled(Main); });
    }
    // The text of the next message box, closed with OK; empty when none came.
    std::wstring DismissBox(DWORD timeoutMs = 15000) {
        HWND box = nullptr;
        if (!WaitUntil([&] { return (box = Program.FindMessageBox()) != nullptr; }, timeoutMs))
            return {};
        const std::wstring text = MessageBoxText(box);
        PostMessageW(box, WM_COMMAND, IDOK, 0);
        WaitUntil([&] { return !IsWindow(box); });
        return text;
    }

    EnvironmentOverride Website;
    CLaunchRecorder Recorder;  // the installer log opened after an install
    CProgram Program;
    HWND Main, Page, List;
    bool Loaded;
    std::wstring File, Saved;
};

}  // namespace zid
