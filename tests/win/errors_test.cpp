// Error texts, notice boxes and the nested busy cursor.
#include <gtest/gtest.h>

#include <windows.h>
#include <wininet.h>

#include "win/program.h"
#include "win/errors.h"
#include "support/message_boxes.h"

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

TEST(Notices, ContextColonDetailWithTheProgramCaption) {
    ScriptedMessageBoxes boxes;
    ReportError(L"OpenKey(1)", ERROR_ACCESS_DENIED);
    ShowMessage(L"", L"Unable to create a log file", MB_ICONWARNING);
    ShowMessage(L"C:\\x.txt", L"", MB_ICONWARNING);

    ASSERT_EQ(boxes.Boxes().size(), 3u);
    EXPECT_EQ(boxes.Boxes()[0].text, L"OpenKey(1): " + GetErrorText(ERROR_ACCESS_DENIED));
    EXPECT_EQ(boxes.Boxes()[0].caption, L"ZIDezureziv");
    EXPECT_EQ(boxes.Boxes()[0].style, static_cast<UINT>(MB_ICONERROR));
    EXPECT_EQ(boxes.Boxes()[1].text, L"Unable to create a log file");
    EXPECT_EQ(boxes.Boxes()[1].style, static_cast<UINT>(MB_ICONWARNING));
    EXPECT_EQ(boxes.Boxes()[2].text, L"C:\\x.txt: ");
}

TEST(Notices, ReportLastErrorReadsTheCodeFirst) {
    ScriptedMessageBoxes boxes;
    SetLastError(ERROR_PATH_NOT_FOUND);
    ReportLastError(L"WriteLine");
    ASSERT_EQ(boxes.Boxes().size(), 1u);
    EXPECT_EQ(boxes.Boxes()[0].text, L"WriteLine: " + GetErrorText(ERROR_PATH_NOT_FOUND));
}

TEST(Notices, OwnedByTheMainWindowOnceThereIsOne) {
    ScriptedMessageBoxes boxes;
    HWND window = CreateWindowW(L"STATIC", L"", 0, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
    SetMainWindow(window);
    ShowMessage(L"a", L"b", MB_ICONERROR);
    SetMainWindow(nullptr);
    ShowMessage(L"a", L"b", MB_ICONERROR);
    DestroyWindow(window);
    ASSERT_EQ(boxes.Boxes().size(), 2u);
    EXPECT_EQ(boxes.Boxes()[0].owner, window);
    EXPECT_EQ(boxes.Boxes()[1].owner, nullptr);
}

class WaitCursor : public ::testing::Test {
protected:
    void SetUp() override {
        m_arrow = LoadCursorW(nullptr, IDC_ARROW);
        m_cross = LoadCursorW(nullptr, IDC_CROSS);
        m_wait = LoadCursorW(nullptr, IDC_WAIT);
        ASSERT_EQ(GetWaitCursorDepth(), 0);
        SetCursor(m_arrow);
    }
    HCURSOR m_arrow = nullptr, m_cross = nullptr, m_wait = nullptr;
};

TEST_F(WaitCursor, NestedLevelsRestoreTheFirstCursorOnceAtTheEnd) {
    BeginWaitCursor();
    EXPECT_EQ(GetCursor(), m_wait);
    BeginWaitCursor();
    EndWaitCursor();
    EXPECT_EQ(GetCursor(), m_wait);
    EXPECT_EQ(GetWaitCursorDepth(), 1);
    EndWaitCursor();
    EXPECT_EQ(GetCursor(), m_arrow);
    EXPECT_EQ(GetWaitCursorDepth(), 0);
}

TEST_F(WaitCursor, EachOutermostLevelSavesTheCursorShowingThen) {
    BeginWaitCursor();
    EndWaitCursor();
    EXPECT_EQ(GetCursor(), m_arrow);
    SetCursor(m_cross);
    BeginWaitCursor();
    EndWaitCursor();
    EXPECT_EQ(GetCursor(), m_cross);
}

TEST_F(WaitCursor, EndWithoutBeginNeverGoesBelowZero) {
    EndWaitCursor();
    EndWaitCursor();
    EXPECT_EQ(GetWaitCursorDepth(), 0);
    BeginWaitCursor();
    EXPECT_EQ(GetWaitCursorDepth(), 1);
    EXPECT_EQ(GetCursor(), m_wait);
    {
        CWaitCursor scoped;
        EXPECT_EQ(GetWaitCursorDepth(), 2);
    }
    EndWaitCursor();
    EXPECT_EQ(GetWaitCursorDepth(), 0);
}
