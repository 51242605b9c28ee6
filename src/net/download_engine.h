// The asynchronous download engine on WinINet.
#pragma once

#include <windows.h>
#include <wininet.h>

#include "win/handles.h"

// One engine per process: the asynchronous internet session and the window told about finished
// downloads.
class CVNInet {
public:
    explicit CVNInet(HWND owner) : m_owner(owner) {}
    // Uninstalls the status callback and closes the session, so no callback outlives the engine.
    ~CVNInet();
    CVNInet(const CVNInet&) = delete;
    CVNInet& operator=(const CVNInet&) = delete;

    // Opens the asynchronous session and installs the status callback; 0 or the Win32 error.
    DWORD Open();
    bool Ready() const { return m_ready; }

    // WinINet status callback installed on the session; runs on WinINet's threads.
    static void CALLBACK StatusCallback(HINTERNET handle, DWORD_PTR context, DWORD status, LPVOID info,
                                        DWORD infoLength);

private:
    HWND m_owner;
    zid::UniqueInternet m_session;
    bool m_ready = false;  // session open and callback installed
};

// The process's engine, or null while there is none.
CVNInet* DownloadEngine();
void SetDownloadEngine(CVNInet* engine);
