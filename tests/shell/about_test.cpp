// The About box, the version line, the website address and how targets are opened.
#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>

#include <cstring>
#include <vector>

#include "launch_recorder.h"
#include "resource.h"
#include "shell/about.h"
#include "shell/app.h"
#include "support/message_boxes.h"
#include "support/test_util.h"

namespace {

// A copy of the recorder (which has no version resource) given a fixed file version.
std::wstring MakeVersionedFile(const std::wstring& folder, const std::wstring& name, DWORD ms, DWORD ls) {
    const std::wstring path = folder + L"\\" + name;
    CopyFileW(CLaunchRecorder::RecorderPath().c_str(), path.c_str(), FALSE);
#pragma pack(push, 2)
    struct VersionBlock {
        WORD length;
        WORD valueLength;
        WORD type;
        wchar_t key[16];
        WORD padding;
        VS_FIXEDFILEINFO fixed;
    } block{};
#pragma pack(pop)
    block.length = sizeof(block);
    block.valueLength = sizeof(VS_FIXEDFILEINFO);
    std::memcpy(block.key, L"VS_VERSION_INFO", sizeof(block.key));
    block.fixed.dwSignature = VS_FFI_SIGNATURE;
    block.fixed.dwStrucVersion = VS_FFI_STRUCVERSION;
    block.fixed.dwFileVersionMS = ms;
    block.fixed.dwFileVersionLS = ls;
    block.fixed.dwFileOS = VOS_NT_WINDOWS32;
    block.fixed.dwFileType = VFT_APP;
    HANDLE update = BeginUpdateResourceW(path.c_str(), FALSE);
    if (!update)
        return path;
    UpdateResourceW(update, RT_VERSION, MAKEINTRESOURCEW(1), MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US), &block,
                    sizeof(block));
    EndUpdateResourceW(update, FALSE);
    return path;
}

class EnvironmentValue {
public:
    EnvironmentValue(const wchar_t* name, const wchar_t* value) : m_name(name) {
        SetEnvironmentVariableW(name, value);
    }
    ~EnvironmentValue() { SetEnvironmentVariableW(m_name, nullptr); }

private:
    const wchar_t* m_name;
};

class AboutBox : public ::testing::Test {
protected:
    void SetUp() override {
        theApp.m_instance = GetModuleHandleW(nullptr);
        theApp.m_versionText.clear();
        theApp.m_productName.clear();
        theApp.m_copyright.clear();
    }
    void TearDown() override {
        if (m_dialog)
            DestroyWindow(m_dialog);
        theApp.m_versionText.clear();
    }
    HWND Create() {
        m_dialog = CreateDialogParamW(theApp.m_instance, MAKEINTRESOURCEW(IDD_ABOUTBOX), nullptr, AboutProc, 0);
        return m_dialog;
    }
    HWND m_dialog = nullptr;
};

class ShellOpenTest : public ::testing::Test {
protected:
    void SetUp() override { theApp.m_wine = true; }
    void TearDown() override { theApp.m_wine = true; }
    CLaunchRecorder m_recorder;
    ScriptedMessageBoxes m_boxes;
};

}  // namespace

TEST(FileVersion, MajorAndMinorAlways) {
    const std::wstring folder = ScratchFolder(L"versions");
    EXPECT_EQ(GetFileVersionText(MakeVersionedFile(folder, L"a.exe", MAKELONG(11, 1), 0)), L"1.11");
}

TEST(FileVersion, BuildOnlyWhenTheLowHalfIsNotZero) {
    const std::wstring folder = ScratchFolder(L"versions");
    EXPECT_EQ(GetFileVersionText(MakeVersionedFile(folder, L"b.exe", MAKELONG(11, 1), MAKELONG(0, 3))), L"1.11.3");
    EXPECT_EQ(GetFileVersionText(MakeVersionedFile(folder, L"c.exe", MAKELONG(11, 1), MAKELONG(4, 0))),
              L"1.11.0.4");
    EXPECT_EQ(GetFileVersionText(MakeVersionedFile(folder, L"d.exe", MAKELONG(11, 1), MAKELONG(4, 3))),
              L"1.11.3.4");
}

TEST(FileVersion, MissingStringsLeaveTheTextsAlone) {
    const std::wstring folder = ScratchFolder(L"versions");
    std::wstring product = L"kept";
    std::wstring copyright = L"kept too";
    EXPECT_EQ(GetFileVersionText(MakeVersionedFile(folder, L"e.exe", MAKELONG(2, 7), 0), &product, &copyright),
              L"7.2");
    EXPECT_EQ(product, L"kept");
    EXPECT_EQ(copyright, L"kept too");
}

