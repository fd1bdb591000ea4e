#include <windows.h>

#include <vector>

#include "launcher/java_runtime.h"
#include "platform/os.h"
#include "platform/registry.h"
#include "platform/trace.h"
#include "platform/win_text.h"

namespace tavrelo {

namespace {

// The products of the runtime installers, oldest first; Java 9 and later register as "JDK" and
// "JRE", where CurrentVersion may be missing and the versions are only subkeys.
struct Product {
    const char16_t* name;
    bool versionsAsSubkeys;
};
constexpr Product kProducts[] = {
    {u"Java Runtime Environment", false},
    {u"Java Development Kit", false},
    {u"JDK", true},
    {u"JRE", true},
};

bool acceptable(RuntimeVersion version, const std::optional<RuntimeVersion>& required) {
    return !required || meetsMinimum(version, *required);
}

std::optional<FoundRuntime> homeOfVersion(HKEY root, const Text& key, const Text& version) {
    const auto home = regReadText(root, key + u"\\" + version, u"JavaHome");
    if (!home) {
        trace("runtime: registry ", key, "\\", version, ": refused, no JavaHome");
        return std::nullopt;
    }
    trace("runtime: registry ", key, "\\", version, ": taken, ", expandReferences(*home));
    return FoundRuntime{expandReferences(*home), parseRuntimeVersion(version)};
}

void collectName(TextView name, unsigned long, void* context) {
    static_cast<std::vector<Text>*>(context)->emplace_back(name);
}

// The newest registered version that qualifies, for products without CurrentVersion.
std::optional<FoundRuntime> newestVersion(HKEY root, const Text& key, const std::optional<RuntimeVersion>& required) {
    std::vector<Text> versions;
    if (regEnumKeys(root, key, &collectName, &versions) <= 0) return std::nullopt;
    std::optional<FoundRuntime> best;
    for (const Text& version : versions) {
        const RuntimeVersion parsed = parseRuntimeVersion(version);
        if (parsed.major < 0 || !acceptable(parsed, required)) {
            trace("runtime: registry ", key, "\\", version, ": refused, version ", versionText(parsed),
                  required ? " is below " + versionText(*required) : std::string());
            continue;
        }
        if (best && !meetsMinimum(parsed, best->version)) continue;
        if (auto found = homeOfVersion(root, key, version)) best = std::move(found);
    }
    return best;
}

std::optional<FoundRuntime> fromProduct(HKEY root, const Text& base, const Product& product,
                                        const std::optional<RuntimeVersion>& required) {
    const Text key = base + u"\\" + product.name;
    const auto current = regReadText(root, key, u"CurrentVersion");
    if (!current) {
        if (product.versionsAsSubkeys) return newestVersion(root, key, required);
        trace("runtime: registry ", key, ": not registered");
        return std::nullopt;
    }
    if (!acceptable(parseRuntimeVersion(*current), required)) {
        trace("runtime: registry ", key, " CurrentVersion ", *current, ": refused, below ",
              required ? versionText(*required) : "the minimum");
        return std::nullopt;
    }
    return homeOfVersion(root, key, *current);
}

// The file a path finally names, links (such as the installers' "javapath") resolved.
Text finalPath(const Text& path) {
    HANDLE file = CreateFileW(wc(path), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                              OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (file == INVALID_HANDLE_VALUE) return path;
    wchar_t buffer[4096] = {};
    const DWORD n = GetFinalPathNameByHandleW(file, buffer, 4096, FILE_NAME_NORMALIZED);
    CloseHandle(file);
    if (n == 0 || n >= 4096) return path;
    Text resolved(tc(buffer), n);
    if (resolved.rfind(u"\\\\?\\UNC\\", 0) == 0) return u"\\\\" + resolved.substr(8);
    if (resolved.rfind(u"\\\\?\\", 0) == 0) return resolved.substr(4);
    return resolved;
}

std::optional<FoundRuntime> fromPath(const std::optional<RuntimeVersion>& required) {
    const auto path = os::environmentValue(u"PATH");
    if (!path) {
        trace("runtime: PATH is not set");
        return std::nullopt;
    }
    TextView rest = *path;
    for (;;) {
        const std::size_t cut = rest.find(u';');
        Text directory(trimView(rest.substr(0, cut)));
        if (directory.size() > 1 && directory.front() == u'"' && directory.back() == u'"')
            directory = directory.substr(1, directory.size() - 2);
        if (!directory.empty()) {
            const Text program = directory + u"\\java.exe";
            // The system directory's java.exe of old installers has no runtime around it: go on.
            if (os::pathExists(program))
                if (auto found = qualifiedRuntime(binaryDirectoryOf(finalPath(program)), required, "java.exe on PATH"))
                    return found;
        }
        if (cut == TextView::npos) return std::nullopt;
        rest = rest.substr(cut + 1);
    }
}

} // namespace

std::optional<FoundRuntime> locateSystemRuntime(const std::optional<RuntimeVersion>& required,
                                                const RuntimeRegistry& registry) {
    HKEY root = registry.root ? registry.root : HKEY_LOCAL_MACHINE;
    for (const Product& product : kProducts)
        if (auto found = fromProduct(root, registry.base, product, required)) return found;
    if (const auto javaHome = os::environmentValue(u"JAVA_HOME")) {
        if (auto found = qualifiedRuntime(expandReferences(*javaHome), required, "JAVA_HOME")) return found;
    } else {
        trace("runtime: JAVA_HOME is not set");
    }
    return fromPath(required);
}

} // namespace tavrelo
