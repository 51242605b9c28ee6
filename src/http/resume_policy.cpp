#include "http/resume_policy.h"

#include <string_view>

#include "http/http_fields.h"

namespace zid {

namespace {

constexpr size_t kMaxValidator = 256;  // characters of a Last-Modified date kept at most

bool IsPrintableAscii(const std::string& text) {
    for (char c : text) {
        if (c < 0x20 || c > 0x7E)
            return false;
    }
    return true;
}

// The last transfer coding is what frames the body; "chunked" is the only one a server may send here.
bool IsChunked(std::string_view codings) {
    const size_t comma = codings.find_last_of(',');
    if (comma != std::string_view::npos)
        codings.remove_prefix(comma + 1);
    while (!codings.empty() && (codings.front() == ' ' || codings.front() == '\t'))
        codings.remove_prefix(1);
    while (!codings.empty() && (codings.back() == ' ' || codings.back() == '\t'))
        codings.remove_suffix(1);
    constexpr std::string_view kChunked = "chunked";
    if (codings.size() != kChunked.size())
        return false;
    for (size_t i = 0; i < codings.size(); ++i) {
        if ((codings[i] | 0x20) != kChunked[i])
            return false;
    }
    return true;
}

// Whether the response names the same file as source: the same strong ETag, or the same date.
// absentIsSame: a response without that validator at all does not contradict it.
bool VouchesFor(const Validator& source, const ResponseFields& response, bool absentIsSame) {
    const std::string& value = source.Kind == ValidatorKind::EntityTag ? response.ETag : response.LastModified;
    if (source.Kind == ValidatorKind::None)
        return false;
    return value == source.Value || (absentIsSame && value.empty());
}

ResponsePlan Refused(const char* reason) {
    ResponsePlan plan;
    plan.Reason = reason;
    return plan;
}

ResponsePlan Discarded(const char* reason) {
    ResponsePlan plan;
    plan.Action = ResponseAction::Discard;
    plan.Reason = reason;
    return plan;
}

ResponsePlan WholeFile(const ResponseFields& response) {
    ResponsePlan plan;
    plan.Action = ResponseAction::StartOver;
    plan.BodyBytes = AnnouncedLength(response);
    if (!plan.BodyBytes && !IsChunked(response.TransferEncoding) && !response.ContentLength.empty())
        return Refused("a Content-Length that is not a number");
    plan.Total = plan.BodyBytes;
    plan.Source = RecordableValidator(response);
    return plan;
}

ResponsePlan RestOfFile(const PartialState& partial, const ResponseFields& response) {
    const auto range = ParseContentRange(response.ContentRange);
    if (!range || range->Unsatisfied)
        return Discarded("a part without a readable Content-Range");
    if (range->First != partial.Size)
        return Discarded("a part that does not begin where the partial file ends");
    if (range->Last + 1 != range->Total)
        return Discarded("a part that does not reach the end of the file");
    if (partial.Total && *partial.Total != range->Total)
        return Discarded("a part of a file of another size");
    if (!VouchesFor(partial.Source, response, false))
        return Discarded("a part of another version of the file");
    const std::uint64_t bytes = range->Last - range->First + 1;
    if (!IsChunked(response.TransferEncoding) && !response.ContentLength.empty() &&
        ParseContentLength(response.ContentLength) != bytes)
        return Discarded("a part whose Content-Length is not that of its range");
    ResponsePlan plan;
    plan.Action = ResponseAction::Continue;
    plan.BodyBytes = bytes;
    plan.Total = range->Total;
    plan.Source = partial.Source;
    return plan;
}

// 416 to a range that begins at the partial file's end: the file has no byte after it, so the partial
// file is the whole one if the server's total is exactly its size.
ResponsePlan NothingAfterPartial(const PartialState& partial, const ResponseFields& response) {
    const auto range = ParseContentRange(response.ContentRange);
    if (!range || !range->Unsatisfied || range->Total != partial.Size ||
        (partial.Total && *partial.Total != partial.Size) || !VouchesFor(partial.Source, response, true))
        return Discarded("the server's file is shorter than the partial file");
    ResponsePlan plan;
    plan.Action = ResponseAction::Whole;
    plan.BodyBytes = 0;
    plan.Total = partial.Size;
    plan.Source = partial.Source;
    return plan;
}

}  // namespace

bool CanContinue(const PartialState& partial) {
    return partial.Size > 0 && partial.Source.Kind != ValidatorKind::None && !partial.Source.Value.empty();
}

bool IsWhole(const PartialState& partial) {
    return partial.Size > 0 && partial.Total == partial.Size;
}

std::string ResumeRequestFields(const PartialState& partial) {
    if (!CanContinue(partial) || !IsPrintableAscii(partial.Source.Value))
        return {};
    return "Range: bytes=" + std::to_string(partial.Size) + "-\r\nIf-Range: " + partial.Source.Value + "\r\n";
}

Validator RecordableValidator(const ResponseFields& response) {
    Validator validator;
    // A weak or unreadable ETag still names the file: a date must then not be used in its place.
    if (!response.ETag.empty()) {
        if (IsEntityTag(response.ETag) && !IsWeakEntityTag(response.ETag))
            validator = {ValidatorKind::EntityTag, response.ETag};
        return validator;
    }
    const auto modified = ParseHttpDate(response.LastModified);
    const auto date = ParseHttpDate(response.Date);
    if (modified && date && *date - *modified >= kStrongDateMargin && response.LastModified.size() <= kMaxValidator)
        validator = {ValidatorKind::LastModified, response.LastModified};
    return validator;
}

std::optional<std::uint64_t> AnnouncedLength(const ResponseFields& response) {
    // A chunked body's own length (if one is sent at all) is not its length.
    if (IsChunked(response.TransferEncoding))
        return std::nullopt;
    return ParseContentLength(response.ContentLength);
}

ResponsePlan PlanResponse(const PartialState& partial, const ResponseFields& response) {
    const bool resuming = !ResumeRequestFields(partial).empty();
    switch (response.Status) {
    case 200:
        return WholeFile(response);
    case 206:
        return resuming ? RestOfFile(partial, response) : Refused("a part that was not asked for");
    case 416:
        return resuming ? NothingAfterPartial(partial, response) : Refused("a range answer to a request for no range");
    default:
        return Refused("an answer that is not the file");
    }
}

BodyEnd JudgeBodyEnd(const ResponsePlan& plan, std::uint64_t received) {
    if (!plan.BodyBytes)
        return BodyEnd::Unproven;
    return received == *plan.BodyBytes ? BodyEnd::Whole : BodyEnd::Short;
}

}  // namespace zid
