#include "win/folder_trust.h"

#include <aclapi.h>

#include <vector>

#include "win/handles.h"

namespace zid {

namespace {

// A SID of this process's token (TokenUser or TokenOwner), in owned storage; empty when it cannot be read.
std::vector<BYTE> TokenSid(TOKEN_INFORMATION_CLASS which) {
    HANDLE token = nullptr;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token))
        return {};
    zid::UniqueHandle owned(token);
    DWORD size = 0;
    GetTokenInformation(token, which, nullptr, 0, &size);
    std::vector<BYTE> buffer(size);
    if (size == 0 || !GetTokenInformation(token, which, buffer.data(), size, &size))
        return {};
    const PSID sid = which == TokenUser ? reinterpret_cast<TOKEN_USER*>(buffer.data())->User.Sid
                                        : reinterpret_cast<TOKEN_OWNER*>(buffer.data())->Owner;
    std::vector<BYTE> copy(GetLengthSid(sid));
    if (!CopySid(static_cast<DWORD>(copy.size()), copy.data(), sid))
        return {};
    return copy;
}

// The SID of the user this process runs as; empty when it cannot be read.
std::vector<BYTE> CurrentUserSid() {
    return TokenSid(TokenUser);
}

bool IsSid(PSID sid, std::vector<BYTE>& expected) {
    return !expected.empty() && EqualSid(sid, expected.data());
}

// This user, SYSTEM, the Administrators, or CREATOR OWNER (which stands for whoever makes a file in
// the folder: with the folder private, one of the others).
bool IsTrustedSid(PSID sid, const std::vector<BYTE>& user, bool creatorOwner) {
    if (IsWellKnownSid(sid, WinBuiltinAdministratorsSid) || IsWellKnownSid(sid, WinLocalSystemSid))
        return true;
    if (creatorOwner && IsWellKnownSid(sid, WinCreatorOwnerSid))
        return true;
    return !user.empty() && EqualSid(sid, const_cast<BYTE*>(user.data()));
}

std::vector<BYTE> WellKnownSid(WELL_KNOWN_SID_TYPE type) {
    std::vector<BYTE> sid(SECURITY_MAX_SID_SIZE);
    DWORD size = static_cast<DWORD>(sid.size());
    if (!CreateWellKnownSid(type, nullptr, sid.data(), &size))
        return {};
    sid.resize(size);
    return sid;
}

}  // namespace

bool IsTrustedFolder(const std::wstring& folder) {
    const DWORD attributes = GetFileAttributesW(folder.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES || !(attributes & FILE_ATTRIBUTE_DIRECTORY) ||
        (attributes & FILE_ATTRIBUTE_REPARSE_POINT))
        return false;
    PSID owner = nullptr;
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    if (GetNamedSecurityInfoW(folder.c_str(), SE_FILE_OBJECT, OWNER_SECURITY_INFORMATION, &owner, nullptr, nullptr,
                              nullptr, &descriptor) != ERROR_SUCCESS)
        return false;
    zid::UniqueLocal ownedDescriptor(descriptor);
    return owner && IsTrustedSid(owner, CurrentUserSid(), false);
}

bool IsOwnPlainFile(HANDLE file) {
    BY_HANDLE_FILE_INFORMATION information{};
    if (!GetFileInformationByHandle(file, &information) || information.nNumberOfLinks != 1 ||
        (information.dwFileAttributes & (FILE_ATTRIBUTE_REPARSE_POINT | FILE_ATTRIBUTE_DIRECTORY)))
        return false;
    PSID owner = nullptr;
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    if (GetSecurityInfo(file, SE_FILE_OBJECT, OWNER_SECURITY_INFORMATION, &owner, nullptr, nullptr, nullptr,
                        &descriptor) != ERROR_SUCCESS)
        return false;
    zid::UniqueLocal ownedDescriptor(descriptor);
    std::vector<BYTE> user = CurrentUserSid();
    std::vector<BYTE> defaultOwner = TokenSid(TokenOwner);
    return owner && (IsSid(owner, user) || IsSid(owner, defaultOwner));
}

bool IsPrivateFolder(const std::wstring& folder, ACCESS_MASK forbidden) {
    PACL dacl = nullptr;
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    if (GetNamedSecurityInfoW(folder.c_str(), SE_FILE_OBJECT, DACL_SECURITY_INFORMATION, nullptr, nullptr, &dacl,
                              nullptr, &descriptor) != ERROR_SUCCESS)
        return false;
    zid::UniqueLocal ownedDescriptor(descriptor);
    if (!dacl)
        return false;
    const std::vector<BYTE> user = CurrentUserSid();
    for (DWORD i = 0; i < dacl->AceCount; ++i) {
        void* entry = nullptr;
        if (!GetAce(dacl, i, &entry))
            return false;
        const auto* header = static_cast<const ACE_HEADER*>(entry);
        if (header->AceType == ACCESS_DENIED_ACE_TYPE)
            continue;
        // Any other kind of entry may grant something: only plain allowing ones can be judged.
        if (header->AceType != ACCESS_ALLOWED_ACE_TYPE)
            return false;
        const auto* allowed = static_cast<const ACCESS_ALLOWED_ACE*>(entry);
        const PSID sid = const_cast<DWORD*>(&allowed->SidStart);
        if ((allowed->Mask & forbidden) && !IsTrustedSid(sid, user, true))
            return false;
    }
    return true;
}

DWORD CreatePrivateFolder(const std::wstring& folder) {
    std::vector<BYTE> user = CurrentUserSid();
    std::vector<BYTE> system = WellKnownSid(WinLocalSystemSid);
    std::vector<BYTE> administrators = WellKnownSid(WinBuiltinAdministratorsSid);
    if (user.empty() || system.empty() || administrators.empty())
        return ERROR_INVALID_SID;
    EXPLICIT_ACCESSW entries[3]{};
    std::vector<BYTE>* sids[3] = {&user, &system, &administrators};
    for (int i = 0; i < 3; ++i) {
        entries[i].grfAccessPermissions = FILE_ALL_ACCESS;
        entries[i].grfAccessMode = SET_ACCESS;
        entries[i].grfInheritance = SUB_CONTAINERS_AND_OBJECTS_INHERIT;
        entries[i].Trustee.TrusteeForm = TRUSTEE_IS_SID;
        entries[i].Trustee.ptstrName = reinterpret_cast<LPWSTR>(sids[i]->data());
    }
    PACL acl = nullptr;
    if (const DWORD error = SetEntriesInAclW(3, entries, nullptr, &acl))
        return error;
    zid::UniqueLocal ownedAcl(acl);
    SECURITY_DESCRIPTOR descriptor{};
    if (!InitializeSecurityDescriptor(&descriptor, SECURITY_DESCRIPTOR_REVISION) ||
        !SetSecurityDescriptorDacl(&descriptor, TRUE, acl, FALSE) ||
        !SetSecurityDescriptorControl(&descriptor, SE_DACL_PROTECTED, SE_DACL_PROTECTED))
        return GetLastError();
    SECURITY_ATTRIBUTES attributes{sizeof(attributes), &descriptor, FALSE};
    if (!CreateDirectoryW(folder.c_str(), &attributes))
        return GetLastError();
    return ERROR_SUCCESS;
}

}  // namespace zid
