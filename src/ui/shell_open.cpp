#include "ui/shell_open.h"

#include <cstdio>

#include "win/shell_open.h"

namespace zid {

void ShellOpen(IPrompt& prompt, const std::wstring& target, bool underWine) {
    const int failure = OpenWithShell(target, underWine);
    if (failure == 0)
        return;
    wchar_t detail[64];
    swprintf(detail, 64, L"Error code = %d", failure);
    TellContext(prompt, target, detail, MB_ICONWARNING);
}

}  // namespace zid
