// Error texts and the nested busy cursor.
#include <gtest/gtest.h>

#include <windows.h>
#include <wininet.h>

#include "win/errors.h"

namespace zid {

TEST(ErrorText, SystemCodeKeepsItsLineBreak) {
    std::wstring text = GetErrorText(ERROR_FILE_NOT_FOUND);
    ASSERT_GE(text.size(), 3u);
    EXPECT_NE(text.find(L"ile not found"), std::wstring::npos);
    EXPECT_EQ(text.substr(text.size() - 2), L"\r\n");
}

TEST(ErrorText, WinInetCodeUsesWinInetsOwnText) {
    std::wstring text = GetErrorText(ERROR_INTERNET_NAME_NOT_RESOLVED);
    EXPECT_FALSE(text.empty());
    EXPECT_EQ(text.find(L"Error number"), std::wstring::npos);
}

// What a user can tell support: which certificate check failed, not a number.
TEST(ErrorText, CertificateProblemsInPlainWords) {
    EXPECT_EQ(GetErrorText(ERROR_INTERNET_INVALID_CA),
              L"The website's certificate was not issued by a certificate authority that this PC trusts.");
    EXPECT_EQ(GetErrorText(ERROR_INTERNET_SEC_CERT_REV_FAILED),
              L"Whether the website's certificate has been revoked could not be checked.");
    for (DWORD code : {ERROR_INTERNET_SEC_CERT_DATE_INVALID, ERROR_INTERNET_SEC_CERT_CN_INVALID,
                       ERROR_INTERNET_HTTPS_TO_HTTP_ON_REDIR, ERROR_INTERNET_SEC_INVALID_CERT,
                       ERROR_INTERNET_SEC_CERT_REVOKED, ERROR_INTERNET_SECURITY_CHANNEL_ERROR})
        EXPECT_EQ(GetErrorText(code).find(L"Error number"), std::wstring::npos) << code;
}

TEST(ErrorText, UnknownCodesFallBackToNumbers) {
    EXPECT_EQ(GetErrorText(65535), L"Error number 65535");
    EXPECT_EQ(GetErrorText(65536), L"Error number 0x00010000");
    EXPECT_EQ(GetErrorText(0xDEADBEEF), L"Error number 0xDEADBEEF");
}

TEST(ErrorText, NeverLongerThan255Characters) {
    for (DWORD code : {1u, 2u, 5u, 87u, 12002u, 12029u, 0x80070005u})
        EXPECT_LE(GetErrorText(code).size(), 255u) << code;
}

}  // namespace zid
