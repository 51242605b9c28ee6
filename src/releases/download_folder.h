// Where downloaded packages are saved.
#pragma once

#include <string>

namespace zid {

struct DownloadRequest;
class IPrompt;

// Attaches the request's local file (AttachLocalFile) in the first folder that takes it: the user's
// Downloads folder, else the common application data folder, else the temporary folder, each of the
// last two with Corrabel\Velonar below it. A folder whose partial file of the package is not this
// user's is passed over (told to prompt's log). False, with the reason as the last error, when none
// took it, or at once when the partial file is in use (ERROR_SHARING_VIOLATION).
bool AttachInDownloadFolder(DownloadRequest& request, IPrompt& prompt);

// The user's Downloads known folder, created if missing.
bool FindDownloadsFolder(std::wstring& folder);

// <common application data>\Corrabel\Velonar, created as needed, private (this user, SYSTEM and the
// Administrators only); false when either folder is a reparse point, owned by anyone but those
// (IsTrustedFolder), or lets anyone else put files into Velonar or replace it (IsPrivateFolder).
bool FindCommonDataFolder(std::wstring& folder);

// <temporary folder>\Corrabel\Velonar, created as needed.
bool FindTempDownloadFolder(std::wstring& folder);

}  // namespace zid
