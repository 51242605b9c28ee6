#include "ui/tool_tips.h"

#include <commctrl.h>

#include "win/callback_guard.h"

namespace zid {

namespace {

constexpr UINT_PTR kSubclassId = 1;

}  // namespace

void CToolTips::Destroy() {
    if (m_tip && IsWindow(m_tip))
        DestroyWindow(m_tip);
    m_tip = nullptr;
    m_page = nullptr;
}

DWORD CToolTips::Create(HINSTANCE instance, HWND page, const std::vector<std::pair<int, std::wstring>>& tools) {
    HWND tip = CreateWindowExW(0, TOOLTIPS_CLASSW, nullptr, WS_POPUP | TTS_BALLOON | TTS_ALWAYSTIP, CW_USEDEFAULT,
                               CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, page, nullptr, instance, nullptr);
    if (!tip)
        return GetLastError();
    if (!SetWindowSubclass(tip, &CToolTips::Subclass, kSubclassId, reinterpret_cast<DWORD_PTR>(this))) {
        const DWORD error = GetLastError();
        DestroyWindow(tip);
        return error;
    }
    m_tip = tip;
    m_page = page;
    for (const auto& [id, text] : tools) {
        std::wstring shown = text;
        TTTOOLINFOW tool{};
        tool.cbSize = sizeof(tool);
        tool.uFlags = TTF_IDISHWND;
        tool.hwnd = page;
        tool.uId = reinterpret_cast<UINT_PTR>(GetDlgItem(page, id));
        tool.lpszText = shown.data();
        SendMessageW(tip, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&tool));
    }
    return ERROR_SUCCESS;
}

HWND CToolTips::ChildAt(POINT screen) const {
    if (!m_page)
        return nullptr;
    ScreenToClient(m_page, &screen);
    return RealChildWindowFromPoint(m_page, screen);
}

void CToolTips::Relay(const MSG& msg) const {
    if (!m_tip)
        return;
    HWND child = ChildAt(msg.pt);
    if (!child || child == m_page)
        return;
    MSG copy = msg;
    copy.hwnd = child;
    POINT local = msg.pt;
    ScreenToClient(child, &local);
    copy.lParam = MAKELPARAM(local.x, local.y);
    SendMessageW(m_tip, TTM_RELAYEVENT, 0, reinterpret_cast<LPARAM>(&copy));
}

LRESULT CALLBACK CToolTips::Subclass(HWND tip, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR, DWORD_PTR self) {
    return GuardCallback<LRESULT>(0, [&]() -> LRESULT {
        auto* tips = reinterpret_cast<CToolTips*>(self);
        switch (message) {
        case TTM_WINDOWFROMPOINT:
            if (lParam)
                return reinterpret_cast<LRESULT>(tips->ChildAt(*reinterpret_cast<const POINT*>(lParam)));
            break;
        case WM_NCDESTROY:
            RemoveWindowSubclass(tip, &CToolTips::Subclass, kSubclassId);
            tips->m_tip = nullptr;
            tips->m_page = nullptr;
            break;
        default:
            break;
        }
        return DefSubclassProc(tip, message, wParam, lParam);
    });
}

}  // namespace zid
