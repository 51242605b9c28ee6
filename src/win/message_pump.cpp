#include "win/message_pump.h"

#include <exception>

#include "win/callback_guard.h"

namespace zid {

namespace {

constexpr DWORD kSignalSlice = 100;  // milliseconds between passes of the pump at the latest
constexpr DWORD kMainLoopNap = 10;   // milliseconds after each pass of the main loop

// Waits for handle answering only messages that other threads send (a call into this thread's windows
// must not hang whoever made it), so that nothing else of the program runs meanwhile.
void WaitAnsweringSentMessages(HANDLE handle) {
    MSG msg;
    while (MsgWaitForMultipleObjects(1, &handle, FALSE, INFINITE, QS_SENDMESSAGE) == WAIT_OBJECT_0 + 1)
        PeekMessageW(&msg, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
}

}  // namespace

void CMessagePump::EndWith(int exitCode) {
    m_quit = true;
    m_exitCode = exitCode;
}

void CMessagePump::Handle(MSG& msg) {
    if (m_filter && m_filter->PreTranslate(msg))
        return;
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
}

void CMessagePump::PumpMessages() {
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
        if (msg.message == WM_QUIT) {
            EndWith(static_cast<int>(msg.wParam));
            RethrowCallbackException();
            return;
        }
        Handle(msg);
        RethrowCallbackException();
    }
}

bool CMessagePump::RunUntil(const std::function<bool()>& done, DWORD slice) {
    for (;;) {
        if (done())
            return true;
        if (m_quit)
            return false;
        MsgWaitForMultipleObjects(0, nullptr, FALSE, slice, QS_ALLINPUT);
        PumpMessages();
    }
}

void CMessagePump::RunMainLoop() {
    while (!m_quit) {
        MsgWaitForMultipleObjects(0, nullptr, FALSE, INFINITE, QS_ALLINPUT);
        PumpMessages();
        Sleep(kMainLoopNap);
    }
}

void CMessagePump::RunUntilSignalled(HANDLE handle) {
    for (;;) {
        try {
            PumpMessages();
        } catch (...) {
            WaitAnsweringSentMessages(handle);
            throw;
        }
        if (MsgWaitForMultipleObjects(1, &handle, FALSE, kSignalSlice, QS_ALLINPUT) == WAIT_OBJECT_0 &&
            WaitForSingleObject(handle, 0) == WAIT_OBJECT_0)
            return;
    }
}

}  // namespace zid
