// Download && Install in this process, page to installer stand-in: folders, failures said once, what
// stays on disk, resume, cancel in every state, links that try to escape or name no package.
#include <gtest/gtest.h>

#include <windows.h>

#include <commctrl.h>

#include "packages/inventory.h"
#include "releases/catalogue_pages.h"
#include "releases/download_folder.h"
#include "releases/download_install.h"
#include "releases/release_lookup.h"
#include "releases/website_address.h"
#include "ui/website_harness.h"
#include "resource.h"
#include "support/website.h"
#include "win/handles.h"

namespace zid {

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

// "<status> <bytes>" of each logged request for exactly this path, in order.
std::vector<std::string> Answers(const std::string& path) {
    std::vector<std::string> answers;
    for (const std::string& line : WebsiteRequests()) {
        if (line.compare(0, path.size() + 1, path + " ") == 0)
            answers.push_back(line.substr(path.size() + 1));
    }
    return answers;
}

// A file of size bytes that takes no room (Wine extends a file without writing it), last written at
// 2026-01-01 00:00:00 UTC: "Thu, 01 Jan 2026 00:00:00 GMT" to the website.
bool WriteSparseFile(const std::wstring& path, unsigned long long size) {
    UniqueFile file(CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
    LARGE_INTEGER end{};
    end.QuadPart = static_cast<LONGLONG>(size);
    const ULONGLONG written = 134116992000000000ull;  // in 100 ns since 1601
    const FILETIME time{static_cast<DWORD>(written), static_cast<DWORD>(written >> 32)};
    return file && SetFilePointerEx(file.get(), end, nullptr, FILE_BEGIN) && SetEndOfFile(file.get()) &&
           SetFileTime(file.get(), nullptr, nullptr, &time);
}

// What the progress dialog showed last, read by the timer below.
struct ShownProgress {
    std::wstring Total, Received;
    LRESULT Range = 0, Position = 0;
};
ShownProgress g_shown;

void CALLBACK ReadProgress(HWND, UINT, UINT_PTR, DWORD) {
    HWND dialog = FindWindowW(nullptr, L"Velonar Download");
    if (!dialog || WindowText(GetDlgItem(dialog, IDC_FIELD2)).empty())
        return;
    g_shown.Total = WindowText(GetDlgItem(dialog, IDC_FIELD1));
    g_shown.Received = WindowText(GetDlgItem(dialog, IDC_FIELD2));
    g_shown.Range = SendDlgItemMessageW(dialog, IDC_PROGRESS, PBM_GETRANGE, FALSE, 0);
    g_shown.Position = SendDlgItemMessageW(dialog, IDC_PROGRESS, PBM_GETPOS, 0, 0);
}

// What the timer below does to a running download, and when.
enum class Stop { Cancel, CloseProgram };
struct StopPlan {
    Stop How = Stop::Cancel;
    bool AfterHeaders = true;  // else as soon as the dialog is there
    ULONGLONG At = 0;          // tick count when it acted
};
StopPlan g_stop;
CMessagePump* g_pump = nullptr;  // the harness's, which the close ends

void CALLBACK StopDownload(HWND, UINT, UINT_PTR timer, DWORD) {
    HWND dialog = FindWindowW(nullptr, L"Velonar Download");
    if (!dialog || (g_stop.AfterHeaders && WindowText(GetDlgItem(dialog, IDC_FIELD0)).empty()))
        return;
    KillTimer(nullptr, timer);
    g_stop.At = GetTickCount64();
    if (g_stop.How == Stop::Cancel) {
        PostMessageW(dialog, WM_COMMAND, IDCANCEL, 0);
    } else {
        g_pump->EndWith(0);  // as WM_QUIT seen by the pump
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
    void StopInEveryState(const wchar_t* modes);

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
    EXPECT_NE(m_boxes.LogText().find(L"Install 5.45.3 (64 bit): Exit code 0: "), std::wstring::npos);
    EXPECT_TRUE(m_boxes.Boxes().empty());
}

// A failed download is told in one box, never reaches the installer, never touches the earlier file
// and leaves a partial file only when it can be continued.
TEST_F(DownloadInstall, FailuresAreToldOnceAndLeaveTheEarlierFile) {
    struct Case {
        const wchar_t* Modes;
        const wchar_t* Box;  // after "<link>: "
        UINT Icon;
        bool Partial;  // kept, to be continued
    };
    const Case cases[] = {
        {L"404-package", L"HTTP Status = 404", MB_ICONWARNING, false},
        {L"cut", L"The download was interrupted: ", MB_ICONERROR, true},
        {L"reset", L"The download was interrupted: ", MB_ICONERROR, true},
        // No length: the end proves nothing, the rest is asked for at once, and is cut again.
        {L"noclen,cut", L"The download was interrupted: ", MB_ICONERROR, true},
        {L"chunked,cut", L"The download was interrupted: ", MB_ICONERROR, true},
        // Asked again, a server that ignores ranges gives another end that proves nothing: said once.
        {L"noclen,norange", L"The download ended, but the server did not say how long", MB_ICONERROR, true},
    };
    const std::wstring hint = L"Download && Install again will continue it.";
    for (const Case& c : cases) {
        SCOPED_TRACE(Narrow(c.Modes));
        LoadThenServe(c.Modes);
        ASSERT_TRUE(WriteFileBytes(Saved(), kEarlier));
        const size_t before = m_boxes.Boxes().size();
        DownloadRow(0);
        ASSERT_EQ(m_boxes.Boxes().size(), before + 1);
        const RecordedBox& box = m_boxes.Boxes().back();
        const std::wstring context = Url(c.Modes) + L": ";
        EXPECT_EQ(box.text.substr(0, context.size() + wcslen(c.Box)), context + c.Box);
        EXPECT_EQ(box.style & MB_ICONMASK, c.Icon);
        EXPECT_EQ(box.text.ends_with(hint), c.Partial);
        EXPECT_EQ(ReadFileBytes(Saved()), kEarlier);
        EXPECT_EQ(Exists(Saved(L".partial")), c.Partial);
        EXPECT_EQ(Exists(Saved(L".resume")), c.Partial);
        DeleteFileW(Saved(L".partial").c_str());
        DeleteFileW(Saved(L".resume").c_str());
    }
    EXPECT_TRUE(m_installer.Calls().empty());
}

// The second Download && Install continues the first one's partial file where the server vouches for
// the same file (206), starts over where the file has changed (200), and asks for the whole file where
// nothing is left after a partial file longer than the package (416): byte for byte the package.
TEST_F(DownloadInstall, AnInterruptedDownloadContinuesOrStartsOver) {
    struct Case {
        const wchar_t* Modes;
        bool Lengthen;                  // the partial file is made longer than the package
        std::vector<std::string> Then;  // the answers to the second Download && Install
    };
    const std::string package = Fixture(kCurrent64);
    const std::string whole = "200 " + std::to_string(package.size());
    const Case cases[] = {{L"", false, {"206 " + std::to_string(package.size() - package.size() / 2)}},
                          {L",renew", false, {whole}},
                          {L"", true, {"416 0", whole}}};
    for (const Case& c : cases) {
        SCOPED_TRACE(Narrow(c.Modes) + (c.Lengthen ? " lengthened" : ""));
        const std::wstring modes = L"cutonce=d" + std::to_wstring(GetTickCount64()) + c.Modes;
        const size_t installs = m_installer.Calls().size();
        Load(modes);
        DownloadRow(0);
        ASSERT_TRUE(Exists(Saved(L".partial")));
        ASSERT_EQ(m_installer.Calls().size(), installs);
        if (c.Lengthen) {
            ASSERT_TRUE(WriteFileBytes(Saved(L".partial"), package + "and more"));
        }
        DownloadRow(0);
        EXPECT_TRUE(ReadFileBytes(Saved()) == package);
        EXPECT_FALSE(Exists(Saved(L".partial")) || Exists(Saved(L".resume")));
        ASSERT_EQ(m_installer.Calls().size(), installs + 1);
        EXPECT_EQ(m_installer.Calls().back().Target, Saved());
        const std::string request = Narrow(L"/" + modes + L"/packages/" + kCurrent64);
        EXPECT_TRUE(PumpUntil([&] { return Answers(request).size() == 1 + c.Then.size(); }, 3000));
        std::vector<std::string> then = Answers(request);
        then.erase(then.begin());
        EXPECT_EQ(then, c.Then);
        DeleteFileW(Saved().c_str());
    }
    EXPECT_EQ(m_boxes.Boxes().size(), std::size(cases));  // one interruption each
}

// Where nothing announced the end, one Download && Install asks at once whether more is to come: a 416
// proves the file whole, a 206 brings the rest. No box, and the package is installed.
TEST_F(DownloadInstall, AnEndNothingAnnouncedIsProvedBeforeTheFileIsUsed) {
    const std::string package = Fixture(kCurrent64);
    const std::string half = std::to_string(package.size() / 2);
    struct Case {
        std::wstring Modes;
        std::vector<std::string> Answers;
    };
    const Case cases[] = {
        {L"noclen", {"200 " + std::to_string(package.size()), "416 0"}},
        {L"chunked", {"200 " + std::to_string(package.size()), "416 0"}},
        {L"noclen,cutonce=n" + std::to_wstring(GetTickCount64()), {"200 " + half, "206 " + half}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(Narrow(c.Modes));
        LoadThenServe(c.Modes);
        const std::string request = Narrow(L"/" + c.Modes + L"/packages/" + kCurrent64);
        const size_t before = Answers(request).size();  // the log outlives a test run
        DownloadRow(0);
        EXPECT_TRUE(ReadFileBytes(Saved()) == package);
        EXPECT_TRUE(PumpUntil([&] { return Answers(request).size() == before + c.Answers.size(); }, 3000));
        const std::vector<std::string> answers = Answers(request);
        EXPECT_EQ(std::vector<std::string>(answers.begin() + std::min(before, answers.size()), answers.end()),
                  c.Answers);
        DeleteFileW(Saved().c_str());
    }
    EXPECT_EQ(m_installer.Calls().size(), std::size(cases));
    EXPECT_TRUE(m_boxes.Boxes().empty());
}

// What is on disk stays with the download it belongs to: a whole file whose name was held takes it
// next time without a transfer; a partial file that another download holds keeps its record, and
// nothing is downloaded elsewhere meanwhile; a package too large for the drive writes nothing.
TEST_F(DownloadInstall, WhatIsOnDiskStaysWithItsDownload) {
    LoadThenServe(L"ok");
    ASSERT_TRUE(WriteFileBytes(Saved(), kEarlier));
    const std::string request = Narrow(L"/ok/packages/") + Narrow(kCurrent64);
    const size_t before = CountWebsiteRequests(request);
    {
        UniqueFile held(CreateFileW(Saved().c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr));
        DownloadRow(0);
    }
    ASSERT_EQ(m_boxes.Boxes().size(), 1u);
    EXPECT_EQ(m_boxes.Boxes()[0].text.substr(0, Saved().size() + 2), Saved() + L": ");
    EXPECT_EQ(ReadFileBytes(Saved()), kEarlier);
    EXPECT_TRUE(PumpUntil([&] { return CountWebsiteRequests(request) == before + 1; }, 3000));
    DownloadRow(0);
    EXPECT_TRUE(ReadFileBytes(Saved()) == Fixture(kCurrent64));
    EXPECT_FALSE(Exists(Saved(L".partial")) || Exists(Saved(L".resume")));
    ASSERT_EQ(m_installer.Calls().size(), 1u);
    EXPECT_EQ(CountWebsiteRequests(request), before + 1);
    EXPECT_EQ(m_boxes.Boxes().size(), 1u);

    const std::string record = Narrow(Url(L"ok")) + "\netag\n\"x\"\n-\n";
    ASSERT_TRUE(WriteFileBytes(Saved(L".partial"), "12345"));
    ASSERT_TRUE(WriteFileBytes(Saved(L".resume"), record));
    {
        UniqueFile other(CreateFileW(Saved(L".partial").c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                                          OPEN_EXISTING, 0, nullptr));
        DownloadRow(0);
    }
    EXPECT_EQ(m_boxes.LogText(),
              L"Unable to create the download file: its partial file is in use: another "
              L"download of this package may be under way.\r\n");
    EXPECT_EQ(ReadFileBytes(Saved(L".resume")), record);
    EXPECT_TRUE(FilesIn(m_common, L"velonar*").empty());
    EXPECT_EQ(m_installer.Calls().size(), 1u);

    constexpr unsigned long long kHuge = 1ull << 40;  // the largest the website serves
    ULARGE_INTEGER free{};
    ASSERT_TRUE(GetDiskFreeSpaceExW(m_downloads.c_str(), &free, nullptr, nullptr));
    if (free.QuadPart >= kHuge)
        GTEST_SKIP() << "the drive has a terabyte free: no package the website serves is too large for it";
    const std::wstring huge = m_downloads + L"\\" + std::to_wstring(kHuge) + L".msi";
    std::wstring saved;
    EXPECT_FALSE(DownloadPackage(WebsiteHarness::m_downloads, WebsiteBase(L"ok") + L"bytes/" + std::to_wstring(kHuge) + L".msi", saved));
    ASSERT_EQ(m_boxes.Boxes().size(), 2u);
    const std::wstring told = m_boxes.Boxes().back().text;
    const std::wstring space = huge +
                               L": There is not enough free space for the download: it needs 1099511627 KB, "
                               L"and the drive has ";
    EXPECT_EQ(told.substr(0, space.size()), space);
    EXPECT_TRUE(told.ends_with(L" KB free. Nothing was written.")) << Narrow(told);
    EXPECT_FALSE(Exists(huge) || Exists(huge + L".partial") || Exists(huge + L".resume"));
}

// A 5 GiB package (a sparse file the website streams), continued past 4 GiB: the dialog's total, bar
// and figures are right, and the whole file takes its name.
TEST_F(DownloadInstall, APackageOf5GiBIsShownAndSavedRight) {
    constexpr unsigned long long kSize = 5ull << 30;
    constexpr unsigned long long kKept = kSize - (64 << 20);
    const std::wstring served = WinePath(std::string(ZID_BINARY_DIR) + "/fixtures/large-5g.msi");
    const std::wstring saved = m_downloads + L"\\large-5g.msi";
    scope_exit remove([&] {
        for (const std::wstring& path : {served, saved, saved + L".partial", saved + L".resume"})
            DeleteFileW(path.c_str());
    });
    ASSERT_TRUE(WriteSparseFile(served, kSize));
    ASSERT_TRUE(WriteSparseFile(saved + L".partial", kKept));
    const std::wstring url = WebsiteBase(L"ok") + L"packages/large-5g.msi";
    ASSERT_TRUE(WriteFileBytes(saved + L".resume",
                               Narrow(url) + "\ndate\nThu, 01 Jan 2026 00:00:00 GMT\n" + std::to_string(kSize) + "\n"));
    g_shown = ShownProgress{};
    const UINT_PTR timer = SetTimer(nullptr, 0, 20, &ReadProgress);
    scope_exit stopTimer([timer] { KillTimer(nullptr, timer); });
    std::wstring file;
    ASSERT_TRUE(DownloadPackage(WebsiteHarness::m_downloads, url, file));
    EXPECT_EQ(file, saved);
    WIN32_FILE_ATTRIBUTE_DATA data{};
    ASSERT_TRUE(GetFileAttributesExW(saved.c_str(), GetFileExInfoStandard, &data));
    EXPECT_EQ((static_cast<unsigned long long>(data.nFileSizeHigh) << 32) | data.nFileSizeLow, kSize);
    EXPECT_EQ(g_shown.Total, L"5368709");
    const double received = std::stod(L"0" + g_shown.Received) * 1000;
    EXPECT_GT(received, 4294967296.0) << Narrow(g_shown.Received);
    // The bar stands where the figures do, its range not wrapped at 2 or 4 GiB.
    EXPECT_GT(g_shown.Range, 1 << 30);
    EXPECT_NEAR(static_cast<double>(g_shown.Position) / g_shown.Range, received / kSize, 0.01);
    EXPECT_TRUE(m_boxes.Boxes().empty());
}

// Connecting, headers without a body after them (the server would hold on for 5 s), reading: Cancel
// or closing the program ends the download at once, deletes the partial file, and leaves the earlier
// file as it was. Closing comes last: the program does not go on after it.
void DownloadInstall::StopInEveryState(const wchar_t* modes) {
    const StopPlan plans[] = {{Stop::Cancel, false}, {Stop::Cancel, true}, {Stop::CloseProgram, true}};
    g_pump = &m_pump;
    LoadThenServe(modes);
    for (const StopPlan& plan : plans) {
        SCOPED_TRACE(Narrow(modes) + (plan.How == Stop::Cancel ? " cancel" : " close") +
                     (plan.AfterHeaders ? " after headers" : " at once"));
        ASSERT_TRUE(WriteFileBytes(Saved(), kEarlier));
        g_stop = plan;
        const UINT_PTR timer = SetTimer(nullptr, 0, 10, &StopDownload);
        scope_exit stopTimer([timer] { KillTimer(nullptr, timer); });
        DownloadRow(0);
        EXPECT_NE(g_stop.At, 0u);
        EXPECT_LT(GetTickCount64() - g_stop.At, 2500u) << "ended by the server, not by the program";
        // The files may go on WinINet's thread a moment after the dialog.
        EXPECT_TRUE(PumpUntil([&] { return !Exists(Saved(L".partial")) && !Exists(Saved(L".resume")); }, 1000));
        EXPECT_EQ(ReadFileBytes(Saved()), kEarlier);
    }
    EXPECT_TRUE(m_boxes.Boxes().empty());
    EXPECT_TRUE(m_installer.Calls().empty());
}

TEST_F(DownloadInstall, CancelOrCloseEndsAStalledDownloadAtOnce) {
    StopInEveryState(L"stall");
}

TEST_F(DownloadInstall, CancelOrCloseEndsADownloadWhileItReads) {
    StopInEveryState(L"slow=8192");
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
        const std::wstring log = m_boxes.LogText();
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

// The same release as the installed one, looked up on the website with requests of its own.
TEST_F(WebsiteHarness, ReleaseLookupFindsTheReleaseOnTheWebsiteOrSaysWhyNot) {
    struct Case {
        const wchar_t* Modes;
        const wchar_t* Version;
        const wchar_t* Found;  // the end of the offered address, or of the problem
    };
    for (const Case& c : {Case{L"ok", L"5.46", L"/ok/packages/velonar64-5.46-signed.msi"},
                          Case{L"ok", L"5.30.2", L"/ok/packages/velonar64-5.30.2-signed.msi"},
                          Case{L"ok", L"5.31", L"The product website lists no release 5.31 (64 bit)."},
                          Case{L"404-archive", L"5.30.2",
                               L"HTTP status code 404), so it cannot offer release "
                               L"5.30.2 (64 bit)."}}) {
        Load(c.Modes);
        const std::wstring status = Status();
        CWebsitePackageSource source(m_downloads);
        InstalledPackage package;
        package.Version = MakePackedVersion(c.Version);
        package.Is64Bit = true;
        const PackageOffer offer = source.Find(package);
        const std::wstring& got = offer.Url.empty() ? offer.Problem : offer.Url;
        EXPECT_TRUE(got.ends_with(c.Found)) << Narrow(got);
        EXPECT_NE(offer.Url.empty(), offer.Problem.empty());
        EXPECT_TRUE(IsWindowEnabled(m_main));
        EXPECT_EQ(Status(), status);  // the website page was left alone
    }
}

namespace {

// What the look-up's progress dialog showed, and whether the timer below cancelled it.
struct LookupSeen {
    bool Cancel = false;
    bool Dialog = false;
    bool MainDisabled = false;
};
LookupSeen g_lookup;
HWND g_lookupMain = nullptr;

void CALLBACK WatchLookup(HWND, UINT, UINT_PTR, DWORD) {
    HWND dialog = FindWindowW(nullptr, L"Velonar Download");
    if (!dialog)
        return;
    g_lookup.Dialog = true;
    g_lookup.MainDisabled = !IsWindowEnabled(g_lookupMain);
    if (g_lookup.Cancel)
        PostMessageW(GetDlgItem(dialog, IDCANCEL), BM_CLICK, 0, 0);
}

}  // namespace

// A look-up that waits on a stalled server shows that it reads the website and ends at its deadline,
// or at once when cancelled; the main window is disabled only meanwhile.
TEST_F(WebsiteHarness, ReleaseLookupEndsAtItsDeadlineOrWhenCancelled) {
    m_website = std::make_unique<EnvironmentOverride>(L"ZIDEZUREZIV_WEBSITE", WebsiteBase(L"stall").c_str());
    MakeCataloguePagesAbsolute(GetWebsiteBase());
    g_lookupMain = m_main;
    InstalledPackage package;
    package.Version = MakePackedVersion(L"5.46");
    package.Is64Bit = true;
    for (const bool cancel : {false, true}) {
        SCOPED_TRACE(cancel ? "cancelled" : "deadline");
        g_lookup = LookupSeen{cancel};
        const UINT_PTR timer = SetTimer(nullptr, 0, 50, &WatchLookup);
        CWebsitePackageSource source(m_downloads, 2000);
        const ULONGLONG start = GetTickCount64();
        const PackageOffer offer = source.Find(package);
        const ULONGLONG took = GetTickCount64() - start;
        KillTimer(nullptr, timer);
        EXPECT_TRUE(offer.Url.empty());
        const std::wstring why = cancel ? L"cancelled" : L"no answer within 2 seconds";
        EXPECT_TRUE(offer.Problem.ends_with(L"/Download.htm: " + why + L"), so it cannot offer release 5.46 (64 bit)."))
            << Narrow(offer.Problem);
        EXPECT_TRUE(cancel ? took < 1500 : took >= 2000 && took < 3500) << took;
        EXPECT_TRUE(g_lookup.Dialog && g_lookup.MainDisabled);
        EXPECT_TRUE(IsWindowEnabled(m_main));
    }
}

}  // namespace zid
