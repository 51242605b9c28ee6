// The local file of a download into a file: its name from the address, created in a folder.
#pragma once

#include <string>

#include "net/download_request.h"

// The name of the file a download of url saves: the last component of the address's path. False when
// the address has a backslash or cannot be split, or when that component is no plain file name, as
// written or percent-decoded:
// empty, "." or "..", a path separator, a character Windows does not allow in names, a trailing dot
// or space, or a device name (CON, NUL, COM1...). Such a name could leave the folder it is saved in.
bool DownloadFileName(const std::wstring& url, std::wstring& name);

// Creates folder\<DownloadFileName of the request's url>, replacing a file of that name, and attaches
// it to the request (kRequestToFile, LocalPath, File). False, with the request unchanged, when the url
// has no such name (ERROR_INVALID_NAME), the full path would be empty, 260 characters or longer
// (ERROR_FILENAME_EXCED_RANGE) or outside the folder, or the file cannot be created (its error stays
// the thread's last error).
bool AttachLocalFile(DownloadRequest& request, const std::wstring& folder);
