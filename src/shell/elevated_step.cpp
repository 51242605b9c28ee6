#include "shell/elevated_step.h"

#include <shellapi.h>

#include <string>

#include "operations/leftover_entry.h"
#include "win/handles.h"

namespace zid {

std::optional<int> RunElevatedStep(const wchar_t* commandTail, IWindowsInstaller& installer) {
    if (!commandTail || !*commandTail)
        return std::nullopt;
    int count = 0;
    UniqueArgumentList parts(CommandLineToArgvW(commandTail, &count));
    if (!parts || count < 1 || std::wstring(parts.get()[0]) != kRemoveLeftoverSwitch)
        return std::nullopt;
    // Run with rights the user does not have, on a command line anyone could write: nothing but the
    // exact form is taken.
    if (count != 3)
        return ERROR_INVALID_PARAMETER;
    const std::wstring view = parts.get()[1];
    if (view != L"32" && view != L"64")
        return ERROR_INVALID_PARAMETER;
    return static_cast<int>(RemoveLeftoverKey(parts.get()[2], view == L"64", installer));
}

}  // namespace zid
