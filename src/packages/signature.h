// Authenticode verification of a file, as one sentence for the user or the log.
#pragma once

#include <windows.h>
#include <wincrypt.h>

#include <string>

namespace zid {

// The trust provider's entry point; WinVerifyTrust unless a test puts another in its place.
using TrustFunction = LONG(WINAPI*)(HWND window, GUID* action, LPVOID data);

// Verifies path's signature (no UI, no revocation); text receives the outcome; true when verified.
bool VerifySignature(const std::wstring& path, std::wstring& text);

// The same check through trust: one verify call, then always one close call with the state it returned.
bool VerifySignature(const std::wstring& path, std::wstring& text, TrustFunction trust);

// The sentence for a WinVerifyTrust result; lastError is consulted for TRUST_E_NOSIGNATURE only.
std::wstring SignatureResultText(LONG result, DWORD lastError);

// A package's signature: whether it verified, the sentence that says so (SignatureResultText), and
// who signed it.
struct SignatureCheck {
    bool Verified = false;
    std::wstring Text;
    // The organisation (O=) of the leaf signing certificate, read from the verified trust state; empty
    // when the signature did not verify or the certificate names none. Several organisations are
    // joined with ", ", so that such a certificate never reads as one publisher.
    std::wstring Publisher;
};

// Verifies the signature of the file held open as file (path names it for the provider and the
// texts; the provider reads the file through the handle, so what is checked is what is held).
SignatureCheck CheckFileSignature(HANDLE file, const std::wstring& path);

// The organisations (O=) of a certificate's subject, joined with ", "; empty when it names none.
std::wstring CertificateOrganization(PCCERT_CONTEXT certificate);

}  // namespace zid
