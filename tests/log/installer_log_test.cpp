// The log pane lines and the per-operation log file: names, collisions, the give-up case, encoding.
#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>

#include <iterator>
#include <regex>
#include <set>
#include <vector>

#include "log/installer_log.h"
#include "resource.h"
#include "win/program.h"
#include "win/errors.h"
#include "win/handles.h"
#include "support/message_boxes.h"
#include "support/test_util.h"

namespace {

INT_PTR CALLBACK PlainDialogProc(HWND, UINT message, WPARAM, LPARAM) {
    return message == WM_INITDIALOG;
}

// The main window's template (log pane 1000, check box 1007) with a procedure that does nothing else.
class MainWindowFixture : public ::testing::Test {
protected:
    void SetUp() override {
        INITCOMMONCONTROLSEX controls{sizeof(controls), ICC_WIN95_CLASSES | ICC_TAB_CLASSES};
        InitCommonControlsEx(&controls);
        m_window =
            CreateDialogParamW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDD_MAIN), nullptr, PlainDialogProc, 0);
        ASSERT_NE(m_window, nullptr);
        SetMainWindow(m_window);
        ClearLogPane();
    }
    void TearDown() override {
        SetMainWindow(nullptr);
        ClearLogPane();
        if (m_window)
            DestroyWindow(m_window);
    }
    HWND Pane() const { return GetDlgItem(m_window, IDC_LOG); }
    void SetLogging(bool on) { CheckDlgButton(m_window, IDC_SHOW_LOGS, on ? BST_CHECKED : BST_UNCHECKED); }

    HWND m_window = nullptr;
};

const std::wregex kTimePrefix(L"\\d\\d:\\d\\d:\\d\\d ");

size_t CountPrefixes(const std::wstring& text) {
    return static_cast<size_t>(
        std::distance(std::wsregex_iterator(text.begin(), text.end(), kTimePrefix), std::wsregex_iterator()));
}

bool FileExists(const std::wstring& path) {
    return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

long long FileSize(const std::wstring& path) {
    WIN32_FILE_ATTRIBUTE_DATA data{};
    if (!GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data))
        return -1;
    return static_cast<long long>(data.nFileSizeHigh) << 32 | data.nFileSizeLow;
}

void Touch(const std::wstring& path) {
    zid::UniqueFile file(CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0, nullptr));
    ASSERT_TRUE(file) << Narrow(path);
}

std::wstring TempFolder() {
    wchar_t folder[MAX_PATH + 1];
    DWORD length = GetTempPathW(MAX_PATH + 1, folder);
    return std::wstring(folder, length);
}

std::set<std::wstring> LogFilesIn(const std::wstring& folder) {
    std::set<std::wstring> names;
    WIN32_FIND_DATAW data{};
    HANDLE find = FindFirstFileW((folder + L"VNI-*").c_str(), &data);
    if (find == INVALID_HANDLE_VALUE)
        return names;
    do
        names.insert(data.cFileName);
    while (FindNextFileW(find, &data));
    FindClose(find);
    return names;
}

// 14 March 2024, 09:05:07: the name VNI-240314-090507.
std::tm SampleTime() {
    std::tm time{};
    time.tm_year = 124;
    time.tm_mon = 2;
    time.tm_mday = 14;
    time.tm_hour = 9;
    time.tm_min = 5;
    time.tm_sec = 7;
    return time;
}

}  // namespace

// --- The log pane ---

using LogPane = MainWindowFixture;

TEST_F(LogPane, LineIsTimePrefixTextAndOneLineBreak) {
    AddLogLine(L"Install started");
    EXPECT_TRUE(std::regex_match(LogPaneText(), std::wregex(L"\\d\\d:\\d\\d:\\d\\d Install started\r\n")))
        << Narrow(LogPaneText());
    EXPECT_EQ(WindowText(Pane()), LogPaneText());
}

TEST_F(LogPane, TextEndingInCrLfGetsNoSecondBreak) {
    AddLogLine((L"Uninstall: " + GetErrorText(ERROR_ACCESS_DENIED)).c_str());
    AddLogLine(L"done\r\n");
    const std::wstring& text = LogPaneText();
    EXPECT_EQ(text.find(L"\r\n\r\n"), std::wstring::npos) << Narrow(text);
    EXPECT_TRUE(text.ends_with(L" done\r\n"));
    EXPECT_EQ(CountPrefixes(text), 2u);
}

TEST_F(LogPane, AbsentTextLeavesThePrefixAsALine) {
    AddLogLine(nullptr);
    AddLogLine(L"");
    EXPECT_TRUE(std::regex_match(LogPaneText(), std::wregex(L"\\d\\d:\\d\\d:\\d\\d \r\n\\d\\d:\\d\\d:\\d\\d \r\n")))
        << Narrow(LogPaneText());
}

