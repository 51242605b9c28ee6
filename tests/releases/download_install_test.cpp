// Download && Install in this process, page to installer stand-in: folders, failures said once, what
// stays on disk, resume, cancel in every state, links that try to escape or name no package.
#include <gtest/gtest.h>

#include <windows.h>

#include "log/installer_log.h"
#include "releases/download_folder.h"
#include "releases/website_harness.h"
#include "resource.h"
#include "support/website.h"
#include "win/handles.h"

namespace {

constexpr wchar_t kCurrent64[] = L"velonar64-5.46-signed.msi";  // the first row's package
constexpr char kEarlier[] = "an earlier download";

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

// What the timer below does to a running download, and when.
enum class Stop { Cancel, CloseProgram };
struct StopPlan {
    Stop How = Stop::Cancel;
    bool AfterHeaders = true;  // else as soon as the dialog is there
    ULONGLONG At = 0;          // tick count when it acted
};
StopPlan g_stop;

void CALLBACK StopDownload(HWND, UINT, UINT_PTR timer, DWORD) {
    HWND dialog = FindWindowW(nullptr, L"Velonar Download");
    if (!dialog || (g_stop.AfterHeaders && WindowText(GetDlgItem(dialog, IDC_FIELD0)).empty()))
        return;
    KillTimer(nullptr, timer);
    g_stop.At = GetTickCount64();
    if (g_stop.How == Stop::Cancel) {
        PostMessageW(dialog, WM_COMMAND, IDCANCEL, 0);
    } else {
        Pump().Quit = true;  // as WM_QUIT seen by the pump
        PostMessageW(dialog, WM_NULL, 0, 0);
    }
}

class DownloadInstall : public WebsiteHarness {
protected:
    void SetUp() override {
        WebsiteHarness::SetUp();
        ASSERT_TRUE(FindDownloadsFolder(m_downloads));
        ASSERT_TRUE(FindCommonDataFolder(m_common));
    }
    void TearDown() override {
        for (const std::wstring& folder : {m_downloads, m_common}) {
            for (const std::wstring& name : FilesIn(folder, L"velonar*"))
                DeleteFileW((folder + L"\\" + name).c_str());
        }
        WebsiteHarness::TearDown();
    }
    // Selects row and runs Download && Install; it returns when the download has ended.
    void DownloadRow(int row) {
        SelectRow(row);
        Command(IDC_DOWNLOAD_INSTALL);
        EXPECT_TRUE(IsWindowEnabled(m_main));
        EXPECT_EQ(FindWindowW(nullptr, L"Velonar Download"), nullptr);
    }
    // The catalogue as read in "ok"; packages from now on come in these modes.
    void LoadThenServe(const std::wstring& modes) {
        Load(L"ok");
        m_website.reset();
        m_website = std::make_unique<EnvironmentOverride>(L"ZIDEZUREZIV_WEBSITE", WebsiteBase(modes).c_str());
    }
    std::wstring Saved(const wchar_t* suffix = L"") const { return m_downloads + L"\\" + kCurrent64 + suffix; }
    std::wstring Url(const std::wstring& modes) const { return WebsiteBase(modes) + L"packages/" + kCurrent64; }

    std::wstring m_downloads;
    std::wstring m_common;
};

}  // namespace

TEST_F(DownloadInstall, SavesInDownloadsReplacingAnOldFileElseInCommonData) {
    Load(L"ok");
    ASSERT_TRUE(WriteFileBytes(Saved(), kEarlier));
    DownloadRow(0);
    EXPECT_TRUE(ReadFileBytes(Saved()) == Fixture(kCurrent64));
    EXPECT_FALSE(Exists(Saved(L".partial")) || Exists(Saved(L".resume")));

    // A folder in the way in Downloads: the next folder takes the file.
    const std::wstring blocked = m_downloads + L"\\velonar64-5.45.3-signed.msi";
    ASSERT_TRUE(CreateDirectoryW(blocked.c_str(), nullptr));
    DownloadRow(1);
    RemoveDirectoryW(blocked.c_str());
    EXPECT_EQ(m_common.substr(m_common.size() - 17), L"\\Corrabel\\Velonar");
    EXPECT_TRUE(ReadFileBytes(m_common + L"\\velonar64-5.45.3-signed.msi") == Fixture(L"velonar64-5.45.3-signed.msi"));
    // Each saved package went on to the install decision and was installed from where it was saved.
    ASSERT_EQ(m_installer.Calls().size(), 2u);
    EXPECT_EQ(m_installer.Calls()[0].Target, Saved());
    EXPECT_EQ(m_installer.Calls()[1].Target, m_common + L"\\velonar64-5.45.3-signed.msi");
    EXPECT_NE(LogPaneText().find(L"Install 5.45.3 (64 bit): Exit code 0: "), std::wstring::npos);
    EXPECT_TRUE(m_boxes.Boxes().empty());
}

