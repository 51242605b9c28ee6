// How the program waits while it has its window: the one message pump runs, the main window is
// disabled meanwhile (nothing else can be started) and shows the busy cursor.
#pragma once

#include "operations/waiter.h"
#include "ui/owner_window.h"
#include "win/message_pump.h"

namespace zid {

class CWindowWaiter final : public IWaiter {
public:
    CWindowWaiter(const IOwnerWindow& main, CMessagePump& pump) : m_main(main), m_pump(pump) {}

    // Afterwards the main window is enabled and brought to the front again.
    void WaitForWorker(HANDLE thread) override;
    bool WaitUntil(const std::function<bool()>& done, DWORD slice) override;

private:
    const IOwnerWindow& m_main;
    CMessagePump& m_pump;
};

}  // namespace zid
