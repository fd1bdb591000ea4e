// Single instance between real launcher processes of one application, with the real JVM.
#include <gtest/gtest.h>

#include <cstdlib>
#include <deque>
#include <future>

#include "desktop/single_instance.h"
#include "ipc/pipes.h"
#include "jvm_support.h"
#include "test_process.h"

namespace tavrelo::test {
namespace {

using Lines = std::vector<std::string>;

// One application directory and the launchers started in it.
class Application {
public:
    explicit Application(const std::string& mainClass, const std::string& moreProperties = "") : app_("OneApp") {
        app_.properties("MainClass=" + mainClass + "\n" + moreProperties);
        environment_ = launcherEnvironment();
        // The test looks for the launchers' pipes where they make them.
        if (const char* runtime = std::getenv("XDG_RUNTIME_DIR")) setVariable(environment_, "XDG_RUNTIME_DIR", runtime);
    }
    ~Application() {
        for (const std::string& tag : tags_)
            stop(tag);
        for (auto& run : background_)
            if (run.valid()) run.wait();
    }

    // A launcher run whose first argument is its tag, in the background.
    std::future<RunResult>& startInBackground(const std::vector<std::string>& arguments) {
        if (!arguments.empty()) tags_.push_back(arguments.front());
        background_.push_back(
            std::async(std::launch::async, [this, arguments] { return app_.run(arguments, environment_); }));
        return background_.back();
    }
    RunResult run(const std::vector<std::string>& arguments) const { return app_.run(arguments, environment_); }
    // The same in a process session of its own, as from another terminal of this login.
    std::future<RunResult>& startInNewSession(std::vector<std::string> arguments) {
        if (!arguments.empty()) tags_.push_back(arguments.front());
        arguments.insert(arguments.begin(), {"--wait", app_.launcher()});
        background_.push_back(std::async(std::launch::async, [this, arguments] {
            return runProgram("/usr/bin/setsid", arguments, environment_);
        }));
        return background_.back();
    }

    void stop(const std::string& tag) const { app_.dir().write(u"stop-" + fromUtf8(tag), ""); }
    void answer(bool takeOver) const { app_.dir().write(u"answer", takeOver ? "true" : "false"); }

    Lines journal() const { return linesWith(fileText(app_.dir() / u"journal.txt"), ""); }
    bool journalHas(const std::string& line) const {
        for (const std::string& entry : journal())
            if (entry == line) return true;
        return false;
    }
    bool waitFor(const std::string& line, unsigned timeoutMs = 30000) const {
        return waitUntil([&] { return journalHas(line); }, timeoutMs);
    }
    bool served() const { return pipeIsServed(oneInstancePipeName(app_.dir().path(), u"OneApp")); }

private:
    AppDirectory app_;
    Environment environment_;
    std::vector<std::string> tags_;
    std::deque<std::future<RunResult>> background_; // references to its runs stay valid
};

TEST(SingleInstanceRun, SecondStartHandsOverItsArgumentsAndEndsWithoutMain) {
    Application app("fixture.OneApp");
    auto& first = app.startInBackground({"first"});
    ASSERT_TRUE(app.waitFor("main first 1 first"));
    ASSERT_TRUE(waitUntil([&] { return app.served(); }, 10000));

    const RunResult several = app.run({"a", "b c", "d"});
    EXPECT_EQ(several.status, 0) << several.err;
    const RunResult none = app.run({});
    EXPECT_EQ(none.status, 0) << none.err;
    EXPECT_EQ(app.journal(), (Lines{"main first 1 first", "handed first 3 a|b c|d", "handed first 0 "}))
        << "the running instance got the arguments; no second main ran";

    app.stop("first");
    EXPECT_EQ(first.get().status, 1);
}

// Quotes, spaces and empty arguments reach main and the running instance as the system delivered
// them, then the configured words; a start from another terminal of the same login hands over.
TEST(SingleInstanceRun, ExactArgumentsReachMainAndTheInstanceOfAnotherSession) {
    Application app("fixture.OneApp", "MainArgs=--extra \"two words\"\n");
    const std::vector<std::string> arguments{"a\"b", "c d", "", "x"};
    const std::string received = "a\"b 6 a\"b|c d||x|--extra|two words";
    auto& first = app.startInNewSession(arguments);
    ASSERT_TRUE(app.waitFor("main " + received)) << testing::PrintToString(app.journal());
    ASSERT_TRUE(waitUntil([&] { return app.served(); }, 10000));

    const RunResult second = app.run(arguments);
    EXPECT_EQ(second.status, 0) << second.err;
    EXPECT_EQ(app.journal(), (Lines{"main " + received, "handed " + received}));

    app.stop(arguments.front());
    EXPECT_EQ(first.get().status, 1);
}

TEST(SingleInstanceRun, AllowedSecondStartRunsAndTakesOverWhenTheFirstEnds) {
    Application app("fixture.OneApp");
    app.answer(false);
    auto& first = app.startInBackground({"first"});
    ASSERT_TRUE(app.waitFor("main first 1 first"));
    ASSERT_TRUE(waitUntil([&] { return app.served(); }, 10000));

    auto& second = app.startInBackground({"second"});
    ASSERT_TRUE(app.waitFor("main second 1 second"));
    EXPECT_TRUE(app.journalHas("handed first 1 second"));

    app.stop("first");
    EXPECT_EQ(first.get().status, 1);
    ASSERT_TRUE(waitUntil([&] { return app.served(); }, 5000)) << "the second instance serves the pipe now";
    app.answer(true);
    const RunResult third = app.run({"third"});
    EXPECT_EQ(third.status, 0) << third.err;
    EXPECT_TRUE(app.journalHas("handed second 1 third"));
    EXPECT_FALSE(app.journalHas("main third 1 third"));

    app.stop("second");
    EXPECT_EQ(second.get().status, 1);
}

TEST(SingleInstanceRun, ApplicationWithoutTheMethodNeverServes) {
    Application app("fixture.PlainApp");
    app.startInBackground({"first"});
    ASSERT_TRUE(app.waitFor("main first 1 first"));
    app.startInBackground({"second"});
    ASSERT_TRUE(app.waitFor("main second 1 second"));
    EXPECT_FALSE(app.served());
    for (const std::string& line : app.journal())
        EXPECT_EQ(line.rfind("handed", 0), std::string::npos) << line;
}

TEST(SingleInstanceRun, DifferentDirectoriesDoNotSeeEachOther) {
    Application one("fixture.OneApp");
    Application other("fixture.OneApp");
    one.startInBackground({"first"});
    ASSERT_TRUE(one.waitFor("main first 1 first"));
    ASSERT_TRUE(waitUntil([&] { return one.served(); }, 10000));
    other.startInBackground({"elsewhere"});
    EXPECT_TRUE(other.waitFor("main elsewhere 1 elsewhere"));
    EXPECT_EQ(one.journal(), (Lines{"main first 1 first"}));
}

} // namespace
} // namespace tavrelo::test
