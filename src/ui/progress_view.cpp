#include "ui/progress_view.h"

namespace zid {

namespace {

constexpr DWORD kDeadlineSlice = 100;  // milliseconds between looks at the clock at the latest
constexpr UINT kHideInPlace = SWP_HIDEWINDOW | SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE;

}  // namespace

bool CProgressView::Show(const std::shared_ptr<DownloadProgress>& progress, const std::wstring& fileName) {
    HWND main = m_main.Window();
    EnableWindow(main, FALSE);
    // An earlier dialog goes before the state its window points to.
    m_dialog.reset();
    m_state = std::make_unique<CProgressDialog>();
    m_dialog.reset(m_state->Create(m_platform.Instance, main, progress, fileName));
    if (m_dialog)
        return true;
    const DWORD error = GetLastError();
    EnableWindow(main, TRUE);
    TellError(m_prompt, L"CreateDialog", error);
    return false;
}

DownloadWait CProgressView::WaitForEnd(ULONGLONG deadline) {
    ShowWindow(m_dialog.get(), SW_SHOW);
    const bool timed = deadline != kNoDeadline;
    m_pump.RunUntil([&] { return m_state->Done() || (timed && GetTickCount64() >= deadline); },
                    timed ? kDeadlineSlice : INFINITE);
    if (m_state->Done())
        return m_state->Result() == kDownloadEnded ? DownloadWait::Ended : DownloadWait::Cancelled;
    return m_pump.Quit() ? DownloadWait::Closing : DownloadWait::TooLate;
}

void CProgressView::Hide() {
    if (m_dialog)
        SetWindowPos(m_dialog.get(), nullptr, 0, 0, 0, 0, kHideInPlace);
    EnableWindow(m_main.Window(), TRUE);
    m_dialog.reset();
    m_state.reset();
}

}  // namespace zid
