#include "packages/signature.h"

#include <softpub.h>
#include <wintrust.h>

#include <cstddef>
#include <cwchar>

#include "win/handles.h"

namespace {

// The record as first defined, ending at dwUIContext: no signature-settings extension is asked for.
constexpr DWORD kTrustDataSize = offsetof(WINTRUST_DATA, dwUIContext) + sizeof(DWORD);
static_assert(sizeof(void*) != 4 || kTrustDataSize == 48, "the 32-bit trust record is 48 bytes");

// One verify call's records and the provider that must be told to release its state.
struct TrustCall {
    TrustFunction trust = nullptr;
    GUID action = WINTRUST_ACTION_GENERIC_VERIFY_V2;
    WINTRUST_FILE_INFO file{};
    WINTRUST_DATA data{};
};

// Releases the provider's state with the close action: the second half of the verify-then-close pair.
void CloseTrustState(TrustCall* call) noexcept {
    call->data.dwStateAction = WTD_STATEACTION_CLOSE;
    call->trust(nullptr, &call->action, &call->data);
}

using UniqueTrustState = zid::unique_handle<TrustCall*, &CloseTrustState>;

bool IsNoSignatureDetail(DWORD lastError) {
    return lastError == static_cast<DWORD>(TRUST_E_NOSIGNATURE) ||
           lastError == static_cast<DWORD>(TRUST_E_SUBJECT_FORM_UNKNOWN) ||
           lastError == static_cast<DWORD>(TRUST_E_PROVIDER_UNKNOWN);
}

}  // namespace

std::wstring SignatureResultText(LONG result, DWORD lastError) {
    switch (result) {
    case ERROR_SUCCESS:
        return L"The file is signed and the signature was verified.";
    case TRUST_E_NOSIGNATURE:
        return IsNoSignatureDetail(lastError)
                   ? L"The file is not signed."
                   : L"An unknown error occurred trying to verify the signature of the file.";
    case TRUST_E_EXPLICIT_DISTRUST:
        return L"The signature is present, but specifically disallowed.";
    case TRUST_E_SUBJECT_NOT_TRUSTED:
        return L"The signature is present, but not trusted.";
    case CRYPT_E_SECURITY_SETTINGS:
        return L"CRYPT_E_SECURITY_SETTINGS - The hash representing the subject or the publisher wasn't "
               L"explicitly trusted by the admin and admin policy has disabled user trust. No signature, "
               L"publisher or timestamp errors.";
    case TRUST_E_BAD_DIGEST:
        return L"The digital signature did not verify.";
    default: {
        wchar_t text[64];
        swprintf(text, 64, L"Verify digital signature result code: 0x%lx.", static_cast<unsigned long>(result));
        return text;
    }
    }
}

bool VerifySignature(const std::wstring& path, std::wstring& text, TrustFunction trust) {
    TrustCall call;
    call.trust = trust;
    call.file.cbStruct = sizeof(WINTRUST_FILE_INFO);
    call.file.pcwszFilePath = path.c_str();
    call.data.cbStruct = kTrustDataSize;
    call.data.dwUIChoice = WTD_UI_NONE;
    call.data.fdwRevocationChecks = WTD_REVOKE_NONE;
    call.data.dwUnionChoice = WTD_CHOICE_FILE;
    call.data.pFile = &call.file;
    call.data.dwStateAction = WTD_STATEACTION_VERIFY;

    LONG result = trust(nullptr, &call.action, &call.data);
    DWORD lastError = GetLastError();
    // From here on the close call is owed, whatever the verify call answered.
    UniqueTrustState state(&call);
    text = SignatureResultText(result, lastError);
    return result == ERROR_SUCCESS;
}

bool VerifySignature(const std::wstring& path, std::wstring& text) {
    return VerifySignature(path, text, &WinVerifyTrust);
}
