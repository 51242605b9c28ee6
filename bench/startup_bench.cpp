// How long a program takes to show its window: from CreateProcess until a visible top-level window
// of the new process exists. Started, timed and closed rounds times; prints each round and the
// fastest, in milliseconds. Not a test.
// Usage: startup_bench program.exe [rounds]
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "visible_window.h"

namespace {

// Milliseconds until the program showed a window (-1 when it did not within 20 s); closes it.
double TimeOneStart(const std::wstring& program) {
    std::wstring commandLine = L"\"" + program + L"\"";
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION process{};
    LARGE_INTEGER frequency, start, now;
    QueryPerformanceFrequency(&frequency);
    QueryPerformanceCounter(&start);
    if (!CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process))
        return -1;
    HWND found = nullptr;
    double elapsed = -1;
    for (;;) {
        found = bench::FindVisibleWindow(process.dwProcessId);
        QueryPerformanceCounter(&now);
        const double ms = 1000.0 * static_cast<double>(now.QuadPart - start.QuadPart) / frequency.QuadPart;
        if (found) {
            elapsed = ms;
            break;
        }
        if (ms > 20000 || WaitForSingleObject(process.hProcess, 0) == WAIT_OBJECT_0)
            break;
        Sleep(1);
    }
    if (found)
        PostMessageW(found, WM_CLOSE, 0, 0);
    if (WaitForSingleObject(process.hProcess, 5000) != WAIT_OBJECT_0)
        TerminateProcess(process.hProcess, 1);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return elapsed;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc < 2) {
        std::fwprintf(stderr, L"usage: startup_bench program.exe [rounds]\n");
        return 2;
    }
    const int rounds = argc > 2 ? std::max(1, _wtoi(argv[2])) : 11;
    std::vector<double> times;
    for (int i = 0; i < rounds; ++i) {
        const double ms = TimeOneStart(argv[1]);
        std::wprintf(L"round %d: %.1f ms\n", i + 1, ms);
        if (ms >= 0)
            times.push_back(ms);
    }
    if (times.empty())
        return 1;
    std::wprintf(L"fastest of %d: %.1f ms\n", rounds, *std::min_element(times.begin(), times.end()));
    return 0;
}
