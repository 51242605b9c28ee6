// The per-operation log file: names, collisions, the give-up case, encoding.
#include <gtest/gtest.h>

#include <windows.h>

#include <regex>
#include <vector>

#include "log/installer_log.h"
#include "win/errors.h"
#include "win/handles.h"
#include "support/test_util.h"

namespace zid {

namespace {

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

// --- Lines of the log file ---

TEST(LogFileLine, Utf16LittleEndianWithCrLf) {
    const std::wstring path = ScratchFolder(L"log-lines") + L"\\lines.txt";
    {
        zid::UniqueFile file(CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0, nullptr));
        ASSERT_TRUE(file);
        EXPECT_EQ(WriteLine(file.get(), L"V\u00fc\u4e2d"), 0u);
        EXPECT_EQ(WriteLine(file.get(), L""), 0u);
        EXPECT_EQ(WriteLine(file.get(), L"x"), 0u);
    }
    const std::string expected("V\0\xFC\0\x2D\x4E\r\0\n\0\r\0\n\0x\0\r\0\n\0", 20);
    EXPECT_EQ(ReadFileBytes(path), expected);
}

TEST(LogFileLine, FailedWriteGivesItsError) {
    const std::wstring path = ScratchFolder(L"log-readonly") + L"\\lines.txt";
    Touch(path);
    UniqueFile file(CreateFileW(path.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr));
    ASSERT_TRUE(file);
    EXPECT_EQ(WriteLine(file.get(), L"first"), static_cast<DWORD>(ERROR_ACCESS_DENIED));
    EXPECT_EQ(FileSize(path), 0);
}

}  // namespace zid