TEST(FileVersion, NoResourceGivesEmptyText) {
    std::wstring product = L"kept";
    EXPECT_EQ(GetFileVersionText(CLaunchRecorder::RecorderPath(), &product), L"");
    EXPECT_EQ(GetFileVersionText(L"Z:\\no\\such\\file.exe", &product), L"");
    EXPECT_EQ(product, L"kept");
}

TEST(FileVersion, OwnResourceGivesNameAndCopyright) {
    std::wstring product;
    std::wstring copyright;
    EXPECT_EQ(GetFileVersionText(GetModulePath(), &product, &copyright), L"1.11");
    EXPECT_EQ(product, L"ZIDezureziv");
    EXPECT_EQ(copyright, L"Copyright (C) 2026 Fennickworks");
}

TEST(ModulePath, IsThisProgramsFile) {
    const std::wstring path = GetModulePath();
    ASSERT_GT(path.size(), 16u);
    EXPECT_EQ(path.substr(path.size() - 16), L"\\shell_tests.exe");
    EXPECT_NE(GetFileAttributesW(path.c_str()), INVALID_FILE_ATTRIBUTES);
}

TEST(WebsiteBase, PlainHttpOfOurHostByDefault) {
    SetEnvironmentVariableW(L"ZIDEZUREZIV_WEBSITE", nullptr);
    const std::wstring base = GetWebsiteBase();
    EXPECT_EQ(base.substr(0, 7), L"http://");
    EXPECT_GT(base.size(), 8u);
    EXPECT_EQ(base.back(), L'/');
}

TEST(WebsiteBase, StagingSwitchReplacesTheWholeAddress) {
    EnvironmentValue staging(L"ZIDEZUREZIV_WEBSITE", L"https://127.0.0.1:8443/staging/");
    EXPECT_EQ(GetWebsiteBase(), L"https://127.0.0.1:8443/staging/");
}

TEST(WebsiteBase, StagingSwitchIgnoresAnythingElse) {
    SetEnvironmentVariableW(L"ZIDEZUREZIV_WEBSITE", nullptr);
    const std::wstring standard = GetWebsiteBase();
    for (const wchar_t* value : {L"http://127.0.0.1/no-slash", L"ftp://127.0.0.1/", L"HTTP://127.0.0.1/", L"/"}) {
        EnvironmentValue staging(L"ZIDEZUREZIV_WEBSITE", value);
        EXPECT_EQ(GetWebsiteBase(), standard) << Narrow(value);
    }
}

TEST_F(AboutBox, ShowsCaptionVersionLineAndCopyright) {
    HWND dialog = Create();
    ASSERT_NE(dialog, nullptr);
    EXPECT_EQ(WindowText(dialog), L"About ZIDezureziv");
    EXPECT_EQ(WindowText(GetDlgItem(dialog, IDC_VERSION)), L"ZIDezureziv Version 1.11");
    EXPECT_EQ(WindowText(GetDlgItem(dialog, IDC_COPYRIGHT)), L"Copyright (C) 2026 Fennickworks");
}

TEST_F(AboutBox, VersionResourceIsReadOnce) {
    EXPECT_EQ(GetVersionText(), L"ZIDezureziv Version 1.11");
    // A second reading would restore these.
    theApp.m_productName = L"Product";
    theApp.m_versionText = L"9.9";
    theApp.m_copyright = L"Marker";
    HWND dialog = Create();
    ASSERT_NE(dialog, nullptr);
    EXPECT_EQ(WindowText(dialog), L"About Product");
    EXPECT_EQ(WindowText(GetDlgItem(dialog, IDC_VERSION)), L"Product Version 9.9");
    EXPECT_EQ(WindowText(GetDlgItem(dialog, IDC_COPYRIGHT)), L"Marker");
}

TEST_F(AboutBox, LinkOpensTheWebsiteThroughTheBrowser) {
    theApp.m_wine = true;
    EnvironmentValue staging(L"ZIDEZUREZIV_WEBSITE", L"http://127.0.0.1:9/zid/");
    CLaunchRecorder recorder;
    HWND dialog = Create();
    ASSERT_NE(dialog, nullptr);
    for (UINT code : {static_cast<UINT>(NM_CLICK), static_cast<UINT>(NM_RETURN)}) {
        NMHDR header{GetDlgItem(dialog, IDC_WEBSITE_LINK), IDC_WEBSITE_LINK, code};
        SendMessageW(dialog, WM_NOTIFY, IDC_WEBSITE_LINK, reinterpret_cast<LPARAM>(&header));
    }
    // Other notifications of the link open nothing.
    NMHDR other{GetDlgItem(dialog, IDC_WEBSITE_LINK), IDC_WEBSITE_LINK, static_cast<UINT>(NM_SETFOCUS)};
    SendMessageW(dialog, WM_NOTIFY, IDC_WEBSITE_LINK, reinterpret_cast<LPARAM>(&other));
    EXPECT_EQ(recorder.WaitForLaunches(2),
              (std::vector<std::wstring>{L"winebrowser http://127.0.0.1:9/zid/", L"winebrowser http://127.0.0.1:9/zid/"}));
}

