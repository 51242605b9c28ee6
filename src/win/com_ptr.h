// COM on this thread, owning pointers for COM interfaces and BSTRs: each reference is released
// exactly once by its owner.
#pragma once

#include <windows.h>
#include <oleauto.h>

#include <new>
#include <utility>

#include <objbase.h>

#include "win/handles.h"

namespace zid {

// Holds one reference to a COM interface; not copyable, so no reference is ever taken twice.
template <typename T>
class com_ptr {
public:
    com_ptr() noexcept = default;
    explicit com_ptr(T* p) noexcept : m_p(p) {}  // adopts a reference the caller owned
    com_ptr(const com_ptr&) = delete;
    com_ptr& operator=(const com_ptr&) = delete;
    com_ptr(com_ptr&& other) noexcept : m_p(other.release()) {}
    com_ptr& operator=(com_ptr&& other) noexcept {
        if (this != &other)
            reset(other.release());
        return *this;
    }
    ~com_ptr() { reset(); }

    T* get() const noexcept { return m_p; }
    T* operator->() const noexcept { return m_p; }
    explicit operator bool() const noexcept { return m_p != nullptr; }

    // Releases the held reference (if any) and adopts p.
    void reset(T* p = nullptr) noexcept {
        if (m_p)
            m_p->Release();
        m_p = p;
    }
    T* release() noexcept { return std::exchange(m_p, nullptr); }

    // For out-parameters: releases what is held and hands out the slot.
    T** put() noexcept {
        reset();
        return &m_p;
    }
    void** put_void() noexcept { return reinterpret_cast<void**>(put()); }

private:
    T* m_p = nullptr;
};

// COM for the calling thread from construction to destruction; shut down only when it started.
class CComScope {
public:
    explicit CComScope(DWORD model) noexcept : m_started(SUCCEEDED(CoInitializeEx(nullptr, model))) {}
    ~CComScope() {
        if (m_started)
            CoUninitialize();
    }
    CComScope(const CComScope&) = delete;
    CComScope& operator=(const CComScope&) = delete;

private:
    bool m_started;
};

using UniqueBstr = unique_handle<BSTR, &SysFreeString>;

// A BSTR copy of text; exhausted memory raises std::bad_alloc.
inline UniqueBstr MakeBstr(const wchar_t* text) {
    UniqueBstr bstr(SysAllocString(text));
    if (!bstr)
        throw std::bad_alloc();
    return bstr;
}

}  // namespace zid
