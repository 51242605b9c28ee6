// Opening files and web addresses with the programs the user chose for them.
#pragma once

#include <string>

namespace zid {

// True for targets beginning with "http://" or "https://" (case-sensitive).
bool IsWebAddress(const std::wstring& target);

// Opens a file or web address with its associated program (underWine a web address goes to the
// system's "winebrowser" first): 0, or the shell's failure code (32 or below) when it did not open.
int OpenWithShell(const std::wstring& target, bool underWine);

}  // namespace zid
