#include <climits>
#include <cstdlib>
#include <unistd.h>

#include "launcher/java_runtime.h"
#include "platform/os.h"

namespace tavrelo {

namespace {

constexpr char16_t kDistributionDefault[] = u"/usr/lib/jvm/default-java";

std::optional<FoundRuntime> qualified(const Text& home, const std::optional<RuntimeVersion>& required) {
    // A runtime known only by its directory must hold a VM library.
    if (home.empty() || !os::isDirectory(home) || !findVmLibrary(home)) return std::nullopt;
    const RuntimeVersion version = readRuntimeVersion(home);
    if (required && !meetsMinimum(version, *required)) return std::nullopt;
    return FoundRuntime{home, version};
}

// The runtime around the first "java" on PATH that has one: two levels above the program itself,
// links resolved (distributions reach it through /usr/bin and the alternatives links).
std::optional<FoundRuntime> fromPath(const std::optional<RuntimeVersion>& required) {
    const auto path = os::environmentValue(u"PATH");
    if (!path) return std::nullopt;
    TextView rest = *path;
    for (;;) {
        const std::size_t cut = rest.find(u':');
        const TextView directory = rest.substr(0, cut);
        if (!directory.empty()) {
            const std::string program = toUtf8(directory) + "/java";
            char resolved[PATH_MAX];
            if (::access(program.c_str(), X_OK) == 0 && ::realpath(program.c_str(), resolved))
                if (auto found = qualified(binaryDirectoryOf(fromUtf8(resolved)), required)) return found;
        }
        if (cut == TextView::npos) return std::nullopt;
        rest = rest.substr(cut + 1);
    }
}

} // namespace

std::optional<FoundRuntime> locateSystemRuntime(const std::optional<RuntimeVersion>& required, const RuntimeRegistry&) {
    if (const auto javaHome = os::environmentValue(u"JAVA_HOME"))
        if (auto found = qualified(*javaHome, required)) return found;
    if (auto found = fromPath(required)) return found;
    return qualified(kDistributionDefault, required);
}

RuntimeVersion readRuntimeVersion(TextView home) { return releaseFileVersion(home); }

} // namespace tavrelo
