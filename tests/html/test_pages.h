// The pages under tests/html/pages, compiled into the test program.
#pragma once

#include <vector>

namespace zid {

struct TestPage {
    const wchar_t* name;  // file name, e.g. L"Download.htm"
    const wchar_t* text;
};

const std::vector<TestPage>& TestPages();

}  // namespace zid