// A failed download is told in one box, never reaches the installer, never touches the earlier file
// and leaves a partial file only when it can be continued.
TEST_F(DownloadInstall, FailuresAreToldOnceAndLeaveTheEarlierFile) {
    struct Case {
        const wchar_t* Modes;
        bool Held;           // the earlier file is open elsewhere: it cannot be replaced
        const wchar_t* Box;  // after "<link or file>: "
        UINT Icon;
        bool Partial;  // kept, to be continued
    };
    const Case cases[] = {
        {L"404-package", false, L"HTTP Status = 404", MB_ICONWARNING, false},
        {L"cut", false, L"The download was interrupted: ", MB_ICONERROR, true},
        {L"reset", false, L"The download was interrupted: ", MB_ICONERROR, true},
        {L"ok", true, L"", MB_ICONERROR, true},
    };
    const std::wstring hint = L"Download && Install again will continue it.";
    for (const Case& c : cases) {
        SCOPED_TRACE(Narrow(c.Modes) + (c.Held ? " held" : ""));
        LoadThenServe(c.Modes);
        ASSERT_TRUE(WriteFileBytes(Saved(), kEarlier));
        zid::UniqueFile held(c.Held ? CreateFileW(Saved().c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr)
                                    : INVALID_HANDLE_VALUE);
        const size_t before = m_boxes.Boxes().size();
        DownloadRow(0);
        held.reset();
        ASSERT_EQ(m_boxes.Boxes().size(), before + 1);
        const RecordedBox& box = m_boxes.Boxes().back();
        const std::wstring context = (c.Held ? Saved() : Url(c.Modes)) + L": ";
        EXPECT_EQ(box.text.substr(0, context.size() + wcslen(c.Box)), context + c.Box);
        EXPECT_EQ(box.style & MB_ICONMASK, c.Icon);
        EXPECT_EQ(box.text.size() > hint.size() && box.text.substr(box.text.size() - hint.size()) == hint,
                  c.Partial && !c.Held);
        EXPECT_EQ(ReadFileBytes(Saved()), kEarlier);
        EXPECT_EQ(Exists(Saved(L".partial")), c.Partial);
        EXPECT_EQ(Exists(Saved(L".resume")), c.Partial);
        DeleteFileW(Saved(L".partial").c_str());
        DeleteFileW(Saved(L".resume").c_str());
    }
    EXPECT_TRUE(m_installer.Calls().empty());
}

// The second Download && Install continues the first one's partial file where the server vouches for
// the same file (206), and starts over where the file has changed (200): byte for byte the package.
TEST_F(DownloadInstall, AnInterruptedDownloadContinuesOrStartsOver) {
    struct Case {
        const wchar_t* Modes;
        int Status;
    };
    const Case cases[] = {{L"", 206}, {L",renew", 200}};
    const std::string package = Fixture(kCurrent64);
    for (const Case& c : cases) {
        SCOPED_TRACE(Narrow(c.Modes));
        const std::wstring modes = L"cutonce=d" + std::to_wstring(GetTickCount64()) + c.Modes;
        const size_t installs = m_installer.Calls().size();
        Load(modes);
        DownloadRow(0);
        ASSERT_TRUE(Exists(Saved(L".partial")));
        ASSERT_EQ(m_installer.Calls().size(), installs);
        DownloadRow(0);
        EXPECT_TRUE(ReadFileBytes(Saved()) == package);
        EXPECT_FALSE(Exists(Saved(L".partial")) || Exists(Saved(L".resume")));
        ASSERT_EQ(m_installer.Calls().size(), installs + 1);
        EXPECT_EQ(m_installer.Calls().back().Target, Saved());
        const std::string request = Narrow(L"/" + modes + L"/packages/" + kCurrent64);
        const size_t sent = c.Status == 206 ? package.size() - package.size() / 2 : package.size();
        EXPECT_TRUE(PumpUntil([&] { return CountWebsiteRequests(request) == 2; }, 3000));
        EXPECT_EQ(LastWebsiteRequest(request), request + " " + std::to_string(c.Status) + " " + std::to_string(sent));
        DeleteFileW(Saved().c_str());
    }
    EXPECT_EQ(m_boxes.Boxes().size(), 2u);  // one interruption each
}

