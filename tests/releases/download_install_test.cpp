// Download && Install in this process: folders, progress dialog, cancel, links that try to escape.
#include <gtest/gtest.h>

#include <windows.h>

#include "log/installer_log.h"
#include "releases/download_folder.h"
#include "releases/website_harness.h"
#include "resource.h"
#include "support/website.h"

namespace {

std::string Fixture(const std::wstring& name) {
    return ReadFileBytes(WinePath(std::string(ZID_BINARY_DIR) + "/fixtures/" + Narrow(name)));
}

bool Exists(const std::wstring& path) {
    return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

// Names of the files in folder that match pattern.
std::vector<std::wstring> FilesIn(const std::wstring& folder, const wchar_t* pattern) {
    std::vector<std::wstring> names;
    WIN32_FIND_DATAW found{};
    HANDLE search = FindFirstFileW((folder + L"\\" + pattern).c_str(), &found);
    for (bool more = search != INVALID_HANDLE_VALUE; more; more = FindNextFileW(search, &found))
        names.emplace_back(found.cFileName);
    if (search != INVALID_HANDLE_VALUE)
        FindClose(search);
    return names;
}

std::wstring g_saving;  // the file being saved when the timer below presses Cancel

void CALLBACK CancelOnceRunning(HWND, UINT, UINT_PTR timer, DWORD) {
    HWND dialog = FindWindowW(nullptr, L"Velonar Download");
    if (!dialog || !Exists(g_saving) || WindowText(GetDlgItem(dialog, IDC_FIELD0)).empty())
        return;  // not before the headers are in
    KillTimer(nullptr, timer);
    PostMessageW(dialog, WM_COMMAND, IDCANCEL, 0);
}

class DownloadInstall : public WebsiteHarness {
protected:
    void SetUp() override {
        WebsiteHarness::SetUp();
        ASSERT_TRUE(FindDownloadsFolder(m_downloads));
        ASSERT_TRUE(FindCommonDataFolder(m_common));
    }
    // Selects row and runs Download && Install; it returns when the download has ended.
    void DownloadRow(int row) {
        SelectRow(row);
        Command(IDC_DOWNLOAD_INSTALL);
        EXPECT_TRUE(IsWindowEnabled(m_main));
        EXPECT_EQ(FindWindowW(nullptr, L"Velonar Download"), nullptr);
    }
    std::wstring m_downloads;
    std::wstring m_common;
};

}  // namespace

TEST_F(DownloadInstall, SavesInDownloadsReplacingAnOldFileElseInCommonData) {
    Load(L"ok");
    const std::wstring name = L"velonar64-5.46-signed.msi";
    ASSERT_TRUE(WriteFileBytes(m_downloads + L"\\" + name, "an older download"));
    DownloadRow(0);
    EXPECT_TRUE(ReadFileBytes(m_downloads + L"\\" + name) == Fixture(name));
    DeleteFileW((m_downloads + L"\\" + name).c_str());

    // A folder in the way in Downloads: the next folder takes the file.
    const std::wstring blocked = m_downloads + L"\\velonar64-5.45.3-signed.msi";
    ASSERT_TRUE(CreateDirectoryW(blocked.c_str(), nullptr));
    DownloadRow(1);
    RemoveDirectoryW(blocked.c_str());
    EXPECT_EQ(m_common.substr(m_common.size() - 17), L"\\Corrabel\\Velonar");
    EXPECT_TRUE(ReadFileBytes(m_common + L"\\velonar64-5.45.3-signed.msi") == Fixture(L"velonar64-5.45.3-signed.msi"));
    DeleteFileW((m_common + L"\\velonar64-5.45.3-signed.msi").c_str());
    // Each saved package went on to the install decision and was installed from where it was saved.
    ASSERT_EQ(m_installer.Calls().size(), 2u);
    EXPECT_EQ(m_installer.Calls()[0].Target, m_downloads + L"\\" + name);
    EXPECT_EQ(m_installer.Calls()[1].Target, m_common + L"\\velonar64-5.45.3-signed.msi");
    EXPECT_NE(LogPaneText().find(L"Install 5.45.3 (64 bit): Exit code 0: "), std::wstring::npos);
    EXPECT_TRUE(m_boxes.Boxes().empty());
}

TEST_F(DownloadInstall, CancelLeavesNoFile) {
    Load(L"ok");
    CreatePage(L"slow=8192");  // the same rows; the package now comes at 8 KB a second
    ASSERT_TRUE(PumpUntil([this] { return IsEnabled(IDC_REFRESH) && m_page->Links().size() > 1; }));
    g_saving = m_downloads + L"\\velonar64-5.46-signed.msi";
    const UINT_PTR timer = SetTimer(nullptr, 0, 20, &CancelOnceRunning);
    DownloadRow(0);
    KillTimer(nullptr, timer);
    // The download ends on WinINet's thread and deletes what it saved (Wine's WinINet first lets the
    // read under way fill its buffer or reach the end).
    EXPECT_TRUE(PumpUntil([] { return !Exists(g_saving); }, 10000));
    EXPECT_TRUE(m_boxes.Boxes().empty());
    EXPECT_TRUE(m_installer.Calls().empty());
}

TEST_F(DownloadInstall, HostileLinksNeverWriteOutsideTheDownloadFolder) {
    Load(L"hostile");
    ASSERT_GE(m_page->Links().size(), 8u);
    // Rows 1 to 7 carry the website's hostile links; only two of them name a plain file.
    const bool saved[] = {true, false, false, false, false, false, true};
    for (int row = 1; row <= 7; ++row) {
        const std::wstring link = m_page->Links()[row];
        DownloadRow(row);
        const std::wstring refusal =
            L"Cannot download " + WebsiteBase(L"hostile") + link + L": the link does not name a file\r\n";
        EXPECT_EQ(LogPaneText().empty() ? L"" : LogPaneText().substr(9), saved[row - 1] ? L"" : refusal)
            << Narrow(link);
    }
    EXPECT_EQ(FilesIn(m_downloads, L"*evil*"), (std::vector<std::wstring>{L"evil1.msi", L"evil6.msi"}));
    std::wstring outside = m_downloads;
    for (int level = 0; level < 3; ++level) {
        outside.resize(outside.find_last_of(L'\\'));
        EXPECT_TRUE(FilesIn(outside, L"*evil*").empty()) << Narrow(outside);
    }
    EXPECT_TRUE(FilesIn(m_common, L"*evil*").empty());
    for (const wchar_t* name : {L"\\evil1.msi", L"\\evil6.msi"})
        DeleteFileW((m_downloads + name).c_str());
}
