// System.exit inside a fresh process: the VM's exit hook runs the launcher's clean-up steps and
// the process ends with the status Java gave.
#include <unistd.h>

#include <gtest/gtest.h>

#include "bridge/bridge.h"
#include "jvm_support.h"
#include "launcher/java_runtime.h"
#include "platform/os.h"

namespace tavrelo::test {
namespace {

void firstStep() noexcept {
    static const char text[] = "first clean-up step\n";
    (void)!::write(2, text, sizeof text - 1);
}

void secondStep() noexcept {
    // Java may no longer be called once the process is ending.
    const char* text = javaVm() == nullptr && os::launcherEnding() ? "second step: Java closed\n" : "second step\n";
    (void)!::write(2, text, std::char_traits<char>::length(text));
}

TEST(CleanUpHook, SystemExitRunsTheStepsInOrderAndKeepsJavasStatus) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(
        {
            ensureJavaVm();
            addCleanUpStep(&firstStep);
            addCleanUpStep(&secondStep);
            callMethodVoid("fixture.Exit", nullptr, "exitWith", "I", jint{7});
        },
        ::testing::ExitedWithCode(7), "first clean-up step\nsecond step: Java closed\n");
}

TEST(CleanUpHook, ExitJavaEndsWithStatusZero) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(
        {
            ensureJavaVm();
            addCleanUpStep(&firstStep);
            exitJava();
        },
        ::testing::ExitedWithCode(0), "first clean-up step");
}

} // namespace
} // namespace tavrelo::test
