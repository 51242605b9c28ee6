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

// <common application data>\Corrabel\Velonar, created as needed, private (this user, SYSTEM and the
// Administrators only); false when either folder is a reparse point, owned by anyone but those
// (IsTrustedFolder), or lets anyone else put files into Velonar or replace it (IsPrivateFolder).
bool FindCommonDataFolder(std::wstring& folder);

// <temporary folder>\Corrabel\Velonar, created as needed.
bool FindTempDownloadFolder(std::wstring& folder);
