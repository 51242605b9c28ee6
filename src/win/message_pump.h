// The program's one message pump: the main loop and every wait of the program run through it, so
// the windows keep answering whatever is being waited for.
#pragma once

#include <windows.h>

#include <functional>

namespace zid {

// Sees every message before it is dispatched (accelerators, dialog keys, tool tips: the windows'
// business, which the pump knows nothing of).
class IMessageFilter {
public:
    // True when the message was handled and must not be dispatched.
    virtual bool PreTranslate(MSG& msg) = 0;

protected:
    ~IMessageFilter() = default;
};

class CMessagePump {
public:
    CMessagePump() = default;
    CMessagePump(const CMessagePump&) = delete;
    CMessagePump& operator=(const CMessagePump&) = delete;

    // The filter of the windows that are up, or null.
    void SetFilter(IMessageFilter* filter) { m_filter = filter; }

    // WM_QUIT was seen (or the program decided to end), and the code it ends with.
    bool Quit() const { return m_quit; }
    int ExitCode() const { return m_exitCode; }
    // Ends the program's waits as WM_QUIT with exitCode would.
    void EndWith(int exitCode);

    // Dispatches every waiting message; returns when the queue is empty or WM_QUIT was seen. An
    // exception that a callback stored while a message was handled is rethrown here.
    void PumpMessages();

    // Pumps until done() is true or WM_QUIT was seen, waking at least every slice milliseconds
    // (INFINITE: only on input); true when done() was true.
    bool RunUntil(const std::function<bool()>& done, DWORD slice = INFINITE);

    // The main loop: waits for input, dispatches what is queued and naps 10 ms (an idle program uses no
    // processor time, a busy queue is drained about a hundred times a second), until WM_QUIT.
    void RunMainLoop();

    // Pumps until handle is signalled, waking at least every 100 ms. WM_QUIT does not end the wait,
    // nor does an exception out of a message handler: the wait goes on, answering only the messages
    // other threads send, and the exception is rethrown once the handle is signalled. For a thread
    // that must not be abandoned (it is inside Windows Installer).
    void RunUntilSignalled(HANDLE handle);

private:
    void Handle(MSG& msg);

    IMessageFilter* m_filter = nullptr;
    bool m_quit = false;
    int m_exitCode = 1;
};

}  // namespace zid
