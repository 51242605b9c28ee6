// Opening files and web addresses with the programs the user chose for them.
#pragma once

#include <string>

// True for targets beginning with "http://" or "https://" (case-sensitive).
bool IsWebAddress(const std::wstring& target);

// Opens a file or web address with its associated program (under Wine a web address goes to
// "winebrowser" first); failures are shown to the user as warnings.
void ShellOpen(const std::wstring& target);
