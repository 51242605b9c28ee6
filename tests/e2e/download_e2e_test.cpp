// Download && Install in the real program, against the local test website.
#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>
#include <shlobj.h>

#include <memory>

#include "e2e/driver.h"
#include "resource.h"
#include "support/test_util.h"
#include "support/website.h"

namespace {

constexpr wchar_t kProgressCaption[] = L"Velonar Download";

std::wstring DownloadsFolder() {
    PWSTR path = nullptr;
    std::wstring folder;
    if (SUCCEEDED(SHGetKnownFolderPath(FOLDERID_Downloads, 0, nullptr, &path)))
        folder = path;
    CoTaskMemFree(path);
    return folder;
}

// An edit control's text (WM_GETTEXT: GetWindowText does not ask another process's controls).
std::wstring EditText(HWND edit) {
    wchar_t text[4096] = L"";
    SendMessageW(edit, WM_GETTEXT, 4096, reinterpret_cast<LPARAM>(text));
    return text;
}

// The program started against the website in these modes, its main window and VN Website page,
// once the catalogue has been read.
class WebsiteProgram {
public:
    explicit WebsiteProgram(const std::wstring& modes)
        : m_website(L"ZIDEZUREZIV_WEBSITE", WebsiteBase(modes).c_str()), m_program(L"") {
        m_main = m_program.WaitForDialog(L"ZIDezureziv");
        m_page = m_main ? FindPage(m_main, IDC_BUILD64) : nullptr;
        m_list = m_page ? GetDlgItem(m_page, IDC_LIST1) : nullptr;
    }
    ~WebsiteProgram() {
        if (m_main)
            ClickButton(m_main, IDCANCEL);
        m_program.WaitForExit(5000);
    }

    bool Loaded() const {
        return m_list && WaitUntil([&] {
                   return ListView_GetItemCount(m_list) >= 7 && IsWindowEnabled(GetDlgItem(m_page, IDC_REFRESH));
               });
    }
    // The file the first row saves: the current release of the checked build.
    std::wstring FirstRowFile() const {
        const bool is64 = SendDlgItemMessageW(m_page, IDC_BUILD64, BM_GETCHECK, 0, 0) == BST_CHECKED;
        return is64 ? L"velonar64-5.46-signed.msi" : L"velonar32-5.46-signed.msi";
    }

    EnvironmentOverride m_website;
    CProgram m_program;
    HWND m_main = nullptr;
    HWND m_page = nullptr;
    HWND m_list = nullptr;
};

}  // namespace

TEST(DownloadAndInstall, SavesTheSelectedReleaseAndHandsItOn) {
    WebsiteProgram program(L"slow=8192");
    ASSERT_TRUE(program.Loaded());
    const std::wstring file = program.FirstRowFile();
    const std::wstring saved = DownloadsFolder() + L"\\" + file;
    DeleteFileW(saved.c_str());
    const std::string request = "/slow=8192/packages/" + Narrow(file);
    const size_t requests = CountWebsiteRequests(request);

    SelectListRow(program.m_program.Process(), program.m_list, 0);
    ASSERT_TRUE(WaitUntil([&] { return IsWindowEnabled(GetDlgItem(program.m_page, IDC_DOWNLOAD_INSTALL)); }));
    ClickButton(program.m_page, IDC_DOWNLOAD_INSTALL);
    HWND progress = program.m_program.WaitForDialog(kProgressCaption);
    ASSERT_NE(progress, nullptr);
    EXPECT_FALSE(IsWindowEnabled(program.m_main));
    EXPECT_TRUE(WaitUntil([&] { return ControlText(progress, IDC_FIELD0) == L"Downloading " + file; }));

    // Done: the dialog has gone, the main window takes input again, the file is the package.
    ASSERT_TRUE(WaitUntil([&] { return !IsWindow(progress) && IsWindowEnabled(program.m_main); }));
    EXPECT_EQ(program.m_program.FindMessageBox(), nullptr);
    const std::string expected = ReadFileBytes(WinePath(std::string(ZID_BINARY_DIR) + "/fixtures/" + Narrow(file)));
    ASSERT_FALSE(expected.empty());
    EXPECT_TRUE(ReadFileBytes(saved) == expected);
    // One request, the whole file sent (the log line comes once the response is over).
    EXPECT_TRUE(WaitUntil([&] { return CountWebsiteRequests(request) == requests + 1; }));
    EXPECT_EQ(WebsiteRequests().back(), request + " 200 " + std::to_string(expected.size()));
    DeleteFileW(saved.c_str());
}

TEST(DownloadAndInstall, CancelLeavesNoFileAndTheWindowUsable) {
    WebsiteProgram program(L"slow=8192");
    ASSERT_TRUE(program.Loaded());
    const std::wstring saved = DownloadsFolder() + L"\\" + program.FirstRowFile();
    DeleteFileW(saved.c_str());

    SelectListRow(program.m_program.Process(), program.m_list, 0);
    ClickButton(program.m_page, IDC_DOWNLOAD_INSTALL);
    HWND progress = program.m_program.WaitForDialog(kProgressCaption);
    ASSERT_NE(progress, nullptr);
    // The headers are in and the first read waits for the body.
    ASSERT_TRUE(WaitUntil([&] { return !ControlText(progress, IDC_FIELD0).empty(); }));
    ClickButton(progress, IDCANCEL);

    ASSERT_TRUE(WaitUntil([&] { return !IsWindow(progress) && IsWindowEnabled(program.m_main); }));
    EXPECT_TRUE(WaitUntil([&] { return GetFileAttributesW(saved.c_str()) == INVALID_FILE_ATTRIBUTES; }));
    EXPECT_EQ(program.m_program.FindMessageBox(), nullptr);
}

TEST(DownloadAndInstall, WithoutASelectedRowNothingIsDownloaded) {
    WebsiteProgram program(L"ok");
    ASSERT_TRUE(program.Loaded());
    ClickButton(program.m_page, IDC_DOWNLOAD_INSTALL);
    EXPECT_TRUE(WaitUntil([&] {
        const std::wstring log = EditText(GetDlgItem(program.m_main, IDC_LOG));
        return log.size() > 9 && log.substr(9) == L"Cannot download\r\n";
    }));
    EXPECT_EQ(FindWindowW(nullptr, kProgressCaption), nullptr);
}