TEST_F(LogPane, TextWithBreaksInsideHasOnePrefix) {
    AddLogLine(L"first\r\nsecond");
    EXPECT_EQ(CountPrefixes(LogPaneText()), 1u);
    EXPECT_TRUE(LogPaneText().ends_with(L" first\r\nsecond\r\n"));
}

TEST_F(LogPane, LinesAccumulateUntilCleared) {
    AddLogLine(L"one");
    AddLogLine(L"two");
    EXPECT_EQ(CountPrefixes(WindowText(Pane())), 2u);
    ClearLogPane();
    EXPECT_TRUE(LogPaneText().empty());
    EXPECT_EQ(WindowText(Pane()), L"");
    AddLogLine(L"three");
    EXPECT_EQ(CountPrefixes(LogPaneText()), 1u);
}

TEST_F(LogPane, ScrollsSoTheLastLineIsAtTheBottom) {
    for (int i = 0; i < 40; ++i)
        AddLogLine((L"line " + std::to_wstring(i)).c_str());
    HWND pane = Pane();
    const int lines = static_cast<int>(SendMessageW(pane, EM_GETLINECOUNT, 0, 0));
    const int first = static_cast<int>(SendMessageW(pane, EM_GETFIRSTVISIBLELINE, 0, 0));
    RECT format{};
    SendMessageW(pane, EM_GETRECT, 0, reinterpret_cast<LPARAM>(&format));
    HDC dc = GetDC(pane);
    HGDIOBJ previous = SelectObject(dc, reinterpret_cast<HFONT>(SendMessageW(pane, WM_GETFONT, 0, 0)));
    TEXTMETRICW metrics{};
    GetTextMetricsW(dc, &metrics);
    SelectObject(dc, previous);
    ReleaseDC(pane, dc);
    const int visible = (format.bottom - format.top) / metrics.tmHeight;
    ASSERT_GT(lines, visible + 1);
    // The text ends with CR LF, so the control's last line is empty: "line 39" is the one above it.
    EXPECT_EQ(first, lines - visible - 1);
}

TEST(LogPaneWithoutWindow, TextIsKeptForTheWindowToCome) {
    SetMainWindow(nullptr);
    ClearLogPane();
    AddLogLine(L"early");
    EXPECT_TRUE(LogPaneText().ends_with(L" early\r\n"));
    ClearLogPane();
}

// --- Log file names ---

TEST(LogFileName, CollisionsWithinOneSecondGetTwoThenThree) {
    const std::wstring folder = ScratchFolder(L"log-names") + L"\\";
    const std::tm time = SampleTime();
    EXPECT_EQ(CreateLogFileIn(folder, time), folder + L"VNI-240314-090507.txt");
    EXPECT_EQ(CreateLogFileIn(folder, time), folder + L"VNI-240314-090507-2.txt");
    EXPECT_EQ(CreateLogFileIn(folder, time), folder + L"VNI-240314-090507-3.txt");
    EXPECT_FALSE(FileExists(folder + L"VNI-240314-090507-1.txt"));
    for (const wchar_t* name : {L"VNI-240314-090507.txt", L"VNI-240314-090507-2.txt", L"VNI-240314-090507-3.txt"})
        EXPECT_EQ(FileSize(folder + name), 0) << Narrow(name);
}

TEST(LogFileName, CreatedFileIsClosedAgain) {
    const std::wstring folder = ScratchFolder(L"log-closed") + L"\\";
    const std::wstring path = CreateLogFileIn(folder, SampleTime());
    ASSERT_FALSE(path.empty());
    // Opened without sharing: succeeds only when nobody holds the file any more.
    zid::UniqueFile again(CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, TRUNCATE_EXISTING, 0, nullptr));
    EXPECT_TRUE(again);
}

TEST(LogFileName, AnyFailureMovesOnToTheNextNumber) {
    const std::wstring folder = ScratchFolder(L"log-dir-clash") + L"\\";
    // A folder of that name is not "file exists", yet the create fails all the same.
    ASSERT_TRUE(CreateDirectoryW((folder + L"VNI-240314-090507.txt").c_str(), nullptr));
    EXPECT_EQ(CreateLogFileIn(folder, SampleTime()), folder + L"VNI-240314-090507-2.txt");
}

TEST(LogFileName, NineHundredNinetyNineIsTheLastNumberTried) {
    const std::wstring folder = ScratchFolder(L"log-full") + L"\\";
    const std::wstring base = folder + L"VNI-240314-090507";
    Touch(base + L".txt");
    for (int n = 2; n <= 998; ++n)
        Touch(base + L"-" + std::to_wstring(n) + L".txt");
    EXPECT_EQ(CreateLogFileIn(folder, SampleTime()), base + L"-999.txt");
    EXPECT_EQ(CreateLogFileIn(folder, SampleTime()), L"");
    EXPECT_FALSE(FileExists(base + L"-1000.txt"));
    EXPECT_FALSE(FileExists(base + L"-1.txt"));
}

