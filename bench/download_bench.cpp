// Speed of the download engine in file mode (scripts/bench-download compares it with curl). Not a test.
//
//   download_bench <url> <folder> <buffer bytes>
//
// Downloads url into folder with receive buffers of that size and prints one line:
//   bytes=<n> seconds=<s> mbps=<MB/s, 10^6 bytes> peak_working_set=<bytes> error=<code> step=<name>
#include <windows.h>
#include <psapi.h>

#include <cstdio>
#include <cwchar>
#include <memory>
#include <string>

#include "net/download_engine.h"
#include "net/download_messages.h"
#include "net/local_file.h"

using namespace zid;

namespace {

bool g_finished = false;

LRESULT CALLBACK OwnerProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == kDownloadFinished) {
        g_finished = true;
        return TRUE;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

double Seconds(LARGE_INTEGER from, LARGE_INTEGER to) {
    LARGE_INTEGER frequency;
    QueryPerformanceFrequency(&frequency);
    return static_cast<double>(to.QuadPart - from.QuadPart) / static_cast<double>(frequency.QuadPart);
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc != 4) {
        std::fputs("usage: download_bench <url> <folder> <buffer bytes>\n", stderr);
        return 2;
    }
    WNDCLASSW windowClass{};
    windowClass.lpfnWndProc = OwnerProc;
    windowClass.hInstance = GetModuleHandleW(nullptr);
    windowClass.lpszClassName = L"DownloadBench";
    RegisterClassW(&windowClass);
    HWND owner = CreateWindowW(L"DownloadBench", L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr);

    CVNInet engine;
    if (const DWORD error = engine.Open(owner)) {
        std::fprintf(stderr, "InternetOpen failed: %lu\n", static_cast<unsigned long>(error));
        return 1;
    }
    engine.SetFileBufferSize(static_cast<DWORD>(std::wcstoul(argv[3], nullptr, 10)));
    DownloadRequest request(argv[1], DownloadKind::Package);
    if (!AttachLocalFile(request, argv[2])) {
        std::fprintf(stderr, "cannot create the file: %lu\n", static_cast<unsigned long>(GetLastError()));
        return 1;
    }

    LARGE_INTEGER start;
    QueryPerformanceCounter(&start);
    if (!engine.Start(request, nullptr)) {
        std::fprintf(stderr, "start failed: %lu\n", static_cast<unsigned long>(GetLastError()));
        return 1;
    }
    while (!g_finished) {
        MsgWaitForMultipleObjects(0, nullptr, FALSE, INFINITE, QS_ALLINPUT);
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE))
            DispatchMessageW(&msg);
    }
    LARGE_INTEGER end;
    QueryPerformanceCounter(&end);

    WIN32_FILE_ATTRIBUTE_DATA data{};
    GetFileAttributesExW(request.LocalPath.c_str(), GetFileExInfoStandard, &data);
    const unsigned long long bytes = (static_cast<unsigned long long>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
    PROCESS_MEMORY_COUNTERS memory{};
    memory.cb = sizeof(memory);
    GetProcessMemoryInfo(GetCurrentProcess(), &memory, sizeof(memory));
    const double seconds = Seconds(start, end);
    std::printf("bytes=%llu seconds=%.3f mbps=%.1f peak_working_set=%llu error=%lu step=%s\n", bytes, seconds,
                bytes / seconds / 1e6, static_cast<unsigned long long>(memory.PeakWorkingSetSize),
                static_cast<unsigned long>(request.ErrorCode), request.ErrorStep[0] ? request.ErrorStep : "-");
    DeleteFileW(request.LocalPath.c_str());
    DestroyWindow(owner);
    return request.ErrorCode == 0 ? 0 : 1;
}
