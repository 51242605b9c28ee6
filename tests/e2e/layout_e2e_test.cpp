// The real program at 96, 144 and 192 DPI, looked at from outside: whole texts, controls inside their
// parents, columns that grow with the DPI, and a keyboard that reaches every control.
#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>

#include <map>
#include <memory>
#include <set>

#include "e2e/website_program.h"
#include "support/registry_key.h"
#include "support/website.h"
#include "win/handles.h"

namespace zid {

namespace {

// Wine's DPI for the processes started from now on (this one keeps the DPI it started with).
void SetDpi(DWORD dpi) {
    RegSetKeyValueW(HKEY_CURRENT_USER, L"Control Panel\\Desktop", L"LogPixels", REG_DWORD, &dpi, sizeof(dpi));
}

std::wstring ClassName(HWND window) {
    wchar_t name[64] = L"";
    GetClassNameW(window, name, 64);
    return name;
}

RECT ScreenRect(HWND window, bool client = false) {
    RECT rect{};
    if (!client)
        GetWindowRect(window, &rect);
    else if (GetClientRect(window, &rect))
        MapWindowPoints(window, nullptr, reinterpret_cast<POINT*>(&rect), 2);
    return rect;
}

// The size of a text in the dialogs' font at dpi, one line (& prefixes shown as the program does),
// or wrapped to width.
SIZE Extent(UINT dpi, const std::wstring& text, bool noPrefix, LONG width = 0) {
    UniqueFont font(
        CreateFontW(-MulDiv(8, static_cast<int>(dpi), 72), 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, L"MS Shell Dlg"));
    UniqueMemoryDc dc(CreateCompatibleDC(nullptr));
    SelectObject(dc.get(), font.get());
    RECT rect{0, 0, width, 0};
    DrawTextW(dc.get(), text.c_str(), -1, &rect,
              DT_CALCRECT | (width ? DT_WORDBREAK : DT_SINGLELINE) | (noPrefix ? DT_NOPREFIX : 0));
    return SIZE{rect.right, rect.bottom};
}

// Every visible child of parent (and of its pages) lies inside it and shows its whole text: a
// button's beside its box or arrow, a label's in its lines, a list's headings and cells in their
// columns. Returns the ones that do not.
void CutOff(HANDLE process, HWND parent, UINT dpi, std::vector<std::wstring>& faults) {
    const RECT area = ScreenRect(parent, true);
    for (HWND child = GetWindow(parent, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
        if (!IsWindowVisible(child))
            continue;
        const std::wstring kind = ClassName(child), text = ControlText(parent, GetDlgCtrlID(child));
        const RECT rect = ScreenRect(child), client = ScreenRect(child, true);
        const LONG style = GetWindowLongW(child, GWL_STYLE);
        const std::map<LONG, int> room{{BS_AUTOCHECKBOX, 18},
                                       {BS_AUTORADIOBUTTON, 18},
                                       {BS_GROUPBOX, 16},
                                       {BS_SPLITBUTTON, 22}};  // at 96 DPI, a push button's is 6
        const int extra = MulDiv(room.contains(style & BS_TYPEMASK) ? room.at(style & BS_TYPEMASK) : 6, dpi, 96);
        std::vector<std::wstring> cut;
        if (rect.left < area.left || rect.top < area.top || rect.right > area.right || rect.bottom > area.bottom)
            cut.push_back(L"outside its parent");
        if (kind == L"#32770")
            CutOff(process, child, dpi, faults);
        if (kind == L"Button" && Extent(dpi, text, false).cx + extra > client.right - client.left)
            cut.push_back(text);
        if (kind == L"Static" &&
            Extent(dpi, text, style & SS_NOPREFIX, client.right - client.left).cy > client.bottom - client.top)
            cut.push_back(text);
        for (int column = 0; kind == L"SysListView32" && column < Header_GetItemCount(ListView_GetHeader(child));
             ++column) {
            std::vector<std::wstring> cells = ListColumnTexts(process, child, column);
            cells.push_back(ListHeadings(process, child)[column]);
            for (const std::wstring& cell : cells) {
                if (Extent(dpi, cell, true).cx + MulDiv(12, dpi, 96) > ListView_GetColumnWidth(child, column))
                    cut.push_back(cell);
            }
        }
        for (const std::wstring& fault : cut)
            faults.push_back(kind + L" " + std::to_wstring(GetDlgCtrlID(child)) + L": " + fault);
    }
}

// What Tab visits from the focused control of the program until it comes back there.
std::vector<HWND> TabCycle(DWORD thread) {
    const auto focus = [thread] {
        GUITHREADINFO info{};
        info.cbSize = sizeof(info);
        return GetGUIThreadInfo(thread, &info) ? info.hwndFocus : nullptr;
    };
    std::vector<HWND> visited{focus()};
    while (visited.front() && visited.size() < 40) {
        HWND from = visited.back();
        PostMessageW(from, WM_KEYDOWN, VK_TAB, 0x000F0001);
        if (!WaitUntil([&] { return focus() != from; }, 3000) || focus() == visited.front())
            break;
        visited.push_back(focus());
    }
    return visited;
}

// The enabled, visible tab stops of window and its visible pages, and the mnemonics of the buttons
// of the window and both pages.
void TabStops(HWND window, bool shown, std::set<HWND>& stops, std::multiset<wchar_t>& mnemonics) {
    for (HWND child = GetWindow(window, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
        const std::wstring text = ControlText(window, GetDlgCtrlID(child));
        const size_t amp = text.find(L'&');
        const bool visible = shown && IsWindowVisible(child);
        if (ClassName(child) == L"Button" && amp != std::wstring::npos && amp + 1 < text.size())
            mnemonics.insert(static_cast<wchar_t>(towupper(text[amp + 1])));
        if (ClassName(child) == L"#32770")
            TabStops(child, visible, stops, mnemonics);
        else if (visible && IsWindowEnabled(child) && (GetWindowLongW(child, GWL_STYLE) & WS_TABSTOP))
            stops.insert(child);
    }
}

}  // namespace

TEST(Layout, WholeTextsInsideTheirParentsAt96144And192DpiAndTabInReadingOrder) {
    std::vector<std::unique_ptr<UninstallEntry>> installed;
    for (REGSAM view : {KEY_WOW64_64KEY, KEY_WOW64_32KEY}) {
        installed.push_back(std::make_unique<UninstallEntry>(
            view, L"{0000B000-0000-0000-0000-000000000" + std::to_wstring(view) + L"}"));
        installed.back()->String(L"DisplayName", L"Velonar").String(L"DisplayVersion", L"5.45.3");
        installed.back()->String(L"InstallLocation", L"C:\\Velonar\\").String(L"UninstallString", L"MsiExec /X");
        installed.back()->String(L"InstallDate", L"20261231").Dword(L"EstimatedSize", 987654);
    }
    std::map<UINT, std::vector<int>> widths;
    scope_exit standard([] { SetDpi(96); });
    for (UINT dpi : {96u, 144u, 192u}) {
        SCOPED_TRACE(dpi);
        SetDpi(dpi);
        WebsiteProgram run(WebsiteBase(L"ok"));
        ASSERT_TRUE(run.Loaded);
        HWND thisPc = FindPage(run.Main, IDC_LAUNCH), list = GetDlgItem(thisPc, IDC_LIST1);
        ASSERT_TRUE(WaitUntil([&] { return ListView_GetItemCount(list) == 2; }));
        // The program's font is the one measured with.
        ASSERT_EQ(Extent(dpi, L"Installed On", true).cx, ListStringWidth(run.Program.Process(), list, L"Installed On"));
        for (int page : {1, 0}) {
            SelectTab(run.Program.Process(), run.Main, page);
            ASSERT_TRUE(WaitUntil([&] { return IsWindowVisible(page ? run.Page : thisPc) != FALSE; }));
            std::vector<std::wstring> faults;
            CutOff(run.Program.Process(), run.Main, dpi, faults);
            for (const std::wstring& fault : faults)
                ADD_FAILURE() << "page " << page << ": " << Narrow(fault);

            // Tab visits every enabled control of the window and this page once, line by line and
            // left to right; no two controls of the window and its pages share a mnemonic.
            std::set<HWND> stops;
            std::multiset<wchar_t> mnemonics;
            TabStops(run.Main, true, stops, mnemonics);
            EXPECT_EQ(std::set<wchar_t>(mnemonics.begin(), mnemonics.end()).size(), mnemonics.size());
            const std::vector<HWND> cycle = TabCycle(GetWindowThreadProcessId(run.Main, nullptr));
            EXPECT_EQ(std::set<HWND>(cycle.begin(), cycle.end()), stops) << "page " << page;
            EXPECT_EQ(cycle.size(), stops.size()) << "page " << page;
            for (size_t i = 1; i < cycle.size(); ++i) {
                const RECT before = ScreenRect(cycle[i - 1]), after = ScreenRect(cycle[i]);
                EXPECT_TRUE(after.top >= before.bottom || (after.bottom > before.top && after.left > before.left))
                    << "page " << page << " step " << i;
            }
        }
        for (int column = 0; column < 3; ++column)
            widths[dpi].push_back(ListView_GetColumnWidth(list, column));
    }
    for (size_t column = 0; column < widths[96].size(); ++column)
        EXPECT_NEAR(widths[144][column], widths[96][column] * 3 / 2, 2) << column;
}

}  // namespace zid
