// The resume rules as a server may test them: every answer that does not prove it continues the same
// file exactly is never appended, a weak or too recent validator is never sent, and only an announced
// length proves an end.
#include <gtest/gtest.h>

#include "http/resume_policy.h"

namespace zid {

namespace {

constexpr char kOld[] = "Thu, 01 Jan 2026 00:00:00 GMT";
constexpr char kNow[] = "Wed, 09 Dec 2026 07:00:00 GMT";

ResponseFields Answer(unsigned status, std::string length, std::string range = "", std::string etag = "\"v1\"",
                      std::string modified = kOld, std::string coding = "") {
    return {status, std::move(length), std::move(range), std::move(coding), std::move(etag), std::move(modified), kNow};
}

const PartialState kFresh{};
const PartialState kHalf{500, {ValidatorKind::EntityTag, "\"v1\""}, 1000};
const PartialState kHalfByDate{500, {ValidatorKind::LastModified, kOld}, 1000};
const PartialState kHalfOfUnknown{500, {ValidatorKind::EntityTag, "\"v1\""}, std::nullopt};
const PartialState kUnvouched{500, {}, 1000};

}  // namespace

TEST(ResumePolicy, OnlyAnAnswerThatProvablyContinuesTheSameFileIsAppended) {
    using A = ResponseAction;
    struct Case {
        const char* Name;
        const PartialState& Partial;
        ResponseFields Response;
        A Action;
        std::optional<std::uint64_t> BodyBytes;
        std::optional<std::uint64_t> Total;
    };
    const Case cases[] = {
        {"whole file", kFresh, Answer(200, "1000"), A::StartOver, 1000, 1000},
        {"no length", kFresh, Answer(200, ""), A::StartOver, std::nullopt, std::nullopt},
        {"length 0", kFresh, Answer(200, "0"), A::StartOver, 0, 0},
        {"chunked: its length is none", kFresh, Answer(200, "1000", "", "\"v1\"", kOld, "chunked"), A::StartOver,
         std::nullopt, std::nullopt},
        {"length not a number", kFresh, Answer(200, "1e3"), A::Refuse, std::nullopt, std::nullopt},
        {"part not asked for", kFresh, Answer(206, "500", "bytes 500-999/1000"), A::Refuse, std::nullopt, std::nullopt},
        {"error page", kHalf, Answer(404, "300"), A::Refuse, std::nullopt, std::nullopt},
        {"the file changed", kHalf, Answer(200, "1200", "", "\"v2\""), A::StartOver, 1200, 1200},
        {"the rest", kHalf, Answer(206, "500", "bytes 500-999/1000"), A::Continue, 500, 1000},
        {"the rest by date", kHalfByDate, Answer(206, "500", "bytes 500-999/1000", ""), A::Continue, 500, 1000},
        {"the rest of a total now known", kHalfOfUnknown, Answer(206, "1500", "bytes 500-1999/2000"), A::Continue, 1500,
         2000},
        {"overlap", kHalf, Answer(206, "600", "bytes 400-999/1000"), A::Discard, std::nullopt, std::nullopt},
        {"gap", kHalf, Answer(206, "400", "bytes 600-999/1000"), A::Discard, std::nullopt, std::nullopt},
        {"short of the end", kHalf, Answer(206, "400", "bytes 500-899/1000"), A::Discard, std::nullopt, std::nullopt},
        {"other total", kHalf, Answer(206, "1500", "bytes 500-1999/2000"), A::Discard, std::nullopt, std::nullopt},
        {"other ETag (If-Range ignored)", kHalf, Answer(206, "500", "bytes 500-999/1000", "\"v2\""), A::Discard,
         std::nullopt, std::nullopt},
        {"weak ETag", kHalf, Answer(206, "500", "bytes 500-999/1000", "W/\"v1\""), A::Discard, std::nullopt,
         std::nullopt},
        {"other date", kHalfByDate, Answer(206, "500", "bytes 500-999/1000", "", kNow), A::Discard, std::nullopt,
         std::nullopt},
        {"length not the range's", kHalf, Answer(206, "400", "bytes 500-999/1000"), A::Discard, std::nullopt,
         std::nullopt},
        {"nothing after a whole partial file", kHalfOfUnknown, Answer(416, "0", "bytes */500", ""), A::Whole, 0, 500},
        {"nothing after, record says more", kHalf, Answer(416, "0", "bytes */500", ""), A::Discard, std::nullopt,
         std::nullopt},
        {"the server's file is shorter", kHalfOfUnknown, Answer(416, "0", "bytes */400", ""), A::Discard, std::nullopt,
         std::nullopt},
        {"416 of another version", kHalfOfUnknown, Answer(416, "0", "bytes */500", "\"v2\""), A::Discard, std::nullopt,
         std::nullopt},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Name);
        const ResponsePlan plan = PlanResponse(c.Partial, c.Response);
        EXPECT_EQ(plan.Action, c.Action);
        EXPECT_EQ(plan.BodyBytes, c.BodyBytes);
        EXPECT_EQ(plan.Total, c.Total);
        const bool writes = c.Action == A::StartOver || c.Action == A::Continue;
        EXPECT_EQ(std::string(plan.Reason).empty(), writes || c.Action == A::Whole);
        if (c.Action == A::Continue)
            EXPECT_EQ(plan.Source.Value, c.Partial.Source.Value);
    }
}

