// A download's progress as the window shows it: the progress dialog "Velonar Download", owned by the
// main window, which is disabled meanwhile.
#pragma once

#include <memory>

#include "releases/download_context.h"
#include "ui/owner_window.h"
#include "ui/progress_dialog.h"
#include "win/message_pump.h"

namespace zid {

class CProgressView final : public IDownloadView {
public:
    CProgressView(const PlatformFacts& platform, const IOwnerWindow& main, CMessagePump& pump, IPrompt& prompt)
        : m_platform(platform), m_main(main), m_pump(pump), m_prompt(prompt) {}

    bool Show(const std::shared_ptr<DownloadProgress>& progress, const std::wstring& fileName) override;
    HWND NotifyWindow() const override { return m_dialog.get(); }
    DownloadWait WaitForEnd(ULONGLONG deadline) override;
    void Hide() override;

private:
    const PlatformFacts& m_platform;
    const IOwnerWindow& m_main;
    CMessagePump& m_pump;
    IPrompt& m_prompt;
    std::unique_ptr<CProgressDialog> m_state;
    UniqueWindow m_dialog;
};

}  // namespace zid
