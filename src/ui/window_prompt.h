// The program's prompt while it has its window: message boxes owned by the main window, the
// uninstall-options dialog, the log pane, and the installer log opened for the reader.
#pragma once

#include <string>

#include "operations/prompt.h"
#include "ui/main_window.h"
#include "win/platform.h"

namespace zid {

class CWindowPrompt final : public IPrompt {
public:
    CWindowPrompt(const PlatformFacts& platform, CMainWindow& main) : m_platform(platform), m_main(main) {}

    // A message box captioned "ZIDezureziv", owned by the main window (no owner when there is none).
    int Ask(const Question& question) override;
    void Tell(const std::wstring& text, UINT style) override;
    void Log(const std::wstring& line) override;
    void ClearLog() override;
    int AskUninstallOptions(bool& keep) override;
    // Opens a non-empty log with its program and makes it what Copy Path copies (an empty or missing
    // one: nothing to copy; a log whose attributes cannot be read is told).
    void ShowInstallerLog(const std::wstring& path) override;

private:
    const PlatformFacts& m_platform;
    CMainWindow& m_main;
};

}  // namespace zid
