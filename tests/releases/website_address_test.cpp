// The website's base address and its staging switch.
#include <gtest/gtest.h>

#include "releases/website_address.h"
#include "support/test_util.h"

TEST(WebsiteBase, PlainHttpOfOurHostByDefault) {
    EnvironmentOverride none(L"ZIDEZUREZIV_WEBSITE", nullptr);
    const std::wstring base = GetWebsiteBase();
    EXPECT_EQ(base.substr(0, 7), L"http://");
    EXPECT_GT(base.size(), 8u);
    EXPECT_EQ(base.back(), L'/');
}

TEST(WebsiteBase, StagingSwitchReplacesTheWholeAddress) {
    EnvironmentOverride staging(L"ZIDEZUREZIV_WEBSITE", L"https://127.0.0.1:8443/staging/");
    EXPECT_EQ(GetWebsiteBase(), L"https://127.0.0.1:8443/staging/");
}

TEST(WebsiteBase, StagingSwitchIgnoresAnythingElse) {
    std::wstring standard;
    {
        EnvironmentOverride none(L"ZIDEZUREZIV_WEBSITE", nullptr);
        standard = GetWebsiteBase();
    }
    for (const wchar_t* value : {L"http://127.0.0.1/no-slash", L"ftp://127.0.0.1/", L"HTTP://127.0.0.1/", L"/"}) {
        EnvironmentOverride staging(L"ZIDEZUREZIV_WEBSITE", value);
        EXPECT_EQ(GetWebsiteBase(), standard) << Narrow(value);
    }
}
