// Small helpers shared by the Windows-side tests.
#pragma once

#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <string_view>
#include <vector>

namespace zid {

// Narrow text for test messages.
std::string Narrow(const std::wstring& text);

// Window text of a control or window.
std::wstring WindowText(HWND window);

// Dispatches waiting messages without the program's pump (no accelerators, no dialog handling).
void DrainMessages();

// A folder path under the build's scratch area, created empty; ends without a separator.
std::wstring ScratchFolder(const std::wstring& name);

// A Linux path of the build as Wine shows it (Z:\...).
std::wstring WinePath(const std::string& linuxPath);

// The bytes of a file (at most limit of them); empty when it cannot be read.
std::string ReadFileBytes(const std::wstring& path, size_t limit = 1 << 24);

// The UTF-16LE bytes of text, without a byte-order mark.
std::string Utf16LeBytes(std::u16string_view text);

// Replaces the file's content with bytes (creating it); false on failure.
bool WriteFileBytes(const std::wstring& path, const std::string& bytes);

// Deletes HKCU\Software\Fennickworks\ZIDezureziv with everything below it.
void DeleteSettingsKey();

// Sets an environment variable for the test's lifetime (null: removes it) and restores the old value.
class EnvironmentOverride {
public:
    EnvironmentOverride(const wchar_t* name, const wchar_t* value);
    ~EnvironmentOverride();
    EnvironmentOverride(const EnvironmentOverride&) = delete;
    EnvironmentOverride& operator=(const EnvironmentOverride&) = delete;

private:
    std::wstring m_name;
    std::wstring m_saved;
    bool m_had = false;
};

}  // namespace zid
