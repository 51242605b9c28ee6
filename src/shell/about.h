// The program's identity (version resource, website) and its way out to the shell.
#pragma once

#include <windows.h>

#include <string>

// "%s Version %s" of the product name and version number, read from our own file once.
std::wstring GetVersionText();

// "1.11", "1.11.3", "1.11.0.4" or "1.11.3.4" from file's version resource; empty without one.
// Fills productName and copyright when given and present.
std::wstring GetFileVersionText(const std::wstring& file, std::wstring* productName = nullptr,
                                std::wstring* copyright = nullptr);

// Full path of the program's own file, however long.
std::wstring GetModulePath();

// The product website's base address, ending with "/"; ZIDEZUREZIV_WEBSITE may replace it (staging).
std::wstring GetWebsiteBase();

// True for targets beginning with "http://" or "https://" (case-sensitive).
bool IsWebAddress(const std::wstring& target);

// Opens a file or web address with its associated program (under Wine a web address goes to
// "winebrowser" first); failures are shown to the user as warnings.
void ShellOpen(const std::wstring& target);

// Dialog procedure of the About box (template 103).
INT_PTR CALLBACK AboutProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
