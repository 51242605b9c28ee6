// The real program at 96, 144 and 192 DPI, looked at from outside: whole texts, controls inside their
// parents, columns that grow with the DPI, and a keyboard that reaches every control.
#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>

#include <algorithm>
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
    for (const auto& [root, path] : {std::pair{HKEY_CURRENT_USER, L"Control Panel\\Desktop"},
                                     std::pair{HKEY_LOCAL_MACHINE,
                                               L"System\\CurrentControlSet\\Hardware Profiles\\"
                                               L"Current\\Software\\Fonts"}})
        RegSetKeyValueW(root, path, L"LogPixels", REG_DWORD, &dpi, sizeof(dpi));
}

std::wstring ClassName(HWND window) {
    wchar_t name[64] = L"";
    GetClassNameW(window, name, 64);
    return name;
}

RECT ScreenRect(HWND window) {
    RECT rect{};
    GetWindowRect(window, &rect);
    return rect;
}

// Measures texts as the program draws them: its dialogs' font at the DPI it runs at.
class CTextMeter {
public:
    explicit CTextMeter(UINT dpi) : m_dpi(dpi), m_dc(CreateCompatibleDC(nullptr)) {
        LOGFONTW font{};
        font.lfHeight = -MulDiv(8, static_cast<int>(dpi), 72);
        wcscpy_s(font.lfFaceName, L"MS Shell Dlg");
        m_font.reset(CreateFontIndirectW(&font));
        SelectObject(m_dc.get(), m_font.get());
    }
    // Extent of a one-line text (with its & prefixes unless noPrefix), or of text wrapped to width.
    SIZE Extent(const std::wstring& text, bool noPrefix, LONG width = 0) const {
        RECT rect{0, 0, width, 0};
        const UINT format = DT_CALCRECT | (width ? DT_WORDBREAK : DT_SINGLELINE) | (noPrefix ? DT_NOPREFIX : 0);
        DrawTextW(m_dc.get(), text.c_str(), -1, &rect, format);
        return SIZE{rect.right, rect.bottom};
    }
    int Scaled(int pixels) const { return MulDiv(pixels, static_cast<int>(m_dpi), 96); }

private:
    UINT m_dpi;
    UniqueMemoryDc m_dc;
    UniqueFont m_font;
};

// Room a control keeps around its text, at 96 DPI, by the control's kind.
int TextRoom(HWND control) {
    const LONG style = GetWindowLongW(control, GWL_STYLE);
    switch (style & BS_TYPEMASK) {
    case BS_AUTOCHECKBOX:
    case BS_AUTORADIOBUTTON:
        return 18;  // the box or circle and its gap
    case BS_GROUPBOX:
        return 16;
    case BS_SPLITBUTTON:
        return 22;  // the arrow part
    default:
        return 6;
    }
}

