// The response headers the download engine reads, as text: lengths beyond 32 bits, validators,
// ranges. Every value comes from the server and is checked before use (http/resume_policy.h).
#pragma once

#include <windows.h>
#include <wininet.h>

#include <string>

#include "http/resume_policy.h"

namespace zid {

// The fields of the response that the download rules read, with status. A field that is absent is
// empty; one that is longer than 511 characters or not ASCII cannot be read and is given as "\x7F",
// which no field may hold: it is refused as it would be if it were read.
zid::ResponseFields ReadResponseFields(HINTERNET request, unsigned status);

// True when a request for an https:// address ended up, through redirects, at a plain http:// one,
// where anyone on the way could have changed the answer.
bool RedirectedToPlainHttp(HINTERNET request, const std::wstring& requestedUrl);

}  // namespace zid
