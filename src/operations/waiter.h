// How operations wait for what runs elsewhere while the program stays responsive: the window's
// message pump with nothing else to start meanwhile, or a plain wait when there is no window.
#pragma once

#include <windows.h>

#include <functional>

namespace zid {

class IWaiter {
public:
    // Until an operation's worker thread (handle) has ended. It is never abandoned: the wait goes on
    // when the program is asked to close, and an exception out of a message handler meanwhile is
    // rethrown once the thread has ended.
    virtual void WaitForWorker(HANDLE thread) = 0;
    // Until done() is true, looking again at least every slice milliseconds; false when the program
    // is closing first.
    virtual bool WaitUntil(const std::function<bool()>& done, DWORD slice) = 0;

protected:
    ~IWaiter() = default;
};

}  // namespace zid
