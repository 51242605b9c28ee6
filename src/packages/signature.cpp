#include "packages/signature.h"

#include <softpub.h>
#include <wintrust.h>

#include <cstddef>
#include <cstring>
#include <cwchar>

#include "win/handles.h"

namespace zid {

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

// Fills the records of a verify call on path (read through file when there is one), no UI, no
// revocation check.
void PrepareVerify(TrustCall& call, TrustFunction trust, const std::wstring& path, HANDLE file) {
    call.trust = trust;
    call.file.cbStruct = sizeof(WINTRUST_FILE_INFO);
    call.file.pcwszFilePath = path.c_str();
    call.file.hFile = file;
    call.data.cbStruct = kTrustDataSize;
    call.data.dwUIChoice = WTD_UI_NONE;
    call.data.fdwRevocationChecks = WTD_REVOKE_NONE;
    call.data.dwUnionChoice = WTD_CHOICE_FILE;
    call.data.pFile = &call.file;
    call.data.dwStateAction = WTD_STATEACTION_VERIFY;
}

// The leaf signing certificate of a verified state: the first certificate of the first signer's chain.
PCCERT_CONTEXT SignerCertificate(HANDLE state) {
    CRYPT_PROVIDER_DATA* data = WTHelperProvDataFromStateData(state);
    CRYPT_PROVIDER_SGNR* signer = data ? WTHelperGetProvSignerFromChain(data, 0, FALSE, 0) : nullptr;
    CRYPT_PROVIDER_CERT* certificate = signer ? WTHelperGetProvCertFromChain(signer, 0) : nullptr;
    return certificate ? certificate->pCert : nullptr;
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
    PrepareVerify(call, trust, path, nullptr);
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

SignatureCheck CheckFileSignature(HANDLE file, const std::wstring& path) {
    TrustCall call;
    PrepareVerify(call, &WinVerifyTrust, path, file);
    const LONG result = WinVerifyTrust(nullptr, &call.action, &call.data);
    const DWORD lastError = GetLastError();
    UniqueTrustState state(&call);
    SignatureCheck check;
    check.Verified = result == ERROR_SUCCESS;
    check.Text = SignatureResultText(result, lastError);
    // The certificate belongs to the state: it is read before the close call releases both.
    if (check.Verified)
        if (PCCERT_CONTEXT signer = SignerCertificate(call.data.hWVTStateData))
            check.Publisher = CertificateOrganization(signer);
    return check;
}

std::wstring CertificateOrganization(PCCERT_CONTEXT certificate) {
    if (!certificate || !certificate->pCertInfo)
        return {};
    const CERT_NAME_BLOB& subject = certificate->pCertInfo->Subject;
    CERT_NAME_INFO* name = nullptr;
    DWORD size = 0;
    if (!CryptDecodeObjectEx(X509_ASN_ENCODING, X509_UNICODE_NAME, subject.pbData, subject.cbData,
                             CRYPT_DECODE_ALLOC_FLAG, nullptr, &name, &size))
        return {};
    zid::UniqueLocal owned(name);
    std::wstring organizations;
    for (DWORD i = 0; i < name->cRDN; ++i) {
        const CERT_RDN& rdn = name->rgRDN[i];
        for (DWORD j = 0; j < rdn.cRDNAttr; ++j) {
            const CERT_RDN_ATTR& attribute = rdn.rgRDNAttr[j];
            if (!attribute.pszObjId || std::strcmp(attribute.pszObjId, szOID_ORGANIZATION_NAME) != 0)
                continue;
            const auto* text = reinterpret_cast<const wchar_t*>(attribute.Value.pbData);
            if (!organizations.empty())
                organizations += L", ";
            organizations.append(text, wcsnlen(text, attribute.Value.cbData / sizeof(wchar_t)));
        }
    }
    return organizations;
}

}  // namespace zid