TEST(LogFileName, UncreatableFolderGivesEmpty) {
    const std::wstring scratch = ScratchFolder(L"log-uncreatable");
    EXPECT_EQ(CreateLogFileIn(scratch + L"\\missing\\", SampleTime()), L"");
    EXPECT_FALSE(FileExists(scratch + L"\\missing"));
    // A file standing where a folder should be.
    Touch(scratch + L"\\plain");
    EXPECT_EQ(CreateLogFileIn(scratch + L"\\plain\\", SampleTime()), L"");
    EXPECT_EQ(FileSize(scratch + L"\\plain"), 0);
}

TEST(LogFileName, CreateLogFileUsesTheTemporaryFolderAndTheCurrentTime) {
    const std::wstring folder = TempFolder();
    const std::wstring first = CreateLogFile();
    const std::wstring second = CreateLogFile();
    zid::scope_exit cleanup([&] {
        DeleteFileW(first.c_str());
        DeleteFileW(second.c_str());
    });
    ASSERT_FALSE(first.empty());
    ASSERT_FALSE(second.empty());
    EXPECT_NE(first, second);
    for (const std::wstring& path : {first, second}) {
        ASSERT_EQ(path.compare(0, folder.size(), folder), 0) << Narrow(path);
        EXPECT_TRUE(std::regex_match(path.substr(folder.size()), std::wregex(L"VNI-\\d{6}-\\d{6}(-\\d+)?\\.txt")))
            << Narrow(path);
        EXPECT_EQ(FileSize(path), 0);
    }
}

// --- Logging switched on and off ---

using LogFilePath = MainWindowFixture;

TEST_F(LogFilePath, UncheckedMakesNoFileAndShowsNothing) {
    SetLogging(false);
    ScriptedMessageBoxes boxes;
    const auto before = LogFilesIn(TempFolder());
    EXPECT_EQ(GetLogFilePath(), L"");
    EXPECT_EQ(LogFilesIn(TempFolder()), before);
    EXPECT_TRUE(boxes.Boxes().empty());
}

TEST_F(LogFilePath, CheckedMakesANewEmptyFile) {
    SetLogging(true);
    ScriptedMessageBoxes boxes;
    const std::wstring path = GetLogFilePath();
    zid::scope_exit cleanup([&] { DeleteFileW(path.c_str()); });
    ASSERT_FALSE(path.empty());
    EXPECT_EQ(FileSize(path), 0);
    EXPECT_TRUE(boxes.Boxes().empty());
}

TEST_F(LogFilePath, NoCreatableNameWarnsOnceAndGivesEmpty) {
    SetLogging(true);
    const std::wstring missing = ScratchFolder(L"log-no-temp") + L"\\missing";
    EnvironmentOverride tmp(L"TMP", missing.c_str());
    EnvironmentOverride temp(L"TEMP", missing.c_str());
    ASSERT_EQ(TempFolder(), missing + L"\\");
    ScriptedMessageBoxes boxes;
    EXPECT_EQ(GetLogFilePath(), L"");
    ASSERT_EQ(boxes.Boxes().size(), 1u);
    EXPECT_EQ(boxes.Boxes()[0].text, L"Unable to create a log file");
    EXPECT_EQ(boxes.Boxes()[0].caption, L"ZIDezureziv");
    EXPECT_EQ(boxes.Boxes()[0].style, static_cast<UINT>(MB_ICONWARNING));
}

// --- Lines of the log file ---

TEST(LogFileLine, Utf16LittleEndianWithCrLf) {
    const std::wstring path = ScratchFolder(L"log-lines") + L"\\lines.txt";
    {
        zid::UniqueFile file(CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0, nullptr));
        ASSERT_TRUE(file);
        WriteLine(file.get(), L"V\u00fc\u4e2d");
        WriteLine(file.get(), L"");
        WriteLine(file.get(), L"x");
    }
    const std::string expected("V\0\xFC\0\x2D\x4E\r\0\n\0\r\0\n\0x\0\r\0\n\0", 20);
    EXPECT_EQ(ReadFileBytes(path), expected);
}

TEST(LogFileLine, FailedWriteIsReportedAndTheNextLineStillTried) {
    const std::wstring path = ScratchFolder(L"log-readonly") + L"\\lines.txt";
    Touch(path);
    zid::UniqueFile file(CreateFileW(path.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr));
    ASSERT_TRUE(file);
    ScriptedMessageBoxes boxes;
    WriteLine(file.get(), L"first");
    WriteLine(file.get(), L"second");
    ASSERT_EQ(boxes.Boxes().size(), 2u);
    EXPECT_EQ(boxes.Boxes()[0].text, L"WriteLine: " + GetErrorText(ERROR_ACCESS_DENIED));
    EXPECT_EQ(boxes.Boxes()[0].style, static_cast<UINT>(MB_ICONERROR));
    EXPECT_EQ(FileSize(path), 0);
}
