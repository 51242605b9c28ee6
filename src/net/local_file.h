// The local file of a download into a file: its name from the address, the partial file it is
// written to until it is whole, and the record that lets an interrupted download continue.
#pragma once

#include <string>

#include "net/download_request.h"

namespace zid {

// The name of the package file a download of url saves: the last component of the address's path.
// False when the address has a backslash or cannot be split, or when that component is no plain
// package name, as written or percent-decoded: not ending in ".msi" (any case), a control or
// bidirectional-formatting character, "." or "..", a path separator, a character Windows does not
// allow in names, a trailing dot or space, or a device name (CON, NUL, COM1...).
bool DownloadFileName(const std::wstring& url, std::wstring& name);

// Suffixes of the partial file and of its resume record, appended to the final name.
inline constexpr wchar_t kPartialSuffix[] = L".partial";
inline constexpr wchar_t kResumeSuffix[] = L".resume";

// Why AttachLocalFile left a partial file of the package alone: it is not a plain file of this user's
// (a link, a file with other names, another user's file), so the program neither writes into it nor
// deletes it.
inline constexpr DWORD kPartialFileNotOurs = ERROR_FILE_EXISTS;

// Attaches folder\<DownloadFileName>.partial to the request (kRequestToFile, LocalPath, FinalPath,
// ResumePath, File). A partial file of the same address that this user made, whose resume record says
// what it is the start of, is opened to be continued or, when it is whole, to take its name (Partial);
// a partial file of this user's that cannot be continued is emptied and started anew. The final file
// is never touched here. False, with the request unchanged and nothing on disk changed, when the url
// has no package name (ERROR_INVALID_NAME), a path would be 260 characters or longer
// (ERROR_FILENAME_EXCED_RANGE) or outside the folder, a folder has the final name (ERROR_CANNOT_MAKE),
// the partial file is in use (ERROR_SHARING_VIOLATION: another download of it runs; its record is
// kept), it is not this user's plain file (kPartialFileNotOurs), or it cannot be created or opened
// (its error stays the thread's last error).
bool AttachLocalFile(DownloadRequest& request, const std::wstring& folder);

// Gives the request's partial file (closed first if the request still holds it) its final name,
// replacing an earlier file of that name, and deletes its resume record; LocalPath is then the final
// path. 0 or the Win32 error (the partial file and its record are then kept).
DWORD TakeFinalName(DownloadRequest& request);

// Writes the resume record of the request's partial file (its address, and partial's validator and
// total), never through a file or link that is already there. 0 or the Win32 error.
DWORD SaveResumeRecord(const DownloadRequest& request, const zid::PartialState& partial);

// Reads the resume record at path (partial's Size is not in it); false when it is missing, unreadable
// or not well formed (a validator must be printable ASCII of at most 256 characters).
bool ReadResumeRecord(const std::wstring& path, std::wstring& url, zid::PartialState& partial);

}  // namespace zid
