// Header fields as servers send them: only exact forms are read, everything else is refused.
#include <gtest/gtest.h>

#include "http/http_fields.h"

namespace zid {

TEST(HttpFields, LengthsRangesDatesAndTagsOnlyInTheirExactForm) {
    EXPECT_EQ(ParseContentLength("0"), 0u);  // a length of 0 is a length
    EXPECT_EQ(ParseContentLength("9999999999999999999"), 9999999999999999999u);
    for (const char* bad : {"", " 1", "+1", "1,1", "0x10", "18446744073709551616"})
        EXPECT_FALSE(ParseContentLength(bad)) << bad;
    const auto part = ParseContentRange("bytes 4294967296-5368709119/5368709120");
    ASSERT_TRUE(part);
    EXPECT_EQ(part->First + part->Last + part->Total, 4294967296u + 5368709119u + 5368709120u);
    EXPECT_TRUE(ParseContentRange("bytes */1000")->Unsatisfied);
    for (const char* bad : {"bytes 100-199/*", "bytes 100-199/199", "bytes 200-100/300", "bytes 100-199/200, 0-9",
                            "items 100-199/200", "bytes -199/200"})
        EXPECT_FALSE(ParseContentRange(bad)) << bad;

    for (const char* date :
         {"Sun, 06 Nov 1994 08:49:37 GMT", "Sunday, 06-Nov-94 08:49:37 GMT", "Sun Nov  6 08:49:37 1994"})
        EXPECT_EQ(ParseHttpDate(date), 784111777) << date;  // 1994-11-06 08:49:37 UTC
    EXPECT_EQ(ParseHttpDate("Tue, 29 Feb 2028 23:59:59 GMT"), 1835481599);
    EXPECT_EQ(ParseHttpDate("Thursday, 01-Jan-26 00:00:00 GMT"), 1767225600);  // two digits: this century
    for (const char* bad :
         {"Sun, 06 Nov 1994 08:49:37 UTC", "Sun, 6 Nov 1994 08:49:37 GMT", "Sun, 31 Nov 1994 08:49:37 GMT",
          "Sun, 29 Feb 2027 08:49:37 GMT", "Sun, 06 Nov 1994 24:00:00 GMT", "1994-11-06T08:49:37Z"})
        EXPECT_FALSE(ParseHttpDate(bad)) << bad;

    for (const char* tag : {"\"a\"", "W/\"a\"", "\"5f-1a2b\""})
        EXPECT_TRUE(IsEntityTag(tag)) << tag;
    for (const char* tag : {"a", "\"a", "w/\"a\"", "\"a b\"", "\"a\r\nX: y\""})
        EXPECT_FALSE(IsEntityTag(tag)) << tag;
}

}  // namespace zid
