#include "win/callback_guard.h"

#include <windows.h>

namespace zid {

namespace {
std::exception_ptr& Stored() {
    static std::exception_ptr stored;
    return stored;
}
}  // namespace

void StoreCallbackException(std::exception_ptr error) noexcept {
    if (!Stored())
        Stored() = error;
    PostQuitMessage(1);
}

void RethrowCallbackException() {
    if (std::exception_ptr error = Stored()) {
        Stored() = nullptr;
        std::rethrow_exception(error);
    }
}

}  // namespace zid
