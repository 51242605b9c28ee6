// Folders that other users of the machine can create first, checked before files go into them.
#pragma once

#include <string>

// True when folder is a folder of its own (not a junction, symbolic link or other reparse point)
// owned by the current user, the Administrators or SYSTEM: one that no other user has prepared.
bool IsTrustedFolder(const std::wstring& folder);
