#include <climits>
#include <cstdlib>
#include <unistd.h>

#include "launcher/java_runtime.h"
#include "platform/failure.h"
#include "platform/os.h"
#include "platform/trace.h"

namespace tavrelo {

namespace {

constexpr char16_t kDistributionDefault[] = u"/usr/lib/jvm/default-java";

// The runtime around the first "java" on PATH that has one: two levels above the program itself,
// links resolved (distributions reach it through /usr/bin and the alternatives links).
std::optional<FoundRuntime> fromPath(const std::optional<RuntimeVersion>& required) {
    const auto path = os::environmentValue(u"PATH");
    if (!path) {
        trace("runtime: PATH is not set");
        return std::nullopt;
    }
    TextView rest = *path;
    for (;;) {
        const std::size_t cut = rest.find(u':');
        const TextView directory = rest.substr(0, cut);
        if (!directory.empty()) {
            const std::string program = toUtf8(directory) + "/java";
            char resolved[PATH_MAX];
            if (::access(program.c_str(), X_OK) == 0) {
                if (::realpath(program.c_str(), resolved)) {
                    if (auto found = qualifiedRuntime(binaryDirectoryOf(fromUtf8(resolved)), required, "java on PATH"))
                        return found;
                } else {
                    const unsigned long code = os::lastError();
                    os::noteFailure("resolving", fromUtf8(program), code);
                    traceFailure("runtime: java on PATH refused: ");
                }
            }
        }
        if (cut == TextView::npos) return std::nullopt;
        rest = rest.substr(cut + 1);
    }
}

} // namespace

std::optional<FoundRuntime> locateSystemRuntime(const std::optional<RuntimeVersion>& required, const RuntimeRegistry&) {
    if (const auto javaHome = os::environmentValue(u"JAVA_HOME")) {
        if (auto found = qualifiedRuntime(*javaHome, required, "JAVA_HOME")) return found;
    } else {
        trace("runtime: JAVA_HOME is not set");
    }
    if (auto found = fromPath(required)) return found;
    return qualifiedRuntime(kDistributionDefault, required, "the distribution's default");
}

RuntimeVersion readRuntimeVersion(TextView home) { return releaseFileVersion(home); }

} // namespace tavrelo