TEST(ResumePolicy, OnlyAStrongValidatorIsKeptAndSentBack) {
    struct Case {
        const char* Name;
        ResponseFields Response;
        ValidatorKind Kind;
    };
    const std::string minuteBefore = "Wed, 09 Dec 2026 06:59:00 GMT";
    const Case cases[] = {
        {"strong ETag", Answer(200, "1", "", "\"v1\""), ValidatorKind::EntityTag},
        {"weak ETag, old date: no date in its place", Answer(200, "1", "", "W/\"v1\""), ValidatorKind::None},
        {"no ETag, old date", Answer(200, "1", "", ""), ValidatorKind::LastModified},
        {"no ETag, a minute before", Answer(200, "1", "", "", minuteBefore), ValidatorKind::LastModified},
        {"no ETag, 59 s before", Answer(200, "1", "", "", "Wed, 09 Dec 2026 06:59:01 GMT"), ValidatorKind::None},
        {"no ETag, no date", Answer(200, "1", "", "", ""), ValidatorKind::None},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Name);
        const Validator kept = PlanResponse(kFresh, c.Response).Source;
        EXPECT_EQ(kept.Kind, c.Kind);
        EXPECT_EQ(kept.Value, c.Kind == ValidatorKind::EntityTag      ? c.Response.ETag
                              : c.Kind == ValidatorKind::LastModified ? c.Response.LastModified
                                                                      : "");
    }
    EXPECT_EQ(ResumeRequestFields(kHalf), "Range: bytes=500-\r\nIf-Range: \"v1\"\r\n");
    EXPECT_EQ(ResumeRequestFields(kHalfByDate), "Range: bytes=500-\r\nIf-Range: " + std::string(kOld) + "\r\n");
    EXPECT_EQ(ResumeRequestFields(kUnvouched), "");
    EXPECT_EQ(ResumeRequestFields(PartialState{0, {ValidatorKind::EntityTag, "\"v1\""}, 1000}), "");
    EXPECT_EQ(ResumeRequestFields(PartialState{500, {ValidatorKind::EntityTag, "\"v1\"\r\nX: y"}, 1000}), "");
}

TEST(ResumePolicy, OnlyAnAnnouncedLengthProvesAnEnd) {
    ResponsePlan plan;
    EXPECT_EQ(JudgeBodyEnd(plan, 1000), BodyEnd::Unproven);
    plan.BodyBytes = 1000;
    EXPECT_EQ(JudgeBodyEnd(plan, 1000), BodyEnd::Whole);
    EXPECT_EQ(JudgeBodyEnd(plan, 999), BodyEnd::Short);
    plan.BodyBytes = 0;
    EXPECT_EQ(JudgeBodyEnd(plan, 0), BodyEnd::Whole);
    EXPECT_TRUE(IsWhole(PartialState{1000, {}, 1000}));
    EXPECT_FALSE(IsWhole(kHalf) || IsWhole(kHalfOfUnknown) || IsWhole(kFresh));
}

}  // namespace zid
