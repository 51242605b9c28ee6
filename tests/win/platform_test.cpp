// Platform facts, the program's own file, how targets are opened and the message pump.
#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>
#include <shellapi.h>

#include <cstring>
#include <stdexcept>
#include <thread>
#include <vector>

#include "support/launch_recorder.h"
#include "support/test_util.h"
#include "win/callback_guard.h"
#include "win/com_ptr.h"
#include "win/handles.h"
#include "win/message_pump.h"
#include "win/module_info.h"
#include "win/platform.h"
#include "win/shell_open.h"

namespace zid {

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

// A window whose procedure throws for WM_USER, inside the program's callback guard.
LRESULT CALLBACK ThrowingWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    return GuardCallback<LRESULT>(0, [&]() -> LRESULT {
        if (message == WM_USER)
            throw std::runtime_error("from a callback");
        return DefWindowProcW(window, message, wParam, lParam);
    });
}

// The recorder in the place of the browser and the associations.
class ShellOpenTest : public ::testing::Test {
protected:
    CLaunchRecorder m_recorder;
};

}  // namespace

TEST(Platform, WineIsDetectedUnderWine) {
    EXPECT_TRUE(DetectWine());
}

TEST(Platform, SixtyFourBitFlagFollowsTheSystemsOwnAnswer) {
    SYSTEM_INFO native{};
    GetNativeSystemInfo(&native);
    const bool nativeIs64 = native.wProcessorArchitecture == PROCESSOR_ARCHITECTURE_AMD64;
    EXPECT_EQ(DetectWow64(), nativeIs64);
}

TEST(Platform, TheSmallIconList) {
    HIMAGELIST icons = FindSmallIconList();
    ASSERT_NE(icons, nullptr);
    int cx = 0;
    int cy = 0;
    ASSERT_TRUE(ImageList_GetIconSize(icons, &cx, &cy));
    EXPECT_EQ(cx, GetSystemMetrics(SM_CXSMICON));
}

TEST(Handles, ResetKeepsTheLastErrorOfTheFailedCall) {
    zid::UniqueHandle event(CreateEventW(nullptr, TRUE, FALSE, nullptr));
    ASSERT_TRUE(event);
    SetLastError(ERROR_FILE_NOT_FOUND);
    event.reset();
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
}

// Major and minor always; the build only when the low half is not zero, the revision when it is not.
TEST(FileVersion, AsManyPartsAsItHas) {
    const std::wstring folder = ScratchFolder(L"versions");
    const struct {
        DWORD Low;
        const wchar_t* Text;
    } cases[] = {
        {0, L"1.11"}, {MAKELONG(0, 3), L"1.11.3"}, {MAKELONG(4, 0), L"1.11.0.4"}, {MAKELONG(4, 3), L"1.11.3.4"}};
    int file = 0;
    for (const auto& c : cases) {
        const std::wstring name = std::to_wstring(++file) + L".exe";
        EXPECT_EQ(GetFileVersionText(MakeVersionedFile(folder, name, MAKELONG(11, 1), c.Low)), c.Text);
    }
}

TEST(FileVersion, MissingStringsLeaveTheTextsAlone) {
    const std::wstring folder = ScratchFolder(L"versions");
    std::wstring product = L"kept";
    std::wstring copyright = L"kept too";
    EXPECT_EQ(GetFileVersionText(MakeVersionedFile(folder, L"e.exe", MAKELONG(2, 7), 0), &product, &copyright), L"7.2");
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
    EXPECT_EQ(GetVersionText(), L"ZIDezureziv Version 1.11");
}

TEST(ModulePath, IsThisProgramsFile) {
    const std::wstring path = GetModulePath();
    ASSERT_GT(path.size(), 14u);
    EXPECT_EQ(path.substr(path.size() - 14), L"\\win_tests.exe");
    EXPECT_NE(GetFileAttributesW(path.c_str()), INVALID_FILE_ATTRIBUTES);
}

TEST(WebAddress, OnlyLowerCaseHttpAndHttpsPrefixes) {
    EXPECT_TRUE(IsWebAddress(L"http://x/"));
    EXPECT_TRUE(IsWebAddress(L"https://x/"));
    EXPECT_FALSE(IsWebAddress(L"HTTP://x/"));
    EXPECT_FALSE(IsWebAddress(L"http:/"));
    EXPECT_FALSE(IsWebAddress(L"C:\\http://"));
    EXPECT_FALSE(IsWebAddress(L""));
}

// Under Wine a web address goes to the system's own winebrowser by its full path, as one quoted
// argument whatever it holds; anything else goes to the shell's associations.
TEST_F(ShellOpenTest, WebAddressesGoToTheSystemsWinebrowserQuoted) {
    EXPECT_EQ(OpenWithShell(L"https://127.0.0.1:9/a page\" --evil \"x", true), 0);
    EXPECT_EQ(OpenWithShell(L"http://127.0.0.1:9/", true), 0);
    EXPECT_EQ(
        m_recorder.WaitForLaunches(2),
        (std::vector<std::wstring>{CLaunchRecorder::WineBrowserLaunch(L"http://127.0.0.1:9/"),
                                   CLaunchRecorder::WineBrowserLaunch(L"https://127.0.0.1:9/a page%22 --evil %22x")}));
}

