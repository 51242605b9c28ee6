#include "releases/download_folder.h"

#include <windows.h>
#include <knownfolders.h>
#include <shlobj.h>

#include "net/local_file.h"
#include "operations/prompt.h"
#include "win/folder_trust.h"
#include "win/handles.h"
#include "win/untrusted_text.h"

namespace zid {

namespace {

bool CreateFolder(const std::wstring& folder) {
    return CreateDirectoryW(folder.c_str(), nullptr) || GetLastError() == ERROR_ALREADY_EXISTS;
}

// base\Corrabel\Velonar, each folder created; folder is set only when both exist. Under a base that
// every user can write to (shared), both are made private when they are made here, and must be
// private when they were there already: another user could make them first, make them junctions, or
// put files into them, and swap the package between download and install.
bool AddProductFolders(std::wstring base, std::wstring& folder, bool shared) {
    const wchar_t* const parts[] = {L"Corrabel", L"Velonar"};
    for (const wchar_t* part : parts) {
        if (!base.empty() && base.back() != L'\\')
            base += L'\\';
        base += part;
        if (!shared) {
            if (!CreateFolder(base))
                return false;
            continue;
        }
        const DWORD created = CreatePrivateFolder(base);
        if (created != ERROR_SUCCESS && created != ERROR_ALREADY_EXISTS)
            return false;
        // The parent only must not let anyone replace the folder below it.
        const ACCESS_MASK forbidden = part == parts[1] ? kOthersMayNotFill : kOthersMayNotReplace;
        if (!IsTrustedFolder(base) || !IsPrivateFolder(base, forbidden))
            return false;
    }
    folder = std::move(base);
    return true;
}

}  // namespace

bool FindDownloadsFolder(std::wstring& folder) {
    PWSTR path = nullptr;
    const HRESULT result = SHGetKnownFolderPath(FOLDERID_Downloads, KF_FLAG_CREATE, nullptr, &path);
    UniqueTaskString owned(path);
    if (FAILED(result) || !path)
        return false;
    folder = path;
    return true;
}

bool FindCommonDataFolder(std::wstring& folder) {
    wchar_t path[MAX_PATH] = L"";
    if (FAILED(SHGetFolderPathW(nullptr, CSIDL_COMMON_APPDATA | CSIDL_FLAG_CREATE, nullptr, 0, path)))
        return false;
    return AddProductFolders(path, folder, true);
}

bool FindTempDownloadFolder(std::wstring& folder) {
    wchar_t path[MAX_PATH] = L"";
    const DWORD length = GetTempPathW(MAX_PATH, path);
    if (length == 0 || length > MAX_PATH || !CreateFolder(path))
        return false;
    return AddProductFolders(std::wstring(path, length), folder, false);
}

bool AttachInDownloadFolder(DownloadRequest& request, IPrompt& prompt) {
    for (auto find : {&FindDownloadsFolder, &FindCommonDataFolder, &FindTempDownloadFolder}) {
        std::wstring folder;
        if (!find(folder))
            continue;
        if (AttachLocalFile(request, folder))
            return true;
        const DWORD error = GetLastError();
        // Another download has this file: a second copy elsewhere would only compete with it.
        if (error == ERROR_SHARING_VIOLATION) {
            SetLastError(error);
            return false;
        }
        if (error == kPartialFileNotOurs)
            prompt.Log(L"The download does not use " + ShownText(folder) +
                       L": the partial file of this package there is not a plain file of this user's (a link, or "
                       L"another user's file), so it is left alone.");
        SetLastError(error);
    }
    return false;
}

}  // namespace zid
