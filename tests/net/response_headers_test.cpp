// Content-Range as a server may send it: only an exact "bytes first-last/total" is taken.
#include <gtest/gtest.h>

#include "net/response_headers.h"
#include "support/test_util.h"

TEST(ParseContentRange, TakesOnlyOneWholeRangeInsideItsTotal) {
    unsigned long long first = 7;
    unsigned long long last = 7;
    unsigned long long total = 7;
    ASSERT_TRUE(ParseContentRange(L"bytes 100-199/200", first, last, total));
    EXPECT_EQ(first + last + total, 100u + 199u + 200u);
    ASSERT_TRUE(ParseContentRange(L"bytes 0-4294967296/4294967297", first, last, total));
    EXPECT_EQ(total, 4294967297ull);
    for (const wchar_t* text : {L"", L"bytes */200", L"bytes 100-199/*", L"bytes 100-199/199", L"bytes 200-100/300",
                                L"bytes 100-199/200, 0-9", L"bytes 100-199/200x", L"items 100-199/200"}) {
        first = last = total = 7;
        EXPECT_FALSE(ParseContentRange(text, first, last, total)) << Narrow(text);
        EXPECT_EQ(first + last + total, 21u);
    }
}
