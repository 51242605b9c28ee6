// Owning wrappers for Win32 handles: one movable, non-copyable template, one typedef per kind.
#pragma once

#include <windows.h>
#include <wininet.h>
#include <msi.h>
#include <wincrypt.h>
#include <objbase.h>

#include <cstdint>
#include <type_traits>
#include <utility>

namespace zid {

// Close is called exactly once for a valid handle; Invalid is the kind's "no handle" value.
template <typename T, auto Close, std::intptr_t Invalid = 0>
class unique_handle {
public:
    static T invalid() noexcept {
        if constexpr (std::is_pointer_v<T>)
            return reinterpret_cast<T>(Invalid);
        else
            return static_cast<T>(Invalid);
    }

    unique_handle() noexcept = default;
    explicit unique_handle(T h) noexcept : m_h(h) {}
    unique_handle(const unique_handle&) = delete;
    unique_handle& operator=(const unique_handle&) = delete;
    unique_handle(unique_handle&& other) noexcept : m_h(other.release()) {}
    unique_handle& operator=(unique_handle&& other) noexcept {
        if (this != &other)
            reset(other.release());
        return *this;
    }
    ~unique_handle() { reset(); }

    T get() const noexcept { return m_h; }
    explicit operator bool() const noexcept { return m_h != invalid(); }

    // Closes the held handle (if any) and takes ownership of h. The thread's last error survives
    // the close, so a caller can still read the error of the call that failed before it.
    void reset(T h = invalid()) noexcept {
        if (m_h != invalid()) {
            const DWORD error = GetLastError();
            Close(m_h);
            SetLastError(error);
        }
        m_h = h;
    }
    T release() noexcept { return std::exchange(m_h, invalid()); }

    // For out-parameters: closes what is held and hands out the slot.
    T* put() noexcept {
        reset();
        return &m_h;
    }

private:
    T m_h = invalid();
};

namespace detail {
inline void CloseStore(HCERTSTORE h) noexcept {
    CertCloseStore(h, 0);
}
inline void FreeCertificate(PCCERT_CONTEXT c) noexcept {
    CertFreeCertificateContext(c);
}
inline void CloseCryptMessage(HCRYPTMSG m) noexcept {
    CryptMsgClose(m);
}
inline void DestroyMenuHandle(HMENU h) noexcept {
    DestroyMenu(h);
}
inline void DeleteBitmap(HBITMAP h) noexcept {
    DeleteObject(h);
}
inline void DeleteFontHandle(HFONT h) noexcept {
    DeleteObject(h);
}
inline void DestroyIconHandle(HICON h) noexcept {
    DestroyIcon(h);
}
inline void FreeLibraryHandle(HMODULE h) noexcept {
    FreeLibrary(h);
}
inline void FreeLocalMemory(HLOCAL h) noexcept {
    LocalFree(h);
}
inline void FreeGlobalMemory(HGLOBAL h) noexcept {
    GlobalFree(h);
}
inline void DestroyWindowHandle(HWND h) noexcept {
    DestroyWindow(h);
}
inline void FreeArgumentList(LPWSTR* a) noexcept {
    LocalFree(a);
}
inline void DeleteMemoryDc(HDC h) noexcept {
    DeleteDC(h);
}
inline void FreeTaskMemory(PWSTR p) noexcept {
    CoTaskMemFree(p);
}
// Does not wait for a callback that is running this moment: it ends by itself, and may need the very
// thread that deletes the timer (a sent message).
inline void DeleteQueueTimer(HANDLE t) noexcept {
    DeleteTimerQueueTimer(nullptr, t, nullptr);
}
}  // namespace detail

using UniqueHKey = unique_handle<HKEY, &RegCloseKey>;
using UniqueHandle = unique_handle<HANDLE, &CloseHandle>;
using UniqueFile = unique_handle<HANDLE, &CloseHandle, -1>;  // INVALID_HANDLE_VALUE
using UniqueMsiHandle = unique_handle<MSIHANDLE, &MsiCloseHandle>;
using UniqueInternet = unique_handle<HINTERNET, &InternetCloseHandle>;
using UniqueMenu = unique_handle<HMENU, &detail::DestroyMenuHandle>;
using UniqueBitmap = unique_handle<HBITMAP, &detail::DeleteBitmap>;
using UniqueFont = unique_handle<HFONT, &detail::DeleteFontHandle>;
using UniqueIcon = unique_handle<HICON, &detail::DestroyIconHandle>;
using UniqueCertStore = unique_handle<HCERTSTORE, &detail::CloseStore>;
using UniqueCertContext = unique_handle<PCCERT_CONTEXT, &detail::FreeCertificate>;
using UniqueCryptMsg = unique_handle<HCRYPTMSG, &detail::CloseCryptMessage>;
using UniqueModule = unique_handle<HMODULE, &detail::FreeLibraryHandle>;
using UniqueLocal = unique_handle<HLOCAL, &detail::FreeLocalMemory>;
using UniqueGlobal = unique_handle<HGLOBAL, &detail::FreeGlobalMemory>;
using UniqueWindow = unique_handle<HWND, &detail::DestroyWindowHandle>;
using UniqueMemoryDc = unique_handle<HDC, &detail::DeleteMemoryDc>;            // CreateCompatibleDC
using UniqueArgumentList = unique_handle<LPWSTR*, &detail::FreeArgumentList>;  // CommandLineToArgvW
using UniqueTaskString = unique_handle<PWSTR, &detail::FreeTaskMemory>;        // text from COM's task allocator
using UniqueQueueTimer = unique_handle<HANDLE, &detail::DeleteQueueTimer>;     // CreateTimerQueueTimer

// Runs a one-off cleanup when the scope ends.
template <typename F>
class scope_exit {
public:
    explicit scope_exit(F f) noexcept : m_f(std::move(f)) {}
    scope_exit(const scope_exit&) = delete;
    scope_exit& operator=(const scope_exit&) = delete;
    ~scope_exit() {
        if (m_active)
            m_f();
    }
    void release() noexcept { m_active = false; }

private:
    F m_f;
    bool m_active = true;
};

}  // namespace zid
