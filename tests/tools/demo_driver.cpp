// Drives the running program for scripts/demo: each call does one step and ends, so the script can
// take a screenshot in between. Prints what it saw on standard output.
//   demo_driver thispc              wait for the installed packages, select the first, print the window's rectangle
//   demo_driver website             show the VN Website page once its list is filled, print the rectangle
// Both print the rectangle only once the program is idle and its window painted anew, and say so when
// it did not get there.
//   demo_driver download "<row>"    Download && Install the release of that row; print the question asked
//                                   (answered Cancel) or the result line
//   demo_driver close               close the program
#include <windows.h>
#include <commctrl.h>

#include <cstdio>
#include <string>
#include <vector>

#include "e2e/driver.h"
#include "resource.h"

using namespace zid;

namespace {

constexpr DWORD kTimeout = 60000;
constexpr DWORD kProcessAccess =
    PROCESS_VM_OPERATION | PROCESS_VM_READ | PROCESS_VM_WRITE | PROCESS_QUERY_INFORMATION | SYNCHRONIZE;

struct Program {
    HWND Main = nullptr;
    HWND ThisPc = nullptr;
    HWND Website = nullptr;
    HANDLE Process = nullptr;
};

BOOL CALLBACK FindMain(HWND window, LPARAM parameter) {
    wchar_t text[64] = L"";
    wchar_t type[64] = L"";
    GetWindowTextW(window, text, 64);
    GetClassNameW(window, type, 64);
    // Message boxes carry the same caption: the main window is the one with the tab control.
    if (std::wstring(text) != L"ZIDezureziv" || std::wstring(type) != L"#32770" || !IsWindowVisible(window) ||
        !GetDlgItem(window, IDC_TAB))
        return TRUE;
    *reinterpret_cast<HWND*>(parameter) = window;
    return FALSE;
}

bool Attach(Program& program) {
    if (!WaitUntil([&] { return EnumWindows(FindMain, reinterpret_cast<LPARAM>(&program.Main)), program.Main; },
                   kTimeout))
        return false;
    DWORD processId = 0;
    GetWindowThreadProcessId(program.Main, &processId);
    program.Process = OpenProcess(kProcessAccess, FALSE, processId);
    program.ThisPc = FindWindowExW(program.Main, nullptr, L"#32770", nullptr);
    program.Website = FindWindowExW(program.Main, program.ThisPc, L"#32770", nullptr);
    return program.Process && program.ThisPc && program.Website;
}

// Waits until the program has nothing left in its queue, has it paint the whole window, waits
// until that is done, and prints the window's rectangle; false (and nothing printed) when the
// program did not get there in time.
bool PrintWhenPainted(const Program& program) {
    DWORD_PTR answer = 0;
    const bool idle = WaitForInputIdle(program.Process, kTimeout) == 0 &&
                      RedrawWindow(program.Main, nullptr, nullptr,
                                   RDW_INVALIDATE | RDW_ERASE | RDW_FRAME | RDW_ALLCHILDREN | RDW_UPDATENOW) &&
                      SendMessageTimeoutW(program.Main, WM_NULL, 0, 0, SMTO_BLOCK, kTimeout, &answer) &&
                      WaitForInputIdle(program.Process, kTimeout) == 0;
    if (!idle) {
        std::fprintf(stderr, "demo_driver: the program was not idle and painted within %lu ms\n", kTimeout);
        return false;
    }
    RECT rect{};
    GetWindowRect(program.Main, &rect);
    std::printf("%ld %ld %ld %ld\n", rect.left, rect.top, rect.right - rect.left, rect.bottom - rect.top);
    return true;
}

int ShowThisPc(const Program& program) {
    HWND list = GetDlgItem(program.ThisPc, IDC_LIST1);
    if (!WaitUntil([&] { return !ListColumnTexts(program.Process, list, 0).empty(); }, kTimeout))
        return 1;
    SelectListRow(program.Process, list, 0);
    return PrintWhenPainted(program) ? 0 : 1;
}

int ShowWebsite(const Program& program) {
    SelectTab(program.Process, program.Main, 1);
    HWND list = GetDlgItem(program.Website, IDC_LIST1);
    if (!WaitUntil([&] { return ListColumnTexts(program.Process, list, 0).size() > 1; }, kTimeout))
        return 1;
    return PrintWhenPainted(program) ? 0 : 1;
}

int DownloadAndInstall(const Program& program, const std::wstring& row) {
    if (HWND box = FindMessageBoxOf(GetProcessId(program.Process))) {
        std::fprintf(stderr, "demo_driver: a message box is open: %ls\n", MessageBoxText(box).c_str());
        return 1;
    }
    SelectTab(program.Process, program.Main, 1);
    HWND list = GetDlgItem(program.Website, IDC_LIST1);
    const std::vector<std::wstring> rows = ListColumnTexts(program.Process, list, 0);
    int index = -1;
    for (size_t i = 0; i < rows.size(); ++i) {
        if (rows[i] == row)
            index = static_cast<int>(i);
    }
    if (index < 0) {
        std::fprintf(stderr, "demo_driver: no row \"%ls\" among %zu\n", row.c_str(), rows.size());
        return 1;
    }
    SelectListRow(program.Process, list, index);
    // The flow empties the log pane first: wait for that, so an earlier result line is not taken.
    SendMessageW(GetDlgItem(program.Main, IDC_LOG), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(L""));
    ClickButton(program.Website, IDC_DOWNLOAD_INSTALL);
    std::wstring seen;
    const bool ended = WaitUntil(
        [&] {
            DWORD processId = GetProcessId(program.Process);
            if (HWND box = FindMessageBoxOf(processId)) {
                seen = L"question: " + MessageBoxText(box);
                PostMessageW(box, WM_COMMAND, IDCANCEL, 0);
                return true;
            }
            const std::wstring pane = ControlText(program.Main, IDC_LOG);
            const size_t line = pane.find(L"Exit code");
            if (line == std::wstring::npos)
                return false;
            seen = L"result: " + pane.substr(pane.rfind(L"\n", line) + 1);
            return true;
        },
        kTimeout * 2);
    if (!ended)
        std::fprintf(stderr, "demo_driver: Download && Install of \"%ls\" did not end\n", row.c_str());
    std::printf("%ls\n", seen.c_str());
    return ended ? 0 : 1;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc < 2)
        return 2;
    Program program;
    if (!Attach(program)) {
        std::fprintf(stderr, "demo_driver: the program's window was not found (%p %p %p %p)\n",
                     static_cast<void*>(program.Main), static_cast<void*>(program.Process),
                     static_cast<void*>(program.ThisPc), static_cast<void*>(program.Website));
        return 1;
    }
    const std::wstring step = argv[1];
    if (step == L"thispc")
        return ShowThisPc(program);
    if (step == L"website")
        return ShowWebsite(program);
    if (step == L"download" && argc > 2)
        return DownloadAndInstall(program, argv[2]);
    if (step == L"close") {
        ClickButton(program.Main, IDCANCEL);
        return WaitForSingleObject(program.Process, kTimeout) == WAIT_OBJECT_0 ? 0 : 1;
    }
    return 2;
}
