// The log pane: one time prefix and one line break per line, kept text for a control to come,
// clearing, and the last line scrolled into view.
#include <gtest/gtest.h>

#include <windows.h>

#include <iterator>
#include <regex>

#include "support/test_util.h"
#include "ui/log_pane.h"
#include "win/errors.h"
#include "win/handles.h"

namespace zid {

namespace {

size_t CountPrefixes(const std::wstring& text) {
    static const std::wregex prefix(L"\\d\\d:\\d\\d:\\d\\d ");
    return static_cast<size_t>(
        std::distance(std::wsregex_iterator(text.begin(), text.end(), prefix), std::wsregex_iterator()));
}

}  // namespace

TEST(LogPane, EachLineHasOneTimePrefixAndOneLineBreak) {
    const struct {
        std::wstring Line;
        std::wstring Ending;  // what the pane's text then ends with
    } cases[] = {
        {L"Install started", L" Install started\r\n"},
        {L"done\r\n", L" done\r\n"},  // error texts keep the system's break: no second one
        {L"Uninstall: " + GetErrorText(ERROR_ACCESS_DENIED), L"\r\n"},
        {L"", L":\\d\\d \r\n"},
        {L"first\r\nsecond", L" first\r\nsecond\r\n"},
    };
    CLogPane pane;
    size_t lines = 0;
    for (const auto& c : cases) {
        pane.AddLine(c.Line);
        ++lines;
        EXPECT_EQ(CountPrefixes(pane.Text()), lines) << Narrow(c.Line);
        if (c.Ending.starts_with(L":"))
            EXPECT_TRUE(std::regex_search(pane.Text(), std::wregex(c.Ending + L"$"))) << Narrow(pane.Text());
        else
            EXPECT_TRUE(pane.Text().ends_with(c.Ending)) << Narrow(pane.Text());
    }
    EXPECT_EQ(pane.Text().find(L"\r\n\r\n"), std::wstring::npos) << Narrow(pane.Text());
}

// Lines told before the control exists appear once it is attached; clearing empties both.
TEST(LogPane, KeepsTheTextForTheControlAndScrollsToTheLastLine) {
    UniqueWindow edit(CreateWindowW(L"EDIT", L"", WS_POPUP | WS_VSCROLL | ES_MULTILINE | ES_READONLY, 0, 0, 300, 80,
                                    nullptr, nullptr, nullptr, nullptr));
    ASSERT_TRUE(edit);
    CLogPane pane;
    pane.AddLine(L"early");
    pane.Attach(edit.get());
    EXPECT_EQ(WindowText(edit.get()), pane.Text());
    EXPECT_TRUE(pane.Text().ends_with(L" early\r\n"));

    for (int i = 0; i < 40; ++i)
        pane.AddLine(L"line " + std::to_wstring(i));
    EXPECT_EQ(WindowText(edit.get()), pane.Text());
    // Setting the text shows the first line again; the pane scrolls back down.
    EXPECT_GT(SendMessageW(edit.get(), EM_GETFIRSTVISIBLELINE, 0, 0), 30);

    pane.Clear();
    EXPECT_EQ(pane.Text(), L"");
    EXPECT_EQ(WindowText(edit.get()), L"");
    pane.AddLine(L"three");
    EXPECT_EQ(CountPrefixes(WindowText(edit.get())), 1u);
}

}  // namespace zid
