// The About box (dialog 103): version line, copyright and the website link.
#pragma once

#include <windows.h>

#include "operations/prompt.h"
#include "ui/dpi.h"
#include "win/platform.h"

namespace zid {

class CAboutBox {
public:
    // prompt: where a failure to open the website is told.
    explicit CAboutBox(IPrompt& prompt) : m_prompt(prompt) {}
    CAboutBox(const CAboutBox&) = delete;
    CAboutBox& operator=(const CAboutBox&) = delete;

    // Shows the modal box owned by owner until it is closed.
    void Show(const PlatformFacts& platform, HWND owner);

    // The dialog procedure body (reached through DialogThunk).
    INT_PTR OnMessage(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);

private:
    INT_PTR OnInitDialog(HWND dialog);
    INT_PTR OnNotify(const NMHDR& header);
    INT_PTR OnCommand(HWND dialog, WORD id);

    IPrompt& m_prompt;
    bool m_wine = false;
    CDialogDpi m_dpi;
};

}  // namespace zid
