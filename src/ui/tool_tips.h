// A page's balloon tip that also shows over disabled controls: the message filter hands it the
// mouse messages, and it finds the control under the pointer itself.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

namespace zid {

class CToolTips {
public:
    CToolTips() = default;
    CToolTips(const CToolTips&) = delete;
    CToolTips& operator=(const CToolTips&) = delete;
    ~CToolTips() { Destroy(); }

    // Creates the tip of page with a tool per control (id, text); 0 or the Win32 error.
    DWORD Create(HINSTANCE instance, HWND page, const std::vector<std::pair<int, std::wstring>>& tools);
    bool Exists() const { return m_tip != nullptr; }
    // Destroys the tip (a page's tip is owned by the top-level window, so it does not go with the page).
    void Destroy();

    // Hands a mouse message to the tip as a message of the page's child under the pointer.
    void Relay(const MSG& msg) const;

    // The page's child at a screen position, disabled children too; null outside any.
    HWND ChildAt(POINT screen) const;

private:
    static LRESULT CALLBACK Subclass(HWND tip, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR id, DWORD_PTR self);

    HWND m_tip = nullptr;
    HWND m_page = nullptr;
};

}  // namespace zid
