// Built only to check the test runner's verdicts, never run as a test of the program: one case
// passes, one fails an assertion and leaves behind a thread that then crashes the process, as a
// test whose asynchronous work outlives a failed assertion would.
#include <gtest/gtest.h>

#include <windows.h>

TEST(VerdictCheck, Passes) {
    EXPECT_EQ(GetCurrentProcessId(), GetCurrentProcessId());
}

namespace {

DWORD WINAPI CrashSoon(void*) {
    Sleep(200);
    __asm__ volatile("hlt");  // a privileged instruction, as Wine reported in the case that slipped through
    return 0;
}

}  // namespace

TEST(VerdictCheck, FailsThenCrashes) {
    const HANDLE thread = CreateThread(nullptr, 0, &CrashSoon, nullptr, 0, nullptr);
    ASSERT_NE(thread, nullptr);
    CloseHandle(thread);
    EXPECT_EQ(1, 2) << "deliberate failure";
}

TEST(VerdictCheck, OutlivesTheCrash) {
    Sleep(3000);
}