// Connecting, headers without a body after them (the server would hold on for 5 s), reading: Cancel
// or closing the program ends the download at once, deletes the partial file, and leaves the earlier
// file as it was.
TEST_F(DownloadInstall, CancelOrCloseEndsTheDownloadInEveryState) {
    const StopPlan plans[] = {{Stop::Cancel, false}, {Stop::Cancel, true}, {Stop::CloseProgram, true}};
    for (const wchar_t* modes : {L"stall", L"slow=8192"}) {
        LoadThenServe(modes);
        for (const StopPlan& plan : plans) {
            SCOPED_TRACE(Narrow(modes) + (plan.How == Stop::Cancel ? " cancel" : " close") +
                         (plan.AfterHeaders ? " after headers" : " at once"));
            ASSERT_TRUE(WriteFileBytes(Saved(), kEarlier));
            g_stop = plan;
            const UINT_PTR timer = SetTimer(nullptr, 0, 10, &StopDownload);
            zid::scope_exit stopTimer([timer] { KillTimer(nullptr, timer); });
            DownloadRow(0);
            EXPECT_NE(g_stop.At, 0u);
            EXPECT_LT(GetTickCount64() - g_stop.At, 2500u) << "ended by the server, not by the program";
            EXPECT_TRUE(PumpUntil([&] { return !Exists(Saved(L".partial")); }, 1000));
            EXPECT_FALSE(Exists(Saved(L".resume")));
            EXPECT_EQ(ReadFileBytes(Saved()), kEarlier);
            Pump().Quit = false;
        }
    }
    EXPECT_TRUE(m_boxes.Boxes().empty());
    EXPECT_TRUE(m_installer.Calls().empty());
}

TEST_F(DownloadInstall, HostileLinksNeverWriteOutsideTheDownloadFolderNorWhatIsNoPackage) {
    Load(L"hostile");
    ASSERT_GE(m_page->Links().size(), 9u);
    // Rows 1 to 8 carry the website's hostile links; only two of them name a plain package. What those
    // bring is saved in the download folder, refused (it is no package of the maker's) and deleted.
    const bool named[] = {true, false, false, false, false, false, true, false};
    for (int row = 1; row <= 8; ++row) {
        const std::wstring link = m_page->Links()[row];
        DownloadRow(row);
        const std::wstring refusal =
            L"Cannot download " + WebsiteBase(L"hostile") + link + L": the link does not name a package\r\n";
        const std::wstring log = LogPaneText().empty() ? L"" : LogPaneText().substr(9);
        // Wine's WinINet asks for "../../evil6.msi" (row 7) as "/": its error page is not saved.
        if (row == 7)
            EXPECT_EQ(log, L"") << Narrow(link);
        else if (named[row - 1])
            EXPECT_EQ(log.rfind(L"Install: Refused: ", 0), 0u) << Narrow(link) << Narrow(log);
        else
            EXPECT_EQ(log, refusal) << Narrow(link);
    }
    EXPECT_TRUE(FilesIn(m_downloads, L"*evil*").empty());
    EXPECT_TRUE(FilesIn(m_downloads, L"VERSION*").empty());
    std::wstring outside = m_downloads;
    for (int level = 0; level < 3; ++level) {
        outside.resize(outside.find_last_of(L'\\'));
        EXPECT_TRUE(FilesIn(outside, L"*evil*").empty()) << Narrow(outside);
    }
    EXPECT_TRUE(FilesIn(m_common, L"*evil*").empty());
    for (const wchar_t* name : {L"\\evil1.msi", L"\\evil6.msi"})
        DeleteFileW((m_downloads + name).c_str());
}
