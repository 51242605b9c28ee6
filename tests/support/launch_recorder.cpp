#include "support/launch_recorder.h"

#include <tlhelp32.h>
#include <shlwapi.h>

#include <algorithm>

#include "win/handles.h"
#include "support/test_util.h"

namespace zid {

namespace {

// Wine's shell reads the associations from HKEY_CLASSES_ROOT only (not the user's classes), so
// the test prefix's own associations are repointed and restored afterwards.
const wchar_t* const kTestClasses[] = {L".zidtest", L"ZIDezureziv.TestFile"};
const wchar_t* const kProtocols[] = {L"http", L"https"};
constexpr wchar_t kWineBrowserCommand[] = L"\"C:\\windows\\system32\\winebrowser.exe\" \"%1\"";
constexpr wchar_t kWineOverrides[] = L"Software\\Wine\\DllOverrides";
constexpr wchar_t kNotepadCommand[] = L"C:\\windows\\system32\\notepad.exe %1";

std::wstring CommandKey(const std::wstring& name) {
    return name + L"\\shell\\open\\command";
}

void SetDefault(const std::wstring& subKey, const std::wstring& value) {
    HKEY key = nullptr;
    if (RegCreateKeyExW(HKEY_CLASSES_ROOT, subKey.c_str(), 0, nullptr, 0, KEY_WRITE, nullptr, &key, nullptr) !=
        ERROR_SUCCESS)
        return;
    zid::UniqueHKey owner(key);
    RegSetValueExW(key, nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                   static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t)));
}

std::wstring GetDefault(const std::wstring& subKey) {
    wchar_t value[1024] = L"";
    DWORD size = sizeof(value) - sizeof(wchar_t);
    if (RegGetValueW(HKEY_CLASSES_ROOT, subKey.c_str(), nullptr, RRF_RT_REG_SZ, nullptr, value, &size) != ERROR_SUCCESS)
        return {};
    return value;
}

std::wstring ReadUtf8File(const std::wstring& path) {
    const std::string bytes = ReadFileBytes(path);
    std::wstring text(bytes.size(), L'\0');
    text.resize(static_cast<size_t>(MultiByteToWideChar(CP_UTF8, 0, bytes.data(), static_cast<int>(bytes.size()),
                                                        text.data(), static_cast<int>(text.size()))));
    return text;
}

std::vector<std::wstring> SplitLines(const std::wstring& text) {
    std::vector<std::wstring> lines;
    size_t start = 0;
    for (size_t end; (end = text.find(L'\n', start)) != std::wstring::npos; start = end + 1)
        lines.push_back(text.substr(start, end - start));
    return lines;
}

bool ChildrenRunning() {
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    if (snapshot == INVALID_HANDLE_VALUE)
        return false;
    zid::UniqueFile owner(snapshot);
    PROCESSENTRY32W entry{};
    entry.dwSize = sizeof(entry);
    for (BOOL more = Process32FirstW(snapshot, &entry); more; more = Process32NextW(snapshot, &entry)) {
        if (entry.th32ParentProcessID == GetCurrentProcessId() &&
            (_wcsicmp(entry.szExeFile, L"winebrowser.exe") == 0 ||
             _wcsicmp(entry.szExeFile, L"record_launch.exe") == 0))
            return true;
    }
    return false;
}

}  // namespace

std::wstring CLaunchRecorder::RecorderPath() {
    return WinePath(std::string(ZID_BINARY_DIR) + "/tests/record_launch.exe");
}