// Every visible child of parent lies inside it and shows its whole text; lists show every heading
// and cell. Returns what did not.
std::vector<std::wstring> CutOff(HANDLE process, HWND parent, const CTextMeter& meter) {
    std::vector<std::wstring> faults;
    RECT area{};
    GetClientRect(parent, &area);
    MapWindowPoints(parent, nullptr, reinterpret_cast<POINT*>(&area), 2);
    for (HWND child = GetWindow(parent, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
        if (!IsWindowVisible(child))
            continue;
        const std::wstring name = ClassName(child) + L" " + std::to_wstring(GetDlgCtrlID(child));
        const RECT rect = ScreenRect(child);
        RECT both{};
        IntersectRect(&both, &rect, &area);
        if (!EqualRect(&both, &rect))
            faults.push_back(name + L" outside its parent");
        RECT client{};
        GetClientRect(child, &client);
        const std::wstring text = ControlText(parent, GetDlgCtrlID(child));
        const bool noPrefix = GetWindowLongW(child, GWL_STYLE) & SS_NOPREFIX;
        if (ClassName(child) == L"#32770") {
            auto inner = CutOff(process, child, meter);
            faults.insert(faults.end(), inner.begin(), inner.end());
        } else if (ClassName(child) == L"Button" && !text.empty()) {
            if (meter.Extent(text, false).cx + meter.Scaled(TextRoom(child)) > client.right)
                faults.push_back(name + L" \"" + text + L"\"");
        } else if (ClassName(child) == L"Static" && !text.empty()) {
            if (meter.Extent(text, noPrefix, client.right).cy > client.bottom)
                faults.push_back(name + L" \"" + text + L"\"");
        } else if (ClassName(child) == L"SysListView32") {
            HWND header = ListView_GetHeader(child);
            for (int column = 0; column < Header_GetItemCount(header); ++column) {
                std::vector<std::wstring> texts = ListColumnTexts(process, child, column);
                texts.push_back(ListHeadings(process, child)[column]);
                const int width = ListView_GetColumnWidth(child, column);
                for (const std::wstring& cell : texts) {
                    if (meter.Extent(cell, true).cx + meter.Scaled(12) > width)
                        faults.push_back(name + L" column " + std::to_wstring(column) + L" \"" + cell + L"\"");
                }
            }
        }
    }
    return faults;
}

std::vector<int> ColumnWidths(HWND list) {
    std::vector<int> widths;
    for (int column = 0; column < Header_GetItemCount(ListView_GetHeader(list)); ++column)
        widths.push_back(ListView_GetColumnWidth(list, column));
    return widths;
}

// What Tab visits from the focused control of the program until it comes back there.
std::vector<HWND> TabCycle(DWORD thread) {
    const auto focus = [thread] {
        GUITHREADINFO info{};
        info.cbSize = sizeof(info);
        return GetGUIThreadInfo(thread, &info) ? info.hwndFocus : nullptr;
    };
    std::vector<HWND> visited{focus()};
    for (size_t step = 0; visited.front() && step < 40; ++step) {
        HWND from = visited.back();
        PostMessageW(from, WM_KEYDOWN, VK_TAB, 0x000F0001);
        PostMessageW(from, WM_KEYUP, VK_TAB, 0xC00F0001);
        if (!WaitUntil([&] { return focus() != from; }, 3000) || focus() == visited.front())
            break;
        visited.push_back(focus());
    }
    return visited;
}

// The enabled, visible tab stops among the children of window, and of its visible pages.
void TabStops(HWND window, std::set<HWND>& stops) {
    for (HWND child = GetWindow(window, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
        if (!IsWindowVisible(child) || !IsWindowEnabled(child))
            continue;
        if (ClassName(child) == L"#32770")
            TabStops(child, stops);
        else if (GetWindowLongW(child, GWL_STYLE) & WS_TABSTOP)
            stops.insert(child);
    }
}

// b comes after a when read line by line, left to right.
bool ReadsAfter(HWND a, HWND b) {
    const RECT first = ScreenRect(a);
    const RECT second = ScreenRect(b);
    if (second.top >= first.bottom)
        return true;
    return second.bottom > first.top && second.left > first.left;
}

}  // namespace

TEST(Layout, WholeTextsInsideTheirParentsAt96144And192Dpi) {
    std::vector<std::unique_ptr<UninstallEntry>> installed;
    for (const auto& [view, code] : {std::pair{KEY_WOW64_64KEY, L"{0000B000-0000-0000-0000-000000000064}"},
                                     std::pair{KEY_WOW64_32KEY, L"{0000B000-0000-0000-0000-000000000032}"}}) {
        installed.push_back(std::make_unique<UninstallEntry>(view, code));
        installed.back()
            ->String(L"DisplayName", L"Velonar")
            .String(L"DisplayVersion", L"5.45.3")
            .Dword(L"Version", 0x052D0003)
            .String(L"InstallLocation", L"C:\\Program Files\\Corrabel\\Velonar\\")
            .String(L"UninstallString", L"MsiExec.exe /X{X}")
            .String(L"InstallDate", L"20261231")
            .Dword(L"EstimatedSize", 987654);
    }
    std::map<UINT, std::vector<int>> widths;
    scope_exit standard([] { SetDpi(96); });
    for (UINT dpi : {96u, 144u, 192u}) {
        SCOPED_TRACE(dpi);
        SetDpi(dpi);
        WebsiteProgram run(WebsiteBase(L"ok"));
        ASSERT_TRUE(run.Loaded);
        HWND thisPc = FindPage(run.Main, IDC_LAUNCH);
        HWND list = GetDlgItem(thisPc, IDC_LIST1);
        ASSERT_TRUE(WaitUntil([&] { return ListView_GetItemCount(list) == 2; }));
        const CTextMeter meter(dpi);
        // The program's font is the one measured with.
        ASSERT_EQ(meter.Extent(L"Installed On", true).cx,
                  ListStringWidth(run.Program.Process(), list, L"Installed On"));
        for (int page = 0; page < 2; ++page) {
            SelectTab(run.Program.Process(), run.Main, page);
            ASSERT_TRUE(WaitUntil([&] { return IsWindowVisible(page ? run.Page : thisPc) != FALSE; }));
            for (const std::wstring& fault : CutOff(run.Program.Process(), run.Main, meter))
                ADD_FAILURE() << "page " << page << ": " << Narrow(fault);
        }
        widths[dpi] = ColumnWidths(list);
        if (dpi != 96)
            continue;

        // Tab from the tab control visits every enabled control of the main window and This PC,
        // each once, in reading order.
        SelectTab(run.Program.Process(), run.Main, 0);
        const std::vector<HWND> cycle = TabCycle(GetWindowThreadProcessId(run.Main, nullptr));
        std::set<HWND> stops;
        TabStops(run.Main, stops);
        EXPECT_EQ(std::set<HWND>(cycle.begin(), cycle.end()), stops);
        EXPECT_EQ(cycle.size(), stops.size());
        for (size_t i = 1; i < cycle.size(); ++i)
            EXPECT_TRUE(ReadsAfter(cycle[i - 1], cycle[i])) << ClassName(cycle[i]).size() << " at " << i;
    }
    for (size_t column = 0; column < widths[96].size(); ++column)
        EXPECT_NEAR(widths[144][column], widths[96][column] * 3 / 2, 2) << column;
}

}  // namespace zid
