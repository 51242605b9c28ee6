// The one way the program shows a message box, so that tests can answer it.
#pragma once

#include <windows.h>

#include <functional>
#include <string>

// Shows a message box and returns the button that closed it (as MessageBoxW does).
int ShowMessageBox(HWND owner, const std::wstring& text, const std::wstring& caption, UINT style);

// Replaces how the answer is obtained (tests record the box and script the answer); an empty
// function restores the real message box. Returns the answerer it replaced.
using MessageBoxAnswerer =
    std::function<int(HWND owner, const std::wstring& text, const std::wstring& caption, UINT style)>;
MessageBoxAnswerer SetMessageBoxAnswerer(MessageBoxAnswerer answerer);
