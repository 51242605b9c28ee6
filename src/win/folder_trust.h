// Folders that other users of the machine can create first, checked before files go into them.
#pragma once

#include <windows.h>

#include <string>

namespace zid {

// True when folder is a folder of its own (not a junction, symbolic link or other reparse point)
// owned by the current user, the Administrators or SYSTEM: one that no other user has prepared.
bool IsTrustedFolder(const std::wstring& folder);

// True when file (opened with FILE_FLAG_OPEN_REPARSE_POINT, so that a link is seen as itself) is a
// plain file (no reparse point, no folder) with one name (no other hard link to it), owned by the
// current user or by the owner this user's files get (an elevated administrator's: the
// Administrators): one the program itself made, not one planted for it to write into.
bool IsOwnPlainFile(HANDLE file);

// Rights on a folder that nobody but this user, SYSTEM and the Administrators may hold.
// kOthersMayNotFill: to put files or folders into it, to delete or rename it or what is in it, to
// change its permissions or owner (the folder a download is written to).
// kOthersMayNotReplace: only what it takes to swap a folder below it for another one (its parent).
inline constexpr ACCESS_MASK kOthersMayNotFill = FILE_WRITE_DATA | FILE_APPEND_DATA | FILE_DELETE_CHILD | DELETE |
                                                 WRITE_DAC | WRITE_OWNER | GENERIC_ALL | GENERIC_WRITE |
                                                 MAXIMUM_ALLOWED;
inline constexpr ACCESS_MASK kOthersMayNotReplace =
    FILE_DELETE_CHILD | DELETE | WRITE_DAC | WRITE_OWNER | GENERIC_ALL | MAXIMUM_ALLOWED;

// True when folder's permissions (also those that what is made in it inherits) give nobody but this
// user, SYSTEM and the Administrators any of the rights in forbidden. A folder without permissions
// (everyone may do everything) or whose permissions cannot be read is not private.
bool IsPrivateFolder(const std::wstring& folder, ACCESS_MASK forbidden);

// Creates folder with permissions for this user, SYSTEM and the Administrators only (full control,
// inherited by what is made in it, none inherited from above). 0, ERROR_ALREADY_EXISTS when something
// of that name is there already (left as it is), or the Win32 error.
DWORD CreatePrivateFolder(const std::wstring& folder);

}  // namespace zid
