// Platform facts, the program's own file, how targets are opened, the message pump and tool tips.
#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>

#include <cstring>
#include <stdexcept>
#include <thread>
#include <vector>

#include "resource.h"
#include "support/launch_recorder.h"
#include "support/message_boxes.h"
#include "support/test_util.h"
#include "win/callback_guard.h"
#include "win/com_ptr.h"
#include "win/handles.h"
#include "win/message_pump.h"
#include "win/module_info.h"
#include "win/platform.h"
#include "win/program.h"
#include "win/shell_open.h"
#include "win/tool_tips.h"

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

INT_PTR CALLBACK PlainDialogProc(HWND, UINT message, WPARAM, LPARAM) {
    return message == WM_INITDIALOG;
}

// A window whose procedure throws for WM_USER, inside the program's callback guard.
LRESULT CALLBACK ThrowingWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    return GuardCallback<LRESULT>(0, [&]() -> LRESULT {
        if (message == WM_USER)
            throw std::runtime_error("from a callback");
        return DefWindowProcW(window, message, wParam, lParam);
    });
}

class ShellOpenTest : public ProgramStateTest {
protected:
    void SetUp() override {
        ProgramStateTest::SetUp();
        Platform().Wine = true;
    }
    CLaunchRecorder m_recorder;
    ScriptedMessageBoxes m_boxes;
};

// A plain dialog standing in for the main window: the pump hands it keyboard and dialog messages.
class MessagePump : public ProgramStateTest {
protected:
    void SetUp() override {
        ProgramStateTest::SetUp();
        m_window = CreateDialogParamW(Platform().Instance, MAKEINTRESOURCEW(IDD_ABOUTBOX), nullptr, PlainDialogProc, 0);
        ASSERT_NE(m_window, nullptr);
        SetMainWindow(m_window);
        DrainMessages();
    }
    void TearDown() override { ResetProgramState(m_window); }
    HWND m_window = nullptr;
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

TEST(Platform, VistaOrLaterAndTheSmallIconList) {
    EXPECT_TRUE(IsVistaOrLater());
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

TEST(FileVersion, MajorAndMinorAlways) {
    const std::wstring folder = ScratchFolder(L"versions");
    EXPECT_EQ(GetFileVersionText(MakeVersionedFile(folder, L"a.exe", MAKELONG(11, 1), 0)), L"1.11");
}

TEST(FileVersion, BuildOnlyWhenTheLowHalfIsNotZero) {
    const std::wstring folder = ScratchFolder(L"versions");
    EXPECT_EQ(GetFileVersionText(MakeVersionedFile(folder, L"b.exe", MAKELONG(11, 1), MAKELONG(0, 3))), L"1.11.3");
    EXPECT_EQ(GetFileVersionText(MakeVersionedFile(folder, L"c.exe", MAKELONG(11, 1), MAKELONG(4, 0))), L"1.11.0.4");
    EXPECT_EQ(GetFileVersionText(MakeVersionedFile(folder, L"d.exe", MAKELONG(11, 1), MAKELONG(4, 3))), L"1.11.3.4");
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
    EXPECT_EQ(GetProductName(), L"ZIDezureziv");
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

// The system's own winebrowser by its full path, the address one quoted argument whatever it holds.
TEST_F(ShellOpenTest, HttpsAddressGoesToTheSystemsWinebrowserQuoted) {
    ShellOpen(L"https://127.0.0.1:9/a page\" --evil \"x");
    EXPECT_EQ(
        m_recorder.WaitForLaunches(1),
        std::vector<std::wstring>{CLaunchRecorder::WineBrowserLaunch(L"https://127.0.0.1:9/a page%22 --evil %22x")});
    EXPECT_TRUE(m_boxes.Boxes().empty());
}

TEST_F(ShellOpenTest, HttpAddressGoesToWinebrowser) {
    ShellOpen(L"http://127.0.0.1:9/");
    EXPECT_EQ(m_recorder.WaitForLaunches(1),
              std::vector<std::wstring>{CLaunchRecorder::WineBrowserLaunch(L"http://127.0.0.1:9/")});
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
    Platform().Wine = false;
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

TEST_F(MessagePump, CtrlBGoesToItsHandlerAndIsConsumed) {
    int toggles = 0;
    Pump().CtrlB = [&toggles] { ++toggles; };
    PostMessageW(m_window, WM_CHAR, 2, 0);
    PostMessageW(m_window, WM_CHAR, 2, 0);
    PumpMessages();
    EXPECT_EQ(toggles, 2);
}

TEST_F(MessagePump, QuitMessageSetsTheFlagAndTheExitCodeAndLeavesTheRestQueued) {
    PostQuitMessage(7);
    PumpMessages();
    EXPECT_TRUE(Pump().Quit);
    EXPECT_EQ(Pump().ExitCode, 7);
}

// An exception that a callback stored reaches the pump's caller whichever way the message went.
TEST_F(MessagePump, StoredExceptionsReachTheCallerOnEveryPath) {
    WNDCLASSW windowClass{};
    windowClass.lpfnWndProc = ThrowingWindowProc;
    windowClass.hInstance = Platform().Instance;
    windowClass.lpszClassName = L"ZidThrowingWindow";
    RegisterClassW(&windowClass);
    zid::UniqueWindow window(
        CreateWindowW(L"ZidThrowingWindow", L"", 0, 0, 0, 1, 1, nullptr, nullptr, Platform().Instance, nullptr));
    ASSERT_TRUE(window);

    // Dispatched message.
    PostMessageW(window.get(), WM_USER, 0, 0);
    EXPECT_THROW(PumpMessages(), std::runtime_error);
    // The quit message the guard posted, seen by a later pass: nothing left to rethrow.
    PumpMessages();
    EXPECT_TRUE(Pump().Quit);
    EXPECT_EQ(Pump().ExitCode, 1);

    // Stored while no message was being handled, and the next message is the quit message.
    StoreCallbackException(std::make_exception_ptr(std::runtime_error("stored")));
    EXPECT_THROW(PumpMessages(), std::runtime_error);
}

TEST_F(MessagePump, ToolTipsTakeTheChildUnderThePointerIncludingDisabledOnes) {
    HWND button = GetDlgItem(m_window, IDOK);
    ASSERT_NE(button, nullptr);
    EnableWindow(button, FALSE);
    SetToolTipPage(m_window);
    const size_t before = RegisteredToolTipCount();
    HWND tip = CreateWindowExW(0, TOOLTIPS_CLASSW, nullptr, WS_POPUP | TTS_ALWAYSTIP, 0, 0, 0, 0, m_window, nullptr,
                               Platform().Instance, nullptr);
    ASSERT_NE(tip, nullptr);
    RegisterToolTip(tip);
    RegisterToolTip(tip);  // a second registration changes nothing
    EXPECT_EQ(RegisteredToolTipCount(), before + 1);
    RECT rect{};
    GetWindowRect(button, &rect);
    POINT centre{(rect.left + rect.right) / 2, (rect.top + rect.bottom) / 2};
    EXPECT_EQ(reinterpret_cast<HWND>(SendMessageW(tip, TTM_WINDOWFROMPOINT, 0, reinterpret_cast<LPARAM>(&centre))),
              button);
    // Everything else still reaches the tool tip's own procedure.
    EXPECT_GT(SendMessageW(tip, TTM_GETDELAYTIME, TTDT_AUTOPOP, 0), 0);
    DestroyWindow(tip);
    EXPECT_EQ(RegisteredToolTipCount(), before);
    SetToolTipPage(nullptr);
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
