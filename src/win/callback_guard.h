// Keeps exceptions from crossing Win32 callbacks: the callback's body runs in a guard, and an
// escaped exception is carried to the message pump, which rethrows it into the entry's guard.
#pragma once

#include <exception>

namespace zid {

// Stores the exception in flight and asks the main loop to stop.
void StoreCallbackException(std::exception_ptr error) noexcept;

// Rethrows a stored exception, if any; called by the pump outside every callback.
void RethrowCallbackException();

template <typename Result, typename Body>
Result GuardCallback(Result onFailure, Body&& body) noexcept {
    try {
        return body();
    } catch (...) {
        StoreCallbackException(std::current_exception());
        return onFailure;
    }
}

}  // namespace zid
