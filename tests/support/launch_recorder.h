// Puts the recorder in the place of this prefix's "winebrowser" program and points the shell associations of http,
// https, text files and the test extension ".zidtest" at tests/record_launch.exe, and reads back what was launched (by
// this process or by programs it starts, which inherit the record file's name). The prefix's own associations are
// restored when the recorder ends.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

namespace zid {

class CLaunchRecorder {
public:
    CLaunchRecorder();
    ~CLaunchRecorder();
    CLaunchRecorder(const CLaunchRecorder&) = delete;
    CLaunchRecorder& operator=(const CLaunchRecorder&) = delete;

    // The scratch folder (also the current folder while the recorder lives).
    const std::wstring& Folder() const { return m_folder; }

    // Waits until at least count launches were recorded and every program this process started
    // has ended; returns the recorded command lines, sorted (programs started one after another may
    // record in any order).
    std::vector<std::wstring> WaitForLaunches(size_t count) const;

    // The recorder's own path, as it appears in the association commands.
    static std::wstring RecorderPath();
    // The system's winebrowser.exe (the recorder while one lives), and the command line that a
    // program hands address to it with.
    static std::wstring WineBrowserPath();
    static std::wstring WineBrowserLaunch(const std::wstring& address);

private:
    std::wstring m_folder;
    std::wstring m_file;
    std::wstring m_previousFolder;
    std::vector<std::wstring> m_previousCommands;  // http and https, restored at the end
    std::wstring m_textClass;
    std::wstring m_previousTextCommand;
};

}  // namespace zid
