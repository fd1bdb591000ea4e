#include <gtest/gtest.h>

#include <thread>

#include "platform/failure.h"
#include "platform/os.h"
#include "platform/trace.h"
#include "test_support.h"

namespace tavrelo {
namespace {

// A failing file step keeps what it did, its path and the system's code, for its thread only,
// until the next failing step; the reason reads "<what> <path>: <system text> (<code>)".
TEST(FileFailure, TheLastFailingStepOfTheThreadKeepsItsPathAndCode) {
    const test::TempDir dir;
    const Text missing = dir / u"absent";
    const Text present = dir.write(u"present", "x");
    std::string bytes;
    ASSERT_FALSE(os::readFile(missing, bytes));
    const unsigned long notFound = os::lastFailure().code; // ENOENT, ERROR_FILE_NOT_FOUND: both 2
    EXPECT_EQ(notFound, 2u);
    EXPECT_EQ(os::lastFailure().path, missing);
    const std::string reason = failureReason(os::lastFailure());
    EXPECT_EQ(reason.rfind("reading " + toUtf8(missing) + ": ", 0), 0u) << reason;
    EXPECT_NE(reason.find(toUtf8(os::systemErrorDescription(notFound)).substr(0, 8)), std::string::npos) << reason;
    EXPECT_EQ(reason.substr(reason.size() - 4), " (2)") << reason;

    ASSERT_TRUE(os::readFile(present, bytes)); // a success leaves the last failure as it was
    EXPECT_EQ(os::lastFailure().path, missing);
    EXPECT_FALSE(os::listDirectory(missing, [](TextView, bool, void*) { return true; }, nullptr));
    EXPECT_STREQ(os::lastFailure().what, "listing");
    EXPECT_NE(os::lastFailure().code, 0u);
    EXPECT_FALSE(os::moveFileReplacing(missing, present));
    EXPECT_STREQ(os::lastFailure().what, "replacing");
    EXPECT_EQ(os::lastFailure().path, present);

    unsigned long otherThread = 1;
    std::thread([&] { otherThread = os::lastFailure().code; }).join();
    EXPECT_EQ(otherThread, 0u);
}

} // namespace
} // namespace tavrelo
