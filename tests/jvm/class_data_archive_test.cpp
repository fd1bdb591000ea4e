// The application's class-data archive, kept by the real Linux launcher in a cache of the test's
// own. The fixture names on standard error the archives its VM has mapped (/proc/self/maps).
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>
#include <utime.h>

#include <thread>

#include "jvm_support.h"
#include "platform/os.h"

namespace tavrelo::test {
namespace {

constexpr const char* kHello = "hello from the application\n";

struct Archives {
    std::string directory;
    // The archives in the cache, each checked to hold the length its name states.
    std::vector<std::string> list() const {
        std::vector<std::string> names;
        (void)os::listDirectory(
            fromUtf8(directory),
            [](TextView name, bool, void* out) {
                static_cast<std::vector<std::string>*>(out)->push_back(toUtf8(name));
                return true;
            },
            &names);
        for (const std::string& name : names) {
            EXPECT_TRUE(name.ends_with(".jsa")) << name << ": a left-over file";
            struct stat info {};
            const std::size_t dash = name.rfind('-');
            EXPECT_EQ(::stat((directory + "/" + name).c_str(), &info), 0);
            EXPECT_EQ(std::to_string(info.st_size) + ".jsa", name.substr(dash + 1)) << name;
        }
        return names;
    }
    std::string only() const {
        const auto names = list();
        EXPECT_EQ(names.size(), 1u);
        return names.empty() ? std::string() : directory + "/" + names.front();
    }
};

bool maps(const RunResult& run, const std::string& archive) {
    return run.err.find("mapped " + archive + "\n") != std::string::npos;
}

struct CacheApp {
    AppDirectory app{"CdsProbe"};
    TempDir cache;
    Environment environment = launcherEnvironment();
    Archives archives{toUtf8(cache.path()) + "/tavrelo/cds"};
    CacheApp() { setVariable(environment, "XDG_CACHE_HOME", toUtf8(cache.path())); }
    RunResult run(const std::vector<std::string>& arguments = {}) const {
        RunResult result = app.run(arguments, environment);
        EXPECT_EQ(result.out, kHello) << "the application's output is its own\n" << result.err;
        return result;
    }
};

TEST(ClassDataArchive, WrittenThenMappedRenewedWithItsClassPathReplacedWhenDamagedOffWhenChosen) {
    CacheApp cache;
    // The first start writes the archive at its end, here through System.exit.
    const RunResult first = cache.run({"exit"});
    EXPECT_EQ(first.status, 3) << first.err;
    const std::string written = cache.archives.only();
    EXPECT_FALSE(maps(first, written));
    EXPECT_TRUE(maps(cache.run(), written)) << "the second start maps it";

    // A class-path archive that changed makes the next start write a new archive in its place.
    const std::string jar = cache.app.path() + "/CdsProbe.jar";
    struct utimbuf later {::time(nullptr) + 60, ::time(nullptr) + 60};
    ASSERT_EQ(::utime(jar.c_str(), &later), 0);
    const RunResult changed = cache.run();
    EXPECT_EQ(changed.status, 1) << changed.err;
    EXPECT_FALSE(maps(changed, written));
    const std::string renewed = cache.archives.only();
    EXPECT_NE(renewed, written);
    EXPECT_TRUE(maps(cache.run(), renewed));

    // A truncated archive is never handed to the runtime (the runtime would crash on it): the
    // start runs as without one, and writes a sound one again.
    ASSERT_EQ(::truncate(renewed.c_str(), 100000), 0);
    const RunResult truncated = cache.run();
    EXPECT_EQ(truncated.status, 1) << truncated.err;
    EXPECT_FALSE(maps(truncated, renewed));
    const std::string repaired = cache.archives.only();
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
    EXPECT_TRUE(cache.archives.list().empty());
}

TEST(ClassDataArchive, TwoLaunchersStartedAtOnceBothRunAndLeaveOneValidArchive) {
    CacheApp cache;
    RunResult runs[2];
    std::thread other([&] { runs[1] = cache.run(); });
    runs[0] = cache.run();
    other.join();
    EXPECT_EQ(runs[0].status, 1) << runs[0].err;
    EXPECT_EQ(runs[1].status, 1) << runs[1].err;
    const std::string archive = cache.archives.only();
    EXPECT_TRUE(maps(cache.run(), archive));
}

} // namespace
} // namespace tavrelo::test
