// The shared fallback download folder is used only when no other user can have prepared it.
#include <gtest/gtest.h>

#include <windows.h>
#include <aclapi.h>
#include <shlobj.h>

#include <vector>

#include "releases/download_folder.h"
#include "win/handles.h"

namespace {

std::vector<BYTE> WellKnownSid(WELL_KNOWN_SID_TYPE type) {
    std::vector<BYTE> sid(SECURITY_MAX_SID_SIZE);
    DWORD size = static_cast<DWORD>(sid.size());
    CreateWellKnownSid(type, nullptr, sid.data(), &size);
    sid.resize(size);
    return sid;
}

// Makes sid the owner of folder; false when the file system did not keep it.
bool SetOwner(const std::wstring& folder, std::vector<BYTE>& sid) {
    SetNamedSecurityInfoW(const_cast<wchar_t*>(folder.c_str()), SE_FILE_OBJECT, OWNER_SECURITY_INFORMATION, sid.data(),
                          nullptr, nullptr, nullptr);
    PSID owner = nullptr;
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    if (GetNamedSecurityInfoW(folder.c_str(), SE_FILE_OBJECT, OWNER_SECURITY_INFORMATION, &owner, nullptr, nullptr,
                              nullptr, &descriptor) != ERROR_SUCCESS)
        return false;
    zid::UniqueLocal owned(descriptor);
    return EqualSid(owner, sid.data()) != FALSE;
}

}  // namespace

// Another user who makes ...\\Corrabel or ...\\Corrabel\\Velonar first owns it: it is passed over, and
// the download goes to the next folder. Folders of the Administrators are used.
TEST(DownloadFolder, SharedFolderOfAnotherOwnerIsPassedOver) {
    wchar_t common[MAX_PATH] = L"";
    ASSERT_EQ(SHGetFolderPathW(nullptr, CSIDL_COMMON_APPDATA, nullptr, 0, common), S_OK);
    std::wstring folder;
    ASSERT_TRUE(FindCommonDataFolder(folder));
    std::vector<BYTE> guests = WellKnownSid(WinBuiltinGuestsSid);
    std::vector<BYTE> administrators = WellKnownSid(WinBuiltinAdministratorsSid);
    for (const std::wstring& part : {std::wstring(common) + L"\\Corrabel", folder}) {
        if (!SetOwner(part, guests))
            GTEST_SKIP() << "this system keeps no owners of files (Wine)";
        std::wstring found;
        EXPECT_FALSE(FindCommonDataFolder(found));
        ASSERT_TRUE(SetOwner(part, administrators));
        EXPECT_TRUE(FindCommonDataFolder(found));
    }
}