TEST_F(ShellOpenTest, OtherTargetsGoToTheirAssociationOrGiveTheShellsCode) {
    const std::wstring file = m_recorder.Folder() + L"\\report.zidtest";
    const std::wstring orphan = m_recorder.Folder() + L"\\orphan.zidnone";
    CloseHandle(CreateFileW(file.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
    CloseHandle(CreateFileW(orphan.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
    EXPECT_EQ(OpenWithShell(L"HTTP://127.0.0.1:9/", true), 0);    // not a web address: the shell's
    EXPECT_EQ(OpenWithShell(L"https://127.0.0.1:9/", false), 0);  // outside Wine: no winebrowser
    EXPECT_EQ(OpenWithShell(file, true), 0);                      // a file never goes to winebrowser
    EXPECT_EQ(OpenWithShell(orphan, true), SE_ERR_NOASSOC);
    EXPECT_EQ(OpenWithShell(m_recorder.Folder() + L"\\missing.zidtest", true), SE_ERR_FNF);
    const std::vector<std::wstring> launches = m_recorder.WaitForLaunches(3);
    ASSERT_EQ(launches.size(), 3u);
    EXPECT_NE(launches[0].find(L"\" file \""), std::wstring::npos) << Narrow(launches[0]);
    EXPECT_NE(launches[0].find(L"report.zidtest\""), std::wstring::npos) << Narrow(launches[0]);
    EXPECT_NE(launches[1].find(L"\" url \"HTTP://127.0.0.1:9/"), std::wstring::npos) << Narrow(launches[1]);
    EXPECT_NE(launches[2].find(L"\" url \"https://127.0.0.1:9/"), std::wstring::npos) << Narrow(launches[2]);
}

TEST(MessagePump, QuitMessageSetsTheFlagAndTheExitCodeAndLeavesTheRestQueued) {
    CMessagePump pump;
    PostThreadMessageW(GetCurrentThreadId(), WM_QUIT, 7, 0);
    PostThreadMessageW(GetCurrentThreadId(), WM_USER, 0, 0);
    pump.PumpMessages();
    EXPECT_TRUE(pump.Quit());
    EXPECT_EQ(pump.ExitCode(), 7);
    MSG left{};
    EXPECT_TRUE(PeekMessageW(&left, nullptr, WM_USER, WM_USER, PM_REMOVE));
}

// An exception that a callback stored reaches the pump's caller whichever way the message went.
TEST(MessagePump, StoredExceptionsReachTheCallerOnEveryPath) {
    CMessagePump pump;
    WNDCLASSW windowClass{};
    windowClass.lpfnWndProc = ThrowingWindowProc;
    windowClass.hInstance = GetModuleHandleW(nullptr);
    windowClass.lpszClassName = L"ZidThrowingWindow";
    RegisterClassW(&windowClass);
    UniqueWindow window(
        CreateWindowW(L"ZidThrowingWindow", L"", 0, 0, 0, 1, 1, nullptr, nullptr, GetModuleHandleW(nullptr), nullptr));
    ASSERT_TRUE(window);

    // Dispatched message.
    PostMessageW(window.get(), WM_USER, 0, 0);
    EXPECT_THROW(pump.PumpMessages(), std::runtime_error);
    // The quit message the guard posted, seen by a later pass: nothing left to rethrow.
    pump.PumpMessages();
    EXPECT_TRUE(pump.Quit());
    EXPECT_EQ(pump.ExitCode(), 1);

    // Stored while no message was being handled, and the next message is the quit message.
    StoreCallbackException(std::make_exception_ptr(std::runtime_error("stored")));
    EXPECT_THROW(pump.PumpMessages(), std::runtime_error);
    DrainMessages();
}

// COM is shut down exactly when this scope started it, however the scope is left.
TEST(ComScope, ShutsDownOnlyWhatItStarted) {
    std::thread([] {
        { zid::CComScope com(COINIT_APARTMENTTHREADED); }
        // Shut down again: a new start is the first one (S_OK, not S_FALSE).
        EXPECT_EQ(CoInitializeEx(nullptr, COINIT_MULTITHREADED), S_OK);
        {
            // Another model cannot start on this thread; the failed scope must not end COM here.
            zid::CComScope other(COINIT_APARTMENTTHREADED);
        }
        EXPECT_EQ(CoInitializeEx(nullptr, COINIT_MULTITHREADED), S_FALSE);
        CoUninitialize();
        CoUninitialize();
    }).join();
}

}  // namespace zid
