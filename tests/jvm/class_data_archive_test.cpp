// The application's class-data archive, kept by the real Linux launcher in a cache of the test's
// own. The fixture names on standard error the archives its VM has mapped (/proc/self/maps).
#include <gtest/gtest.h>
#include <unistd.h>
#include <utime.h>

#include <filesystem>
#include <thread>

#include "jvm_support.h"
#include "platform/os.h"

namespace tavrelo::test {
namespace {

bool maps(const RunResult& run, const std::string& archive) {
    return run.err.find("mapped " + archive + "\n") != std::string::npos;
}

// The fixture started through the launcher with a cache of its own.
struct CacheApp {
    AppDirectory app{"CdsProbe"};
    TempDir cache;
    Environment environment = launcherEnvironment();
    CacheApp() { setVariable(environment, "XDG_CACHE_HOME", toUtf8(cache.path())); }
    // A start, and the end of the archive writer it may have left running in the background:
    // then only archives are left in the cache.
    RunResult run(const std::vector<std::string>& arguments = {}) const {
        RunResult result = app.run(arguments, environment);
        EXPECT_EQ(result.out, "hello from the application\n") << "the output is the application's own\n" << result.err;
        for (int waited = 0; waited < 1200 && !settled(); ++waited) std::this_thread::sleep_for(std::chrono::milliseconds(50));
        EXPECT_TRUE(settled());
        return result;
    }
    bool settled() const {
        std::error_code missing;
        for (const auto& entry : std::filesystem::directory_iterator(toUtf8(cache.path()) + "/tavrelo/cds", missing))
            if (entry.path().extension() != ".jsa") return false;
        return true;
    }
    // The files in the cache: archives that hold the length their names state, nothing left over.
    std::vector<std::string> archives() const {
        std::vector<std::string> paths;
        std::error_code missing;
        for (const auto& entry : std::filesystem::directory_iterator(toUtf8(cache.path()) + "/tavrelo/cds", missing)) {
            const std::string name = entry.path().filename();
            EXPECT_EQ(name.substr(name.rfind('-') + 1), std::to_string(entry.file_size()) + ".jsa");
            paths.push_back(entry.path());
        }
        return paths;
    }
    std::string only() const {
        const auto paths = archives();
        EXPECT_EQ(paths.size(), 1u);
        return paths.empty() ? std::string() : paths.front();
    }
};

TEST(ClassDataArchive, WrittenThenMappedRenewedWithItsClassPathReplacedWhenDamagedOffWhenChosen) {
    CacheApp cache;
    // The first start lists its classes (here ending through System.exit) and the writer it
    // leaves behind writes the archive, each saying so in the trace. The writer's run of the
    // runtime leaves the application's log alone (a second run logging to it would have moved
    // it aside as "gc.log.0").
    TempDir logs;
    const std::string log = toUtf8(logs.path()) + "/gc.log", tracePath = toUtf8(logs.path()) + "/trace";
    setVariable(cache.environment, "TAVRELO_DEBUG", tracePath);
    cache.app.properties("PersonalOptions=-Xlog:gc:file=" + log + "\n");
    const RunResult first = cache.run({"exit"});
    EXPECT_EQ(first.status, 3) << first.err;
    const std::string written = cache.only();
    EXPECT_FALSE(maps(first, written));
    std::string trace;
    EXPECT_TRUE(os::readFile(fromUtf8(tracePath), trace));
    EXPECT_NE(trace.find("class-data archive: none valid yet, the runtime lists its classes in"), std::string::npos);
    EXPECT_NE(trace.find("class-data archive: written to " + written), std::string::npos) << trace;
    EXPECT_TRUE(os::pathExists(fromUtf8(log)) && !os::pathExists(fromUtf8(log + ".0")));
    EXPECT_TRUE(maps(cache.run(), written)) << "the second start maps it";

    // A class-path archive that changed makes the next start write a new archive in its place.
    const std::string jar = cache.app.path() + "/CdsProbe.jar";
    struct utimbuf later {::time(nullptr) + 60, ::time(nullptr) + 60};
    ASSERT_EQ(::utime(jar.c_str(), &later), 0);
    const RunResult changed = cache.run();
    EXPECT_EQ(changed.status, 1) << changed.err;
    EXPECT_FALSE(maps(changed, written));
    const std::string renewed = cache.only();
    EXPECT_NE(renewed, written);
    EXPECT_TRUE(maps(cache.run(), renewed));

    // A truncated archive is never handed to the runtime (the runtime would crash on it): the
    // start runs as without one, and writes a sound one again.
    ASSERT_EQ(::truncate(renewed.c_str(), 100000), 0);
    const RunResult truncated = cache.run();
    EXPECT_EQ(truncated.status, 1) << truncated.err;
    EXPECT_FALSE(maps(truncated, renewed));
    const std::string repaired = cache.only();
    EXPECT_TRUE(maps(cache.run(), repaired));

    // The user's own choice of class data leaves the cache alone.
    ASSERT_TRUE(os::deleteFile(fromUtf8(repaired)));
    cache.app.properties("PersonalOptions=-Xshare:off\n");
    EXPECT_EQ(cache.run().status, 1);
    cache.app.properties("PersonalOptions=-Dtavrelo.cds=false\n");
    EXPECT_EQ(cache.run({"exit"}).status, 3);
    // So do classes in a directory ahead of the application's archive: their order must hold.
    cache.app.properties("");
    cache.app.dir().write(u"patch/demo/Patched.class", "class file");
    EXPECT_EQ(cache.run().status, 1);
    EXPECT_TRUE(cache.archives().empty());
}

TEST(ClassDataArchive, TwoLaunchersStartedAtOnceBothRunAndLeaveOneValidArchive) {
    CacheApp cache;
    RunResult runs[2];
    std::thread other([&] { runs[1] = cache.run(); });
    runs[0] = cache.run();
    other.join();
    EXPECT_EQ(runs[0].status, 1) << runs[0].err;
    EXPECT_EQ(runs[1].status, 1) << runs[1].err;
    const std::string archive = cache.only();
    EXPECT_TRUE(maps(cache.run(), archive));
}

} // namespace
} // namespace tavrelo::test
