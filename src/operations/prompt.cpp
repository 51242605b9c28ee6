#include "operations/prompt.h"

#include "win/errors.h"

namespace zid {

void TellContext(IPrompt& prompt, const std::wstring& context, const std::wstring& detail, UINT style) {
    prompt.Tell(context.empty() ? detail : context + L": " + detail, style);
}

void TellError(IPrompt& prompt, const std::wstring& context, DWORD code) {
    TellContext(prompt, context, GetErrorText(code), MB_ICONERROR);
}

}  // namespace zid
