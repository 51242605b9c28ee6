#include "releases/download_folder.h"

#include <windows.h>
#include <shlobj.h>

#include "net/local_file.h"
#include "win/folder_trust.h"
#include "win/handles.h"
#include "win/platform.h"
#include "win/system_library.h"

namespace {

using GetKnownFolderPathFn = HRESULT(WINAPI*)(const GUID&, DWORD, HANDLE, PWSTR*);
// FOLDERID_Downloads {374DE290-123F-4565-9164-39C4925E467B}
constexpr GUID kDownloadsFolderId = {0x374DE290, 0x123F, 0x4565, {0x91, 0x64, 0x39, 0xC4, 0x92, 0x5E, 0x46, 0x7B}};
constexpr DWORD kCreateKnownFolder = 0x8000;  // KF_FLAG_CREATE

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
    if (!IsVistaOrLater())
        return false;
    zid::UniqueModule shell(LoadSystemLibrary(L"shell32.dll"));
    if (!shell)
        return false;
    auto getKnownFolderPath = reinterpret_cast<GetKnownFolderPathFn>(
        reinterpret_cast<void*>(GetProcAddress(shell.get(), "SHGetKnownFolderPath")));
    if (!getKnownFolderPath)
        return false;
    PWSTR path = nullptr;
    const HRESULT result = getKnownFolderPath(kDownloadsFolderId, kCreateKnownFolder, nullptr, &path);
    zid::UniqueTaskString owned(path);
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

bool AttachInDownloadFolder(DownloadRequest& request) {
    for (auto find : {&FindDownloadsFolder, &FindCommonDataFolder, &FindTempDownloadFolder}) {
        std::wstring folder;
        if (find(folder) && AttachLocalFile(request, folder))
            return true;
    }
    return false;
}
