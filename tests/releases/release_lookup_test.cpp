// One release looked up in a catalogue page for a repair or uninstall whose packages are gone.
#include <gtest/gtest.h>

#include "html/html_parser.h"
#include "packages/inventory.h"
#include "releases/release_lookup.h"
#include "support/test_util.h"

namespace zid {

TEST(FindReleaseLink, OnlyTheExactVersionOfTheBuildWithALink) {
    const wchar_t download[] =
        L"<html><body><div id=\"vncurrent32\"><a href=\"packages/v32-5.46.msi\">Velonar 5.46 for Windows</a></div>"
        L"<div id=\"vncurrent64\"><a href=\"packages/v64-5.46.msi\">Velonar 5.46 for Windows</a></div></body></html>";
    const wchar_t archive[] =
        L"<html><body><h2 id=\"archive32bit\">32-bit</h2><table><tr><th>Package</th></tr>"
        L"<tr><td><a href=\"packages/v32-5.30.2.msi\">Velonar 5.30.2</a></td></tr></table>"
        L"<table id=\"archive64bit\"><tr><td><a href=\"a64.msi\">Velonar 5.30.20</a></td></tr>"
        L"<tr><td><a href=\"b64.msi\">Velonar 5.30.2</a></td></tr><tr><td>Velonar "
        L"5.30.3</td></tr></table></body></html>";
    struct Case {
        const wchar_t* Page;
        const wchar_t* Version;
        bool Is64Bit;
        const wchar_t* Link;
    };
    for (const Case& c : {Case{download, L"5.46", false, L"packages/v32-5.46.msi"},
                          Case{download, L"5.46.0", true, L"packages/v64-5.46.msi"}, Case{download, L"5.45", true, L""},
                          Case{archive, L"5.30.2", false, L"packages/v32-5.30.2.msi"},
                          Case{archive, L"5.30.2", true, L"b64.msi"}, Case{archive, L"5.30.20", true, L"a64.msi"},
                          Case{archive, L"5.30.3", true, L""}, Case{archive, L"5.30", false, L""}}) {
        CHtmlParser parser;
        parser.Parse(c.Page);
        EXPECT_EQ(FindReleaseLink(parser, c.Page == archive, MakePackedVersion(c.Version), c.Is64Bit), c.Link)
            << Narrow(c.Version) << (c.Is64Bit ? " 64" : " 32");
    }
}

}  // namespace zid
