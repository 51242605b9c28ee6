// Speed of a package download through the real program (scripts/bench-download compares it with
// curl): ZIDezureziv.exe against the website, its VN Website page, Download && Install of a row, the
// progress dialog. Not a test.
//
//   download_path_bench <website base address> <file name of the row's package> <row>
//
// The benchmark's files are no signed packages, which the program would delete from the download
// folder at once; so this program holds the final name while the download runs, the whole file stays
// as the partial file (taking its name is one rename, within the timed span either way), and its size
// is checked there. The program's message that the name is held is then closed.
//
// Prints one line, timed from the click to the progress dialog's end:
//   bytes=<n> seconds=<s> mbps=<MB/s, 10^6 bytes> peak_working_set=<bytes of the program>
//   before=<its working set before the click> error=<0 or 1>
#include <windows.h>
#include <commctrl.h>
#include <psapi.h>
#include <shlobj.h>

#include <cstdio>
#include <string>

#include "e2e/driver.h"
#include "resource.h"
#include "support/test_util.h"
#include "win/handles.h"

using namespace zid;

namespace {

double Now() {
    LARGE_INTEGER counter;
    LARGE_INTEGER frequency;
    QueryPerformanceCounter(&counter);
    QueryPerformanceFrequency(&frequency);
    return static_cast<double>(counter.QuadPart) / static_cast<double>(frequency.QuadPart);
}

// Polls more finely than WaitUntil: the end of a download of a second or two is what is timed.
template <typename Predicate>
bool Poll(Predicate done, double seconds) {
    for (const double end = Now() + seconds; !done(); Sleep(2)) {
        if (Now() > end)
            return false;
    }
    return true;
}

int Fail(const char* what) {
    std::fprintf(stderr, "download_path_bench: %s\n", what);
    std::printf("bytes=0 seconds=0 mbps=0 peak_working_set=0 before=0 error=1\n");
    return 1;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc != 4) {
        std::fputs("usage: download_path_bench <website base> <package file name> <row>\n", stderr);
        return 2;
    }
    const int row = _wtoi(argv[3]);
    PWSTR folder = nullptr;
    if (FAILED(SHGetKnownFolderPath(FOLDERID_Downloads, KF_FLAG_CREATE, nullptr, &folder)))
        return Fail("no Downloads folder");
    const std::wstring saved = std::wstring(folder) + L"\\" + argv[2];
    CoTaskMemFree(folder);
    const std::wstring partial = saved + L".partial";
    zid::scope_exit remove([&] {
        for (const std::wstring& path : {saved, partial, saved + L".resume"})
            DeleteFileW(path.c_str());
    });
    zid::UniqueFile held(
        CreateFileW(saved.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_ALWAYS, 0, nullptr));
    if (!held)
        return Fail("cannot hold the final name");
    DeleteFileW(partial.c_str());
    DeleteFileW((saved + L".resume").c_str());

    EnvironmentOverride website(L"ZIDEZUREZIV_WEBSITE", argv[1]);
    CProgram program(L"");
    HWND main = program.WaitForDialog(L"ZIDezureziv");
    HWND page = main ? FindPage(main, IDC_BUILD64) : nullptr;
    HWND list = GetDlgItem(page, IDC_LIST1);
    if (!page ||
        !WaitUntil([&] { return ListView_GetItemCount(list) > row && IsWindowEnabled(GetDlgItem(page, IDC_REFRESH)); }))
        return Fail("the catalogue did not load");
    SelectListRow(program.Process(), list, row);
    PROCESS_MEMORY_COUNTERS memory{};
    memory.cb = sizeof(memory);
    GetProcessMemoryInfo(program.Process(), &memory, sizeof(memory));
    const SIZE_T before = memory.WorkingSetSize;

    const double start = Now();
    ClickButton(page, IDC_DOWNLOAD_INSTALL);
    HWND progress = nullptr;
    if (!Poll([&] { return (progress = FindWindowW(nullptr, L"Velonar Download")) != nullptr; }, 30))
        return Fail("no progress dialog");
    if (!Poll([&] { return !IsWindow(progress); }, 600))
        return Fail("the download did not end");
    const double seconds = Now() - start;

    GetProcessMemoryInfo(program.Process(), &memory, sizeof(memory));
    WIN32_FILE_ATTRIBUTE_DATA data{};
    const bool exists = GetFileAttributesExW(partial.c_str(), GetFileExInfoStandard, &data) != FALSE;
    const unsigned long long bytes = (static_cast<unsigned long long>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
    // Whole only when the one message is that the name could not be taken.
    HWND box = nullptr;
    const bool whole = exists && WaitUntil([&] { return (box = program.FindMessageBox()) != nullptr; }, 30000) &&
                       MessageBoxText(box).compare(0, saved.size() + 2, saved + L": ") == 0;
    if (box)
        ClickButton(box, IDOK);
    std::printf("bytes=%llu seconds=%.3f mbps=%.1f peak_working_set=%llu before=%llu error=%d\n", bytes, seconds,
                bytes / seconds / 1e6, static_cast<unsigned long long>(memory.PeakWorkingSetSize),
                static_cast<unsigned long long>(before), whole ? 0 : 1);
    return whole ? 0 : 1;
}
