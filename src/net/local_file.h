// The local file of a download into a file: its name from the address, the partial file it is
// written to until it is whole, and the record that lets an interrupted download continue.
#pragma once

#include <string>

#include "net/download_request.h"

// The name of the package file a download of url saves: the last component of the address's path.
// False when the address has a backslash or cannot be split, or when that component is no plain
// package name, as written or percent-decoded: not ending in ".msi" (any case), a control or
// bidirectional-formatting character, "." or "..", a path separator, a character Windows does not
// allow in names, a trailing dot or space, or a device name (CON, NUL, COM1...).
bool DownloadFileName(const std::wstring& url, std::wstring& name);

// Suffixes of the partial file and of its resume record, appended to the final name.
inline constexpr wchar_t kPartialSuffix[] = L".partial";
inline constexpr wchar_t kResumeSuffix[] = L".resume";

// Attaches folder\<DownloadFileName>.partial to the request (kRequestToFile, LocalPath, FinalPath,
// ResumePath, File). A partial file of the same address whose resume record holds a validator is
// opened to be continued (ResumeFrom, Validator); any other file of that name is replaced by a new
// one. The final file is never touched here. False, with the request unchanged, when the url has no
// package name (ERROR_INVALID_NAME), a path would be 260 characters or longer
// (ERROR_FILENAME_EXCED_RANGE) or outside the folder, a folder has the final name (ERROR_CANNOT_MAKE),
// or the file cannot be created or opened (its error stays the thread's last error).
bool AttachLocalFile(DownloadRequest& request, const std::wstring& folder);

// Writes the resume record of the request's partial file: its address and validator. 0 or the error.
DWORD SaveResumeRecord(const DownloadRequest& request, const std::string& validator);

// Reads the resume record at path; false when it is missing, unreadable or not well formed (a
// validator must be printable ASCII of at most 256 characters).
bool ReadResumeRecord(const std::wstring& path, std::wstring& url, std::string& validator);
