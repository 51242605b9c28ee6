#include "win/tool_tips.h"

#include <commctrl.h>

#include <algorithm>
#include <vector>

#include "win/callback_guard.h"

namespace {

constexpr UINT_PTR kSubclassId = 1;

struct ToolTipRegistry {
    std::vector<HWND> Tips;
    HWND Page = nullptr;
};

ToolTipRegistry& Registry() {
    static ToolTipRegistry registry;
    return registry;
}

// The page's child at a screen position; disabled children count too.
HWND ChildOfPageAt(POINT screen) {
    HWND page = Registry().Page;
    if (!page)
        return nullptr;
    ScreenToClient(page, &screen);
    return RealChildWindowFromPoint(page, screen);
}

LRESULT CALLBACK ToolTipSubclass(HWND toolTip, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR, DWORD_PTR) {
    return GuardCallback<LRESULT>(0, [&]() -> LRESULT {
        switch (message) {
        case TTM_WINDOWFROMPOINT:
            if (Registry().Page && lParam)
                return reinterpret_cast<LRESULT>(ChildOfPageAt(*reinterpret_cast<const POINT*>(lParam)));
            break;
        case WM_NCDESTROY: {
            auto& tips = Registry().Tips;
            tips.erase(std::remove(tips.begin(), tips.end(), toolTip), tips.end());
            RemoveWindowSubclass(toolTip, &ToolTipSubclass, kSubclassId);
            break;
        }
        default:
            break;
        }
        return DefSubclassProc(toolTip, message, wParam, lParam);
    });
}

}  // namespace

void RegisterToolTip(HWND toolTip) {
    auto& tips = Registry().Tips;
    if (!toolTip || std::find(tips.begin(), tips.end(), toolTip) != tips.end())
        return;
    if (SetWindowSubclass(toolTip, &ToolTipSubclass, kSubclassId, 0))
        tips.push_back(toolTip);
}

void SetToolTipPage(HWND page) {
    Registry().Page = page;
}

void RelayToToolTips(const MSG& msg) {
    HWND page = Registry().Page;
    if (!page)
        return;
    HWND child = ChildOfPageAt(msg.pt);
    if (!child || child == page)
        return;
    MSG copy = msg;
    copy.hwnd = child;
    POINT local = msg.pt;
    ScreenToClient(child, &local);
    copy.lParam = MAKELPARAM(local.x, local.y);
    // A copy of the list: a tip may be destroyed while the message is relayed.
    const std::vector<HWND> tips = Registry().Tips;
    for (HWND tip : tips)
        SendMessageW(tip, TTM_RELAYEVENT, 0, reinterpret_cast<LPARAM>(&copy));
}

size_t RegisteredToolTipCount() {
    return Registry().Tips.size();
}
