#include "ui/window_prompt.h"

#include "ui/shell_open.h"
#include "ui/uninstall_options.h"
#include "win/program.h"

namespace zid {

int CWindowPrompt::Ask(const Question& question) {
    return MessageBoxW(m_main.Window(), question.Text.c_str(), kProgramName, question.Style);
}

void CWindowPrompt::Tell(const std::wstring& text, UINT style) {
    MessageBoxW(m_main.Window(), text.c_str(), kProgramName, style);
}

void CWindowPrompt::Log(const std::wstring& line) {
    m_main.LogPane().AddLine(line);
}

void CWindowPrompt::ClearLog() {
    m_main.LogPane().Clear();
}

int CWindowPrompt::AskUninstallOptions(bool& keep) {
    CUninstallOptionsDialog dialog;
    return dialog.Show(m_platform.Instance, m_main.Window(), keep);
}

void CWindowPrompt::ShowInstallerLog(const std::wstring& path) {
    std::wstring shown;
    if (!path.empty()) {
        WIN32_FILE_ATTRIBUTE_DATA data{};
        if (!GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data)) {
            const DWORD error = GetLastError();
            TellError(*this, L"GetFileAttributesEx", error);
        } else if (data.nFileSizeHigh != 0 || data.nFileSizeLow != 0) {
            ShellOpen(*this, path, m_platform.Wine);
            shown = path;
        }
    }
    m_main.SetLastLogPath(shown);
}

}  // namespace zid
