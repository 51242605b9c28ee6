#include "net/download_recorder.h"

#include "win/errors.h"

namespace {
constexpr wchar_t kClassName[] = L"ZidDownloadRecorder";
}

CDownloadRecorder::CDownloadRecorder() {
    WNDCLASSW windowClass{};
    windowClass.lpfnWndProc = &CDownloadRecorder::WindowProc;
    windowClass.hInstance = GetModuleHandleW(nullptr);
    windowClass.lpszClassName = kClassName;
    RegisterClassW(&windowClass);
    m_window = CreateWindowW(kClassName, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, GetModuleHandleW(nullptr), nullptr);
    SetWindowLongPtrW(m_window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
}

CDownloadRecorder::~CDownloadRecorder() {
    DestroyWindow(m_window);
}

LRESULT CALLBACK CDownloadRecorder::WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    auto* self = reinterpret_cast<CDownloadRecorder*>(GetWindowLongPtrW(window, GWLP_USERDATA));
    if (self && message == kDownloadProgress) {
        const auto& progress = *reinterpret_cast<const DownloadProgress*>(lParam);
        self->m_progress.push_back({progress.State, progress.ContentLength, progress.Received,
                                    progress.Request->HttpStatus, IsFinished(*progress.Request)});
        return TRUE;
    }
    if (self && message == kDownloadFinished) {
        self->m_finishes.push_back({reinterpret_cast<const DownloadRequest*>(lParam), GetCurrentThreadId()});
        return TRUE;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

template <typename Predicate>
bool CDownloadRecorder::PumpUntil(Predicate done, DWORD timeout) {
    const ULONGLONG end = GetTickCount64() + timeout;
    while (!done()) {
        if (GetTickCount64() > end)
            return false;
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 20, QS_ALLINPUT);
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
    }
    return true;
}

bool CDownloadRecorder::WaitForFinishes(size_t count) {
    return PumpUntil([&] { return m_finishes.size() >= count; }, 30000);
}

bool CDownloadRecorder::WaitForReceived(DWORD bytes) {
    return PumpUntil([&] { return !m_progress.empty() && m_progress.back().Received >= bytes; }, 30000);
}

void CDownloadRecorder::PumpFor(DWORD milliseconds) {
    PumpUntil([] { return false; }, milliseconds);
}

bool CDownloadRecorder::WaitForIdleCursor() {
    return PumpUntil([] { return GetWaitCursorDepth() == 0; }, 10000);
}
