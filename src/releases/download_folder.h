// Where downloaded packages are saved.
#pragma once

#include <string>

struct DownloadRequest;

// Attaches the request's local file (AttachLocalFile) in the first folder that takes it: the user's
// Downloads folder, else the common application data folder, else the temporary folder, each of the
// last two with Corrabel\Velonar below it. False when none did.
bool AttachInDownloadFolder(DownloadRequest& request);

// The user's Downloads known folder, created if missing. False before Windows Vista or where Shell32
// lacks SHGetKnownFolderPath (looked up at run time, as old systems do not have it).
bool FindDownloadsFolder(std::wstring& folder);

// <common application data>\Corrabel\Velonar, created as needed; false when either folder is a
// reparse point or owned by anyone but this user, the Administrators or SYSTEM (IsTrustedFolder).
bool FindCommonDataFolder(std::wstring& folder);

// <temporary folder>\Corrabel\Velonar, created as needed.
bool FindTempDownloadFolder(std::wstring& folder);
