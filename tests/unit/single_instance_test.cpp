// Single instance between real processes, without Java: the pipe peer plays the running instance
// (its decider records the arguments) or the new start.
#include <gtest/gtest.h>

#include <chrono>
#include <mutex>

#include "desktop/single_instance.h"
#include "ipc/pipes.h"
#include "pipe_test_support.h"
#include "platform/os.h"
#include "test_support.h"

namespace tavrelo {
namespace {

using test::ChildProcess;
using test::TempDir;

class SingleInstance : public ::testing::Test {
protected:
    // A running instance in `directory` for `base`, answering `answer`.
    void startRunning(ChildProcess& running, bool answer) {
        ASSERT_TRUE(test::startPeer(running, {u"one-instance", dir.path(), base, out, answer ? u"1" : u"0"}));
        ASSERT_TRUE(test::waitReady(out));
    }

    TempDir dir;
    Text out = dir / u"running.txt";
    Text base = test::uniqueAppName(u"Demo");
};

TEST_F(SingleInstance, NewStartHandsOverItsArgumentsExactly) {
    ChildProcess running;
    startRunning(running, true);

    EXPECT_TRUE(askRunningInstance(dir.path(), base, {u"first", u"\"with spaces\"", u"", u"last"}));
    EXPECT_EQ(test::waitForLines(out, 5),
              (std::vector<std::string>{"args 4", "arg first", "arg \"with spaces\"", "arg ", "arg last"}));
    EXPECT_TRUE(askRunningInstance(dir.path(), base, {}));
    EXPECT_EQ(test::waitForLines(out, 6).back(), "args 0") << "no arguments: an empty array";
}

TEST_F(SingleInstance, AnswerFalseLetsTheNewStartRun) {
    ChildProcess running;
    startRunning(running, false);
    EXPECT_FALSE(askRunningInstance(dir.path(), base, {u"-x"}));
    EXPECT_EQ(test::waitForLines(out, 2), (std::vector<std::string>{"args 1", "arg -x"}))
        << "the running instance was asked all the same";
}

TEST_F(SingleInstance, OtherDirectoriesAndApplicationsDoNotMeet) {
    ChildProcess running;
    startRunning(running, true);
    const Text elsewhere = dir.makeDir(u"elsewhere");
    const auto asked = std::chrono::steady_clock::now();
    EXPECT_FALSE(askRunningInstance(elsewhere, base, {u"a"}));
    EXPECT_FALSE(askRunningInstance(dir.path(), base + u"Other", {u"a"}));
    const auto spent = std::chrono::steady_clock::now() - asked;
    EXPECT_LT(std::chrono::duration_cast<std::chrono::milliseconds>(spent).count(), 500)
        << "nobody serves those names, so nothing waits";
    os::sleepMs(200);
    EXPECT_TRUE(test::fileLines(out).empty());
}

TEST_F(SingleInstance, LongArgumentsAreCutWithoutLosingTheirPlace) {
    ChildProcess running;
    startRunning(running, true);
    const Text longArgument(3000, u'x');
    EXPECT_TRUE(askRunningInstance(dir.path(), base, {u"before", longArgument, u"after"}));
    EXPECT_EQ(test::waitForLines(out, 4),
              (std::vector<std::string>{"args 3", "arg before", "arg " + std::string(kHandedArgumentUnits, 'x'),
                                        "arg after"}));
}

TEST_F(SingleInstance, BadCountsGetNoAnswerAndTheInstanceGoesOnServing) {
    ChildProcess running;
    startRunning(running, true);
    const Text name = oneInstancePipeName(dir.path(), base);
    const Text sent = dir / u"sent.txt";
    ChildProcess hostile;
    ASSERT_TRUE(test::startPeer(hostile, {u"send", name, sent, test::kReadyHex, test::hexInt(kMaxHandedArguments + 1),
                                          u"?", u"/", test::kReadyHex, test::hexInt(-1), u"?", u"/", test::kReadyHex,
                                          test::hexInt(2), u"6100"}));
    ASSERT_EQ(hostile.wait(30000), 0);
    EXPECT_EQ(test::fileText(sent), "reply none\nreply none\ndone\n") << "too many or negative: no answer";
    EXPECT_TRUE(test::fileLines(out).empty()) << "the decider was never called";
    EXPECT_TRUE(askRunningInstance(dir.path(), base, {u"ok"}));
    EXPECT_EQ(test::waitForLines(out, 2), (std::vector<std::string>{"args 1", "arg ok"}));
}

TEST_F(SingleInstance, TooManyArgumentsLetTheNewStartRun) {
    ChildProcess running;
    startRunning(running, true);
    const std::vector<Text> many(kMaxHandedArguments + 1, u"a");
    EXPECT_FALSE(askRunningInstance(dir.path(), base, many));
    EXPECT_TRUE(test::fileLines(out).empty());
}

// The decider of this process.
std::mutex decidedLock;
std::vector<std::vector<Text>> decided;
bool recordDecision(std::vector<Text>& arguments, void*) {
    std::lock_guard<std::mutex> guard(decidedLock);
    decided.push_back(arguments);
    return true;
}

TEST_F(SingleInstance, WithoutTheMethodNothingIsServedAndATakenOverStartQuits) {
    EXPECT_EQ(startSingleInstanceWith(dir.path(), base, nullptr, nullptr, false), SingleInstanceStart::NotTakingPart);
    EXPECT_EQ(startSingleInstanceWith(dir.path(), base, nullptr, nullptr, true), SingleInstanceStart::NotTakingPart)
        << "a start whose own class lacks the method never quits";
    EXPECT_EQ(startSingleInstanceWith(dir.path(), base, recordDecision, nullptr, true), SingleInstanceStart::Quit);
    os::sleepMs(200);
    EXPECT_FALSE(pipeIsServed(oneInstancePipeName(dir.path(), base)));
}

TEST_F(SingleInstance, AStartThatWasAllowedToRunTakesOverThePipeWhenTheFirstEnds) {
    ChildProcess running;
    startRunning(running, false);
    EXPECT_FALSE(askRunningInstance(dir.path(), base, {u"second"}));
    ASSERT_EQ(startSingleInstanceWith(dir.path(), base, recordDecision, nullptr, false), SingleInstanceStart::Serving);

    ChildProcess third;
    ASSERT_TRUE(test::startPeer(third, {u"ask", dir.path(), base, u"third"}));
    EXPECT_EQ(third.wait(20000), 0) << "the first instance still answers, and says no";

    running.kill();
    os::sleepMs(1000);
    ASSERT_TRUE(test::startPeer(third, {u"ask", dir.path(), base, u"fourth", u"and fifth"}));
    EXPECT_EQ(third.wait(20000), 10) << "this process serves now and takes the arguments";
    std::lock_guard<std::mutex> guard(decidedLock);
    ASSERT_EQ(decided.size(), 1u);
    EXPECT_EQ(decided[0], (std::vector<Text>{u"fourth", u"and fifth"}));
}

} // namespace
} // namespace tavrelo
