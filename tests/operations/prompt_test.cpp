// What the layers below the window tell: "context: detail", the detail alone without a context.
#include <gtest/gtest.h>

#include "operations/prompt.h"
#include "support/scripted_prompt.h"
#include "win/errors.h"

namespace zid {

TEST(Prompt, ContextColonDetail) {
    CScriptedPrompt prompt;
    TellError(prompt, L"OpenKey(1)", ERROR_ACCESS_DENIED);
    TellContext(prompt, L"", L"Unable to create a log file", MB_ICONWARNING);
    TellContext(prompt, L"C:\\x.txt", L"", MB_ICONWARNING);
    ASSERT_EQ(prompt.Boxes().size(), 3u);
    EXPECT_EQ(prompt.Boxes()[0].text, L"OpenKey(1): " + GetErrorText(ERROR_ACCESS_DENIED));
    EXPECT_EQ(prompt.Boxes()[0].style, static_cast<UINT>(MB_ICONERROR));
    EXPECT_EQ(prompt.Boxes()[1].text, L"Unable to create a log file");
    EXPECT_EQ(prompt.Boxes()[2].text, L"C:\\x.txt: ");
}

}  // namespace zid
