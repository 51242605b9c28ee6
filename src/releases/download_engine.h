// The asynchronous download engine on WinINet.
#pragma once

#include <windows.h>
#include <wininet.h>

// One engine per process; owns nothing but its readiness and owner window.
class CVNInet {
public:
    explicit CVNInet(HWND owner) : m_owner(owner) {}

    // WinINet status callback installed on the session; runs on WinINet's threads.
    static void CALLBACK StatusCallback(HINTERNET handle, DWORD_PTR context, DWORD status, LPVOID info,
                                        DWORD infoLength);

    HWND m_owner;
    HINTERNET m_session = nullptr;  // lives as long as the process
    bool m_ready = false;           // session open and callback installed
};
