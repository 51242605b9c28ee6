// The window that owns what the program shows while it waits: the main window, or a test's stand-in.
#pragma once

#include <windows.h>

namespace zid {

class IOwnerWindow {
public:
    // The window, or null while there is none.
    virtual HWND Window() const = 0;

protected:
    ~IOwnerWindow() = default;
};

}  // namespace zid
