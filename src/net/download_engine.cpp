#include "net/download_engine.h"

#include "win/program.h"

namespace {
CVNInet* g_engine = nullptr;
}

CVNInet::~CVNInet() {
    if (m_session)
        InternetSetStatusCallbackW(m_session.get(), nullptr);
    m_session.reset();
    m_ready = false;
}

DWORD CVNInet::Open() {
    m_session.reset(InternetOpenW(kProgramName, INTERNET_OPEN_TYPE_PRECONFIG, nullptr, nullptr, INTERNET_FLAG_ASYNC));
    if (!m_session)
        return GetLastError();
    if (InternetSetStatusCallbackW(m_session.get(), &CVNInet::StatusCallback) == INTERNET_INVALID_STATUS_CALLBACK)
        return GetLastError();
    m_ready = true;
    return ERROR_SUCCESS;
}

// Requests carry their own context; until transfers are started nothing arrives here that needs work.
void CALLBACK CVNInet::StatusCallback(HINTERNET, DWORD_PTR, DWORD, LPVOID, DWORD) {}

CVNInet* DownloadEngine() {
    return g_engine;
}

void SetDownloadEngine(CVNInet* engine) {
    g_engine = engine;
}
