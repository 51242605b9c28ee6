// Download && Install in this process: folder, progress dialog, cancel, links that try to escape.
#include <gtest/gtest.h>

#include <windows.h>

#include "log/installer_log.h"
#include "releases/download_folder.h"
#include "releases/website_harness.h"
#include "resource.h"
#include "support/website.h"
#include "win/platform.h"

namespace {

std::string FixtureBytes(const char* name) {
    return ReadFileBytes(WinePath(std::string(ZID_BINARY_DIR) + "/fixtures/" + name));
}

bool Exists(const std::wstring& path) {
    return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

// Files matching pattern in folder.
std::vector<std::wstring> FilesIn(const std::wstring& folder, const wchar_t* pattern) {
    std::vector<std::wstring> names;
    WIN32_FIND_DATAW found{};
    HANDLE search = FindFirstFileW((folder + L"\\" + pattern).c_str(), &found);
    if (search == INVALID_HANDLE_VALUE)
        return names;
    do {
        names.emplace_back(found.cFileName);
    } while (FindNextFileW(search, &found));
    FindClose(search);
    return names;
}

std::wstring g_partialFile;  // the file being saved when the timer below presses Cancel

// Presses Cancel in the progress dialog once the download runs (its headers are shown).
void CALLBACK CancelOnceSaving(HWND, UINT, UINT_PTR timer, DWORD) {
    HWND dialog = FindWindowW(nullptr, L"Velonar Download");
    if (!dialog || !Exists(g_partialFile) || WindowText(GetDlgItem(dialog, IDC_FIELD0)).empty())
        return;
    KillTimer(nullptr, timer);
    PostMessageW(dialog, WM_COMMAND, IDCANCEL, 0);
}

class DownloadInstall : public WebsiteHarness {
protected:
    void SetUp() override {
        WebsiteHarness::SetUp();
        Platform().Win64 = true;
        ASSERT_TRUE(FindDownloadsFolder(m_downloads));
    }
    std::wstring m_downloads;
};

}  // namespace

TEST_F(DownloadInstall, SavesTheReleaseInDownloadsReplacingAnOldFile) {
    Load(L"ok");
    const std::wstring target = m_downloads + L"\\velonar64-5.46-signed.msi";
    ASSERT_TRUE(WriteFileBytes(target, "an older download"));
    SelectRow(0);
    Command(IDC_DOWNLOAD_INSTALL);
    EXPECT_TRUE(ReadFileBytes(target) == FixtureBytes("velonar64-5.46-signed.msi"));
    EXPECT_TRUE(IsWindowEnabled(m_main));
    EXPECT_EQ(FindWindowW(nullptr, L"Velonar Download"), nullptr);
    EXPECT_EQ(LogPaneText(), L"");
    EXPECT_TRUE(m_boxes.Boxes().empty());
    DeleteFileW(target.c_str());
}

TEST_F(DownloadInstall, FallsBackToCommonApplicationData) {
    Load(L"ok");
    // A folder where the file should go: the Downloads try fails, the next one takes the file.
    const std::wstring blocked = m_downloads + L"\\velonar64-5.45.3-signed.msi";
    ASSERT_TRUE(CreateDirectoryW(blocked.c_str(), nullptr));
    std::wstring common;
    ASSERT_TRUE(FindCommonDataFolder(common));
    SelectRow(1);
    Command(IDC_DOWNLOAD_INSTALL);
    RemoveDirectoryW(blocked.c_str());
    const std::wstring saved = common + L"\\velonar64-5.45.3-signed.msi";
    EXPECT_TRUE(ReadFileBytes(saved) == FixtureBytes("velonar64-5.45.3-signed.msi"));
    EXPECT_EQ(common.substr(common.size() - 17), L"\\Corrabel\\Velonar");
    DeleteFileW(saved.c_str());
}

TEST_F(DownloadInstall, CancelLeavesNoFileAndEnablesTheMainWindow) {
    Load(L"ok");
    // The package comes slowly (8 KB a second); the catalogue was read at full speed.
    m_website.reset();  // first: the old override restores what it found when it goes
    m_website = std::make_unique<EnvironmentOverride>(L"ZIDEZUREZIV_WEBSITE", WebsiteBase(L"slow=8192").c_str());
    g_partialFile = m_downloads + L"\\velonar64-5.46-signed.msi";
    DeleteFileW(g_partialFile.c_str());
    SelectRow(0);
    const UINT_PTR timer = SetTimer(nullptr, 0, 20, &CancelOnceSaving);
    Command(IDC_DOWNLOAD_INSTALL);
    KillTimer(nullptr, timer);
    EXPECT_TRUE(IsWindowEnabled(m_main));
    EXPECT_EQ(FindWindowW(nullptr, L"Velonar Download"), nullptr);
    // The transfer ends on WinINet's thread and deletes what it saved (Wine's WinINet lets the read
    // under way fill its buffer, or reach the end, first).
    EXPECT_TRUE(PumpUntil([] { return !Exists(g_partialFile); }, 10000));
    EXPECT_EQ(LogPaneText(), L"");
}

TEST_F(DownloadInstall, HostileLinksNeverWriteOutsideTheDownloadFolder) {
    Load(L"hostile");
    ASSERT_GE(m_page->Links().size(), 8u);
    std::wstring common;
    std::wstring temp;
    ASSERT_TRUE(FindCommonDataFolder(common));
    ASSERT_TRUE(FindTempDownloadFolder(temp));
    for (const std::wstring& folder : {m_downloads, common, temp}) {
        for (const std::wstring& name : FilesIn(folder, L"evil*.msi"))
            DeleteFileW((folder + L"\\" + name).c_str());
    }
    // Rows 1 to 7 carry the hostile links, in the website's order.
    const bool saved[] = {true, false, false, false, false, false, true};
    for (int row = 1; row <= 7; ++row) {
        const std::wstring link = m_page->Links()[row];
        SCOPED_TRACE(Narrow(link));
        SelectRow(row);
        Command(IDC_DOWNLOAD_INSTALL);
        const std::wstring refusal =
            L"Cannot download " + WebsiteBase(L"hostile") + link + L": the link does not name a file\r\n";
        if (saved[row - 1])
            EXPECT_EQ(LogPaneText(), L"");
        else
            EXPECT_EQ(LogPaneText().substr(9), refusal);
    }
    EXPECT_EQ(FilesIn(m_downloads, L"evil*.msi"), (std::vector<std::wstring>{L"evil1.msi", L"evil6.msi"}));
    std::wstring outside = m_downloads;
    for (int level = 0; level < 3; ++level) {
        outside = outside.substr(0, outside.find_last_of(L'\\'));
        EXPECT_TRUE(FilesIn(outside, L"evil*.msi").empty()) << Narrow(outside);
        EXPECT_TRUE(FilesIn(outside, L"*evil*").empty()) << Narrow(outside);
    }
    for (const std::wstring& folder : {common, temp})
        EXPECT_TRUE(FilesIn(folder, L"*evil*").empty()) << Narrow(folder);
    for (const wchar_t* name : {L"\\evil1.msi", L"\\evil6.msi"})
        DeleteFileW((m_downloads + name).c_str());
}
