// The website's base address and its staging switch.
#include <gtest/gtest.h>

#include "releases/website_address.h"
#include "support/test_util.h"

namespace zid {

TEST(WebsiteBase, HttpsOfOurHostByDefault) {
    EnvironmentOverride none(L"ZIDEZUREZIV_WEBSITE", nullptr);
    const std::wstring base = GetWebsiteBase();
    EXPECT_EQ(base.substr(0, 8), L"https://");
    EXPECT_GT(base.size(), 9u);
    EXPECT_EQ(base.back(), L'/');
}

// Anyone on the network could change what plain HTTP brings, except on this machine.
TEST(WebsiteBase, StagingTakesHttpsAnywhereAndHttpOnlyOnThisMachine) {
    std::wstring standard;
    {
        EnvironmentOverride none(L"ZIDEZUREZIV_WEBSITE", nullptr);
        standard = GetWebsiteBase();
    }
    for (const wchar_t* value :
         {L"https://staging.velonar.example/", L"https://10.0.0.5:8443/site/", L"http://127.0.0.1:8080/ok/",
          L"http://127.200.3.4/", L"http://LocalHost:81/x/", L"http://[::1]:8080/"}) {
        EnvironmentOverride staging(L"ZIDEZUREZIV_WEBSITE", value);
        EXPECT_EQ(GetWebsiteBase(), value) << Narrow(value);
    }
    for (const wchar_t* value :
         {L"http://staging.velonar.example/", L"http://10.0.0.5/", L"http://127.0.0.1.evil.example/",
          L"http://127.0.0.256/", L"http://127.0.0/", L"http://localhost.evil.example/", L"http://[::2]/",
          L"http://127.0.0.1/no-slash", L"ftp://127.0.0.1/", L"HTTP://127.0.0.1/", L"https:///", L"/"}) {
        EnvironmentOverride staging(L"ZIDEZUREZIV_WEBSITE", value);
        EXPECT_EQ(GetWebsiteBase(), standard) << Narrow(value);
    }
}

}  // namespace zid
