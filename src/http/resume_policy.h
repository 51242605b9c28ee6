// The rules of a download into a file that may continue a partial file: which request to send, what
// an answer allows (start over, continue, the part is whole already, discard, refuse) and when a body
// is whole. Standard C++ only; the WinINet driver asks and does what it is told.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace zid {

// How the partial file's validator vouches for the file it came from.
enum class ValidatorKind {
    None,          // it cannot: the partial file can never be continued
    EntityTag,     // a strong ETag
    LastModified,  // a Last-Modified date that is a strong validator (a minute or more before the Date)
};

struct Validator {
    ValidatorKind Kind = ValidatorKind::None;
    std::string Value;  // the ETag or the date exactly as the server sent it
};

// What is on disk before a request: the partial file and what its record says of the whole.
struct PartialState {
    std::uint64_t Size = 0;              // bytes in the partial file; 0: a download from the start
    Validator Source;                    // the validator of the file the partial one is the start of
    std::optional<std::uint64_t> Total;  // the whole file's bytes, when they were announced
};

// The fields of a response that the rules read, as the server sent them (empty when absent).
struct ResponseFields {
    unsigned Status = 0;
    std::string ContentLength;
    std::string ContentRange;
    std::string TransferEncoding;
    std::string ETag;
    std::string LastModified;
    std::string Date;
};

enum class ResponseAction {
    StartOver,  // the whole file comes: written from the start, whatever the partial file held
    Continue,   // the rest of the partial file comes: appended
    Whole,      // the partial file is the whole file already: nothing to read
    Discard,    // the partial file is of no use and nothing comes to write: delete it, ask for the whole
    Refuse,     // no file comes (an error page, a part not asked for): write nothing, keep the partial file
};

struct ResponsePlan {
    ResponseAction Action = ResponseAction::Refuse;
    std::optional<std::uint64_t> BodyBytes;  // what the body must bring; none: its end cannot be known
    std::optional<std::uint64_t> Total;      // the whole file's bytes, when known
    Validator Source;                        // StartOver, Continue: what the record keeps from now on
    const char* Reason = "";                 // Discard, Refuse: why, as a phrase
};

// How a body that ended without an error ended.
enum class BodyEnd {
    Whole,     // every announced byte arrived
    Short,     // fewer than announced: cut
    Unproven,  // nothing was announced (a chunked or a close-delimited body): it may have been cut
};

// Seconds a Last-Modified date must lie before the response's Date to be a strong validator.
inline constexpr std::int64_t kStrongDateMargin = 60;

// Whether the partial file can be continued: it holds something and a validator vouches for it.
bool CanContinue(const PartialState& partial);

// Whether the partial file is known to be the whole file (a download whose rename failed).
bool IsWhole(const PartialState& partial);

// The request fields that continue partial ("Range: bytes=<size>-" and "If-Range: <validator>", each
// ending in CR LF), or empty when it cannot be continued: then the whole file is asked for.
std::string ResumeRequestFields(const PartialState& partial);

// The validator of a response that If-Range may send back later: a strong ETag; else, only when there
// is no ETag at all, a Last-Modified date at least kStrongDateMargin before the Date; else none.
Validator RecordableValidator(const ResponseFields& response);

// The body's length as the response announces it: its Content-Length, unless the body is chunked (its
// own framing then decides); nothing when there is none or it is not a number.
std::optional<std::uint64_t> AnnouncedLength(const ResponseFields& response);

// What the answer to a request made for partial (ResumeRequestFields) allows.
ResponsePlan PlanResponse(const PartialState& partial, const ResponseFields& response);

// How a body of a plan ended after received bytes with no error.
BodyEnd JudgeBodyEnd(const ResponsePlan& plan, std::uint64_t received);

}  // namespace zid