TEST(WebAddress, OnlyLowerCaseHttpAndHttpsPrefixes) {
    EXPECT_TRUE(IsWebAddress(L"http://x/"));
    EXPECT_TRUE(IsWebAddress(L"https://x/"));
    EXPECT_FALSE(IsWebAddress(L"HTTP://x/"));
    EXPECT_FALSE(IsWebAddress(L"http:/"));
    EXPECT_FALSE(IsWebAddress(L"C:\\http://"));
    EXPECT_FALSE(IsWebAddress(L""));
}

TEST_F(ShellOpenTest, HttpsAddressGoesToWinebrowserUnquoted) {
    ShellOpen(L"https://127.0.0.1:9/a page");
    EXPECT_EQ(m_recorder.WaitForLaunches(1), std::vector<std::wstring>{L"winebrowser https://127.0.0.1:9/a page"});
    EXPECT_TRUE(m_boxes.Boxes().empty());
}

TEST_F(ShellOpenTest, HttpAddressGoesToWinebrowser) {
    ShellOpen(L"http://127.0.0.1:9/");
    EXPECT_EQ(m_recorder.WaitForLaunches(1), std::vector<std::wstring>{L"winebrowser http://127.0.0.1:9/"});
}

TEST_F(ShellOpenTest, UpperCaseHttpGoesStraightToTheShell) {
    ShellOpen(L"HTTP://127.0.0.1:9/");
    const std::vector<std::wstring> launches = m_recorder.WaitForLaunches(1);
    ASSERT_EQ(launches.size(), 1u);
    EXPECT_NE(launches[0].find(L"\" url \"HTTP://127.0.0.1:9/"), std::wstring::npos) << Narrow(launches[0]);
    EXPECT_TRUE(m_boxes.Boxes().empty());
}

TEST_F(ShellOpenTest, FilePathNeverGoesToWinebrowser) {
    const std::wstring path = m_recorder.Folder() + L"\\report.zidtest";
    CloseHandle(CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
    ShellOpen(path);
    const std::vector<std::wstring> launches = m_recorder.WaitForLaunches(1);
    ASSERT_EQ(launches.size(), 1u);
    EXPECT_NE(launches[0].find(L"\" file \""), std::wstring::npos) << Narrow(launches[0]);
    EXPECT_NE(launches[0].find(L"report.zidtest\""), std::wstring::npos) << Narrow(launches[0]);
    EXPECT_TRUE(m_boxes.Boxes().empty());
}

TEST_F(ShellOpenTest, OutsideWineWebAddressesSkipTheWinebrowserSearch) {
    theApp.m_wine = false;
    ShellOpen(L"https://127.0.0.1:9/");
    const std::vector<std::wstring> launches = m_recorder.WaitForLaunches(1);
    ASSERT_EQ(launches.size(), 1u);
    EXPECT_NE(launches[0].find(L"\" url \"https://127.0.0.1:9/"), std::wstring::npos) << Narrow(launches[0]);
}

TEST_F(ShellOpenTest, FileWithoutAssociationShowsTheErrorCodeAsWarning) {
    const std::wstring path = m_recorder.Folder() + L"\\orphan.zidnone";
    CloseHandle(CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
    ShellOpen(path);
    ASSERT_EQ(m_boxes.Boxes().size(), 1u);
    EXPECT_EQ(m_boxes.Boxes()[0].text, path + L": Error code = 31");
    EXPECT_EQ(m_boxes.Boxes()[0].caption, L"ZIDezureziv");
    EXPECT_EQ(m_boxes.Boxes()[0].style, static_cast<UINT>(MB_ICONWARNING));
    EXPECT_TRUE(m_recorder.WaitForLaunches(0).empty());
}

TEST_F(ShellOpenTest, MissingFileShowsErrorCodeTwo) {
    const std::wstring path = m_recorder.Folder() + L"\\missing.zidtest";
    ShellOpen(path);
    ASSERT_EQ(m_boxes.Boxes().size(), 1u);
    EXPECT_EQ(m_boxes.Boxes()[0].text, path + L": Error code = 2");
}
