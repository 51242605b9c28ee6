#include "win/message_pump.h"

#include "win/callback_guard.h"
#include "win/program.h"
#include "win/tool_tips.h"

namespace {

constexpr WCHAR kCtrlB = 2;

// The mouse messages the tool tips are told about: moves, buttons and the vertical wheel.
bool IsMouseMessage(UINT message) {
    return message >= WM_MOUSEFIRST && message <= WM_XBUTTONDBLCLK;
}

void HandleMessage(MSG& msg) {
    PumpState& pump = Pump();
    HWND main = MainWindow();
    if (pump.Accelerators && TranslateAcceleratorW(main, pump.Accelerators, &msg))
        return;
    if (IsMouseMessage(msg.message)) {
        RelayToToolTips(msg);
    } else if (msg.message == WM_CHAR && msg.wParam == kCtrlB) {
        if (pump.CtrlB)
            pump.CtrlB();
        return;
    }
    if (main && IsWindow(main) && IsDialogMessageW(main, &msg))
        return;
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
}

}  // namespace

PumpState& Pump() {
    static PumpState state;
    return state;
}

void PumpMessages() {
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
        if (msg.message == WM_QUIT) {
            Pump().Quit = true;
            Pump().ExitCode = static_cast<int>(msg.wParam);
            RethrowCallbackException();
            return;
        }
        HandleMessage(msg);
        RethrowCallbackException();
    }
}