CLaunchRecorder::CLaunchRecorder() : m_folder(ScratchFolder(L"launches")), m_file(m_folder + L"\\launched.txt") {
    SetEnvironmentVariableW(L"ZID_RECORD_FILE", m_file.c_str());
    // The program starts the system's "winebrowser": the recorder takes its place in the test prefix
    // (a copy of Wine's own stays beside it, put back at the end).
    const std::wstring browser = WineBrowserPath();
    if (GetFileAttributesW((browser + L".zid-saved").c_str()) == INVALID_FILE_ATTRIBUTES)
        CopyFileW(browser.c_str(), (browser + L".zid-saved").c_str(), TRUE);
    CopyFileW(RecorderPath().c_str(), browser.c_str(), FALSE);
    // A 64-bit Wine starts its own built-in programs of System32 whatever file lies there, unless
    // told to take the file.
    RegSetKeyValueW(HKEY_CURRENT_USER, kWineOverrides, L"winebrowser.exe", REG_SZ, L"native",
                    sizeof(L"native"));
    wchar_t current[MAX_PATH] = L"";
    GetCurrentDirectoryW(MAX_PATH, current);
    m_previousFolder = current;
    SetCurrentDirectoryW(m_folder.c_str());

    for (const wchar_t* protocol : kProtocols) {
        std::wstring previous = GetDefault(CommandKey(protocol));
        // A run that died half-way left the recorder behind: the prefix's own browser is meant.
        if (previous.empty() || previous.find(L"record_launch") != std::wstring::npos)
            previous = kWineBrowserCommand;
        m_previousCommands.push_back(previous);
        SetDefault(CommandKey(protocol), L"\"" + RecorderPath() + L"\" url \"%1\"");
    }
    SetDefault(L".zidtest", L"ZIDezureziv.TestFile");
    SetDefault(CommandKey(L"ZIDezureziv.TestFile"), L"\"" + RecorderPath() + L"\" file \"%1\"");

    // Installer logs are text files: opened for the user after every operation.
    m_textClass = GetDefault(L".txt");
    if (m_textClass.empty()) {
        m_textClass = L"txtfile";
        SetDefault(L".txt", m_textClass);
    }
    m_previousTextCommand = GetDefault(CommandKey(m_textClass));
    if (m_previousTextCommand.empty() || m_previousTextCommand.find(L"record_launch") != std::wstring::npos)
        m_previousTextCommand = kNotepadCommand;
    SetDefault(CommandKey(m_textClass), L"\"" + RecorderPath() + L"\" file \"%1\"");
}

CLaunchRecorder::~CLaunchRecorder() {
    for (size_t i = 0; i < m_previousCommands.size(); ++i)
        SetDefault(CommandKey(kProtocols[i]), m_previousCommands[i]);
    for (const wchar_t* name : kTestClasses)
        SHDeleteKeyW(HKEY_CLASSES_ROOT, name);
    SetDefault(CommandKey(m_textClass), m_previousTextCommand);
    SetCurrentDirectoryW(m_previousFolder.c_str());
    SetEnvironmentVariableW(L"ZID_RECORD_FILE", nullptr);
    RegDeleteKeyValueW(HKEY_CURRENT_USER, kWineOverrides, L"winebrowser.exe");
    const std::wstring browser = WineBrowserPath();
    if (CopyFileW((browser + L".zid-saved").c_str(), browser.c_str(), FALSE))
        DeleteFileW((browser + L".zid-saved").c_str());
}

std::wstring CLaunchRecorder::WineBrowserPath() {
    wchar_t folder[MAX_PATH] = L"";
    GetSystemDirectoryW(folder, MAX_PATH);
    return std::wstring(folder) + L"\\winebrowser.exe";
}

std::wstring CLaunchRecorder::WineBrowserLaunch(const std::wstring& address) {
    return L"\"" + WineBrowserPath() + L"\" \"" + address + L"\"";
}

std::vector<std::wstring> CLaunchRecorder::WaitForLaunches(size_t count) const {
    const ULONGLONG end = GetTickCount64() + 15000;
    while ((SplitLines(ReadUtf8File(m_file)).size() < count || ChildrenRunning()) && GetTickCount64() < end)
        Sleep(50);
    std::vector<std::wstring> launches = SplitLines(ReadUtf8File(m_file));
    std::sort(launches.begin(), launches.end());
    return launches;
}

}  // namespace zid
