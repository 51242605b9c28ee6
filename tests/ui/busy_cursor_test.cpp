// The busy cursor: nested ones unwind to the cursor that was showing before the outermost.
#include <gtest/gtest.h>

#include <windows.h>

#include <optional>

#include "ui/busy_cursor.h"

namespace zid {

TEST(WaitCursor, NestedOnesRestoreTheCursorBeforeTheOutermost) {
    const HCURSOR wait = LoadCursorW(nullptr, IDC_WAIT);
    for (HCURSOR before : {LoadCursorW(nullptr, IDC_ARROW), LoadCursorW(nullptr, IDC_CROSS)}) {
        SetCursor(before);
        {
            CWaitCursor outer;
            EXPECT_EQ(GetCursor(), wait);
            { CWaitCursor inner; }
            EXPECT_EQ(GetCursor(), wait);
        }
        EXPECT_EQ(GetCursor(), before);
    }
}

}  // namespace zid
