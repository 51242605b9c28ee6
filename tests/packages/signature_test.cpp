#include <windows.h>
#include <softpub.h>
#include <wintrust.h>

#include <gtest/gtest.h>

#include <cstddef>
#include <string>
#include <vector>

#include "fixtures/fixture_files.h"
#include "packages/signature.h"

namespace zid {

// Every row of the result table, including those Wine's trust provider never answers.
TEST(SignatureResultText, VerifiedSignature) {
    EXPECT_EQ(L"The file is signed and the signature was verified.", SignatureResultText(0, 0));
}

TEST(SignatureResultText, NoSignatureDependsOnTheLastError) {
    const std::wstring notSigned = L"The file is not signed.";
    EXPECT_EQ(notSigned, SignatureResultText(TRUST_E_NOSIGNATURE, static_cast<DWORD>(TRUST_E_NOSIGNATURE)));
    EXPECT_EQ(notSigned, SignatureResultText(TRUST_E_NOSIGNATURE, static_cast<DWORD>(TRUST_E_SUBJECT_FORM_UNKNOWN)));
    EXPECT_EQ(notSigned, SignatureResultText(TRUST_E_NOSIGNATURE, static_cast<DWORD>(TRUST_E_PROVIDER_UNKNOWN)));

    const std::wstring unknown = L"An unknown error occurred trying to verify the signature of the file.";
    EXPECT_EQ(unknown, SignatureResultText(TRUST_E_NOSIGNATURE, 0));
    EXPECT_EQ(unknown, SignatureResultText(TRUST_E_NOSIGNATURE, ERROR_ACCESS_DENIED));
    EXPECT_EQ(unknown, SignatureResultText(TRUST_E_NOSIGNATURE, static_cast<DWORD>(TRUST_E_BAD_DIGEST)));
}

TEST(SignatureResultText, PresentButRefusedSignatures) {
    EXPECT_EQ(L"The signature is present, but specifically disallowed.",
              SignatureResultText(TRUST_E_EXPLICIT_DISTRUST, 0));
    EXPECT_EQ(L"The signature is present, but not trusted.", SignatureResultText(TRUST_E_SUBJECT_NOT_TRUSTED, 0));
    EXPECT_EQ(
        L"CRYPT_E_SECURITY_SETTINGS - The hash representing the subject or the publisher wasn't explicitly "
        L"trusted by the admin and admin policy has disabled user trust. No signature, publisher or "
        L"timestamp errors.",
        SignatureResultText(CRYPT_E_SECURITY_SETTINGS, 0));
    EXPECT_EQ(L"The digital signature did not verify.", SignatureResultText(TRUST_E_BAD_DIGEST, 0));
}

TEST(SignatureResultText, OtherCodesInLowerCaseHexadecimal) {
    EXPECT_EQ(L"Verify digital signature result code: 0x800b0109.", SignatureResultText(CERT_E_UNTRUSTEDROOT, 0));
    EXPECT_EQ(L"Verify digital signature result code: 0x800b010a.", SignatureResultText(CERT_E_CHAINING, 0));
    EXPECT_EQ(L"Verify digital signature result code: 0x2.", SignatureResultText(ERROR_FILE_NOT_FOUND, 0));
    // The last error matters for the no-signature code only.
    EXPECT_EQ(L"Verify digital signature result code: 0x800b0003.",
              SignatureResultText(TRUST_E_SUBJECT_FORM_UNKNOWN, static_cast<DWORD>(TRUST_E_NOSIGNATURE)));
}

namespace {

// A stand-in trust provider: records each call and answers as scripted.
struct FakeCall {
    HWND window;
    GUID action;
    DWORD stateAction;
    HANDLE state;
    DWORD size;
    DWORD uiChoice;
    DWORD revocation;
    DWORD unionChoice;
    DWORD fileSize;
    std::wstring path;
    HANDLE file;
    GUID* knownSubject;
    void* policyData;
    void* sipData;
    WCHAR* url;
    DWORD providerFlags;
    DWORD uiContext;
};

std::vector<FakeCall> g_calls;
LONG g_verifyResult = 0;
DWORD g_verifyLastError = 0;
const HANDLE kFakeState = reinterpret_cast<HANDLE>(static_cast<INT_PTR>(0x5a7e));

LONG WINAPI FakeTrust(HWND window, GUID* action, LPVOID data) {
    auto* trust = static_cast<WINTRUST_DATA*>(data);
    g_calls.push_back({window, *action, trust->dwStateAction, trust->hWVTStateData, trust->cbStruct, trust->dwUIChoice,
                       trust->fdwRevocationChecks, trust->dwUnionChoice, trust->pFile->cbStruct,
                       trust->pFile->pcwszFilePath, trust->pFile->hFile, trust->pFile->pgKnownSubject,
                       trust->pPolicyCallbackData, trust->pSIPClientData, trust->pwszURLReference, trust->dwProvFlags,
                       trust->dwUIContext});
    if (trust->dwStateAction == WTD_STATEACTION_VERIFY) {
        trust->hWVTStateData = kFakeState;
        SetLastError(g_verifyLastError);
        return g_verifyResult;
    }
    SetLastError(0);  // a close call must not decide the verify call's sentence
    return ERROR_SUCCESS;
}

class VerifySignatureCalls : public ::testing::Test {
protected:
    void SetUp() override {
        g_calls.clear();
        g_verifyResult = 0;
        g_verifyLastError = 0;
    }
};

}  // namespace

TEST_F(VerifySignatureCalls, VerifyRecordsAskForNoUiAndNoRevocation) {
    std::wstring text;
    VerifySignature(L"C:\\packages\\velonar.msi", text, &FakeTrust);
    ASSERT_EQ(2u, g_calls.size());
    const FakeCall& verify = g_calls[0];
    GUID genericVerify = WINTRUST_ACTION_GENERIC_VERIFY_V2;
    EXPECT_EQ(nullptr, verify.window);
    EXPECT_TRUE(IsEqualGUID(genericVerify, verify.action));
    EXPECT_EQ(static_cast<DWORD>(WTD_STATEACTION_VERIFY), verify.stateAction);
    EXPECT_EQ(nullptr, verify.state);
    EXPECT_EQ(offsetof(WINTRUST_DATA, dwUIContext) + sizeof(DWORD), verify.size);
    if (sizeof(void*) == 4) {
        EXPECT_EQ(48u, verify.size);
    }
    EXPECT_EQ(static_cast<DWORD>(WTD_UI_NONE), verify.uiChoice);
    EXPECT_EQ(static_cast<DWORD>(WTD_REVOKE_NONE), verify.revocation);
    EXPECT_EQ(static_cast<DWORD>(WTD_CHOICE_FILE), verify.unionChoice);
    EXPECT_EQ(sizeof(WINTRUST_FILE_INFO), verify.fileSize);
    EXPECT_EQ(L"C:\\packages\\velonar.msi", verify.path);
    EXPECT_EQ(nullptr, verify.file);
    EXPECT_EQ(nullptr, verify.knownSubject);
    EXPECT_EQ(nullptr, verify.policyData);
    EXPECT_EQ(nullptr, verify.sipData);
    EXPECT_EQ(nullptr, verify.url);
    EXPECT_EQ(0u, verify.providerFlags);
    EXPECT_EQ(0u, verify.uiContext);
}

TEST_F(VerifySignatureCalls, CloseCallFollowsEveryVerifyCallWithItsState) {
    for (LONG result : {LONG{0}, TRUST_E_NOSIGNATURE, TRUST_E_BAD_DIGEST, CERT_E_UNTRUSTEDROOT, LONG{E_FAIL}}) {
        SCOPED_TRACE(result);
        g_calls.clear();
        g_verifyResult = result;
        std::wstring text;
        VerifySignature(L"C:\\file.exe", text, &FakeTrust);
        ASSERT_EQ(2u, g_calls.size());
        EXPECT_EQ(static_cast<DWORD>(WTD_STATEACTION_VERIFY), g_calls[0].stateAction);
        EXPECT_EQ(static_cast<DWORD>(WTD_STATEACTION_CLOSE), g_calls[1].stateAction);
        EXPECT_EQ(kFakeState, g_calls[1].state);
        EXPECT_TRUE(IsEqualGUID(g_calls[0].action, g_calls[1].action));
        EXPECT_EQ(L"C:\\file.exe", g_calls[1].path);
    }
}

TEST_F(VerifySignatureCalls, ResultTrueOnlyForAVerifiedSignature) {
    std::wstring text = L"left over from an earlier file";
    EXPECT_TRUE(VerifySignature(L"C:\\file.exe", text, &FakeTrust));
    EXPECT_EQ(L"The file is signed and the signature was verified.", text);

    for (LONG result : {TRUST_E_NOSIGNATURE, TRUST_E_EXPLICIT_DISTRUST, TRUST_E_SUBJECT_NOT_TRUSTED,
                        CRYPT_E_SECURITY_SETTINGS, TRUST_E_BAD_DIGEST, CERT_E_UNTRUSTEDROOT, LONG{1}}) {
        SCOPED_TRACE(result);
        g_verifyResult = result;
        EXPECT_FALSE(VerifySignature(L"C:\\file.exe", text, &FakeTrust));
        EXPECT_EQ(SignatureResultText(result, 0), text);
    }
}

TEST_F(VerifySignatureCalls, LastErrorIsTheVerifyCallsNotTheCloseCalls) {
    g_verifyResult = TRUST_E_NOSIGNATURE;
    g_verifyLastError = static_cast<DWORD>(TRUST_E_SUBJECT_FORM_UNKNOWN);
    std::wstring text;
    EXPECT_FALSE(VerifySignature(L"C:\\file.exe", text, &FakeTrust));
    EXPECT_EQ(L"The file is not signed.", text);

    g_verifyLastError = 0;
    EXPECT_FALSE(VerifySignature(L"C:\\file.exe", text, &FakeTrust));
    EXPECT_EQ(L"An unknown error occurred trying to verify the signature of the file.", text);
}

// Wine's provider verifies the PE and MSI signatures of the test certificate (it does not ask for a
// trusted root) and checks the digest of PE files only.
TEST(VerifySignatureOnFiles, SignedFilesVerify) {
    for (const wchar_t* name : {L"sample-signed.exe", L"sample-nopublisher.exe", L"sample-timestamped.exe",
                                L"velonar32-5.45.3-signed.msi", L"velonar32-5.45.3-timestamped.msi"}) {
        SCOPED_TRACE(std::string(name, name + wcslen(name)));
        std::wstring text;
        EXPECT_TRUE(VerifySignature(fixtures::Path(name), text));
        EXPECT_EQ(L"The file is signed and the signature was verified.", text);
    }
}

TEST(VerifySignatureOnFiles, UnsignedFilesAreNotSigned) {
    for (const wchar_t* name : {L"sample.exe", L"velonar32-5.45.3.msi"}) {
        SCOPED_TRACE(std::string(name, name + wcslen(name)));
        std::wstring text;
        EXPECT_FALSE(VerifySignature(fixtures::Path(name), text));
        EXPECT_EQ(L"The file is not signed.", text);
    }
}

TEST(VerifySignatureOnFiles, AlteredSignedBytesDoNotVerify) {
    std::wstring text;
    EXPECT_FALSE(VerifySignature(fixtures::Path(L"sample-tampered.exe"), text));
    EXPECT_EQ(L"The digital signature did not verify.", text);
}

TEST(VerifySignatureOnFiles, UnknownFormatAndMissingFileGiveTheirCodes) {
    std::wstring text;
    EXPECT_FALSE(VerifySignature(fixtures::Path(L"not-an-msi.msi"), text));
    EXPECT_EQ(L"Verify digital signature result code: 0x800b0003.", text);
    EXPECT_FALSE(VerifySignature(fixtures::Path(L"no-such-file.exe"), text));
    EXPECT_EQ(L"Verify digital signature result code: 0x2.", text);
}

// Who signed a package is read from the verified trust state, through the file held open.
TEST(CheckFileSignature, NamesTheSigningOrganisationOfAVerifiedFile) {
    const struct {
        const wchar_t* File;
        bool Verified;
        const wchar_t* Publisher;
    } cases[] = {
        {L"velonar64-5.46-signed.msi", true, L"Corrabel"},
        {L"velonar64-5.46-foreign.msi", true, L"Mallory"},
        {L"sample-two-organisations.exe", true, L"Mallory, Corrabel"},
        {L"velonar64-5.46.msi", false, L""},
        {L"sample-tampered.exe", false, L""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.File, c.File + wcslen(c.File)));
        const std::wstring path = fixtures::Path(c.File);
        HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
        ASSERT_NE(file, INVALID_HANDLE_VALUE);
        const SignatureCheck check = CheckFileSignature(file, path);
        CloseHandle(file);
        EXPECT_EQ(check.Verified, c.Verified);
        EXPECT_EQ(check.Publisher, c.Publisher);
        std::wstring text;
        VerifySignature(path, text);
        EXPECT_EQ(check.Text, text);
    }
}

}  // namespace zid
