// The log pane of the main window: what the operations tell as lines, each after the time it came.
#pragma once

#include <windows.h>

#include <string>

namespace zid {

class CLogPane {
public:
    // The edit control that shows the text (null while there is none: the text is kept for it).
    void Attach(HWND edit);

    // Appends "HH:MM:SS text", ending with one CR LF, and scrolls the last line into view.
    void AddLine(const std::wstring& text);
    // Empties the pane.
    void Clear();
    // Everything the pane holds, as lines ending CR LF.
    const std::wstring& Text() const { return m_text; }

private:
    HWND m_edit = nullptr;
    std::wstring m_text;  // kept whole, so the control is set in one call
};

}  // namespace zid
