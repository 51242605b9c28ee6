// Header fields of an HTTP response, as they come from a server: read strictly, anything else refused.
// Standard C++ only, so the rules can be checked anywhere.
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

namespace zid {

// A byte range "bytes <first>-<last>/<total>" (206), or "bytes */<total>" (416: Unsatisfied).
struct ContentRange {
    std::uint64_t First = 0;
    std::uint64_t Last = 0;
    std::uint64_t Total = 0;
    bool Unsatisfied = false;  // "*/<total>": no part, only the size of the whole
};

// A Content-Length value: decimal digits only; nothing when it is absent or not a number.
std::optional<std::uint64_t> ParseContentLength(std::string_view text);

// A Content-Range value of either form; nothing for anything else (other units, several ranges,
// first > last, last >= total, an unknown total).
std::optional<ContentRange> ParseContentRange(std::string_view text);

// An HTTP date in any of its three forms (IMF-fixdate "Sun, 06 Nov 1994 08:49:37 GMT", the obsolete
// RFC 850 and asctime ones) as seconds since 1970-01-01 00:00:00 UTC; nothing when it is not one.
std::optional<std::int64_t> ParseHttpDate(std::string_view text);

// Whether text is an entity tag as a server may send it: "<printable ASCII>", or weak: W/"...".
bool IsEntityTag(std::string_view text);
inline bool IsWeakEntityTag(std::string_view text) {
    return text.size() >= 2 && text.substr(0, 2) == "W/";
}

}  // namespace zid
