#include "launcher/launcher.h"
#include "platform/os.h"
#include "platform/trace.h"

namespace tavrelo {

namespace {

constexpr std::size_t kClassPathUnits = 8191;
constexpr std::size_t kOptionUnits = 2047;
// Directory links can make a tree endless; no real class tree is this deep.
constexpr int kMaxScanDepth = 32;

Text joinPath(TextView directory, TextView name) {
    Text path(directory);
    path.push_back(os::kPathSeparator);
    path.append(name);
    return path;
}

// "%s\%s.jar", else "%s\%s.zip"; empty when neither exists.
Text archiveNamedAfter(TextView directory, TextView baseName) {
    for (const char16_t* extension : {u".jar", u".zip"}) {
        Text path = joinPath(directory, baseName);
        path.append(extension);
        if (os::pathExists(path)) return path;
    }
    return {};
}

// Appends one list element with its separator. Empty elements are left out: the JVM reads an
// empty class-path element as the current directory, which is never what was configured.
void appendElement(Text& list, TextView element, std::size_t limit) {
    if (element.empty()) return;
    if (!list.empty()) appendLimited(list, Text(1, os::kListSeparator), limit);
    appendLimited(list, element, limit);
}

void appendPath(Text& list, TextView path, std::size_t limit) { appendElement(list, vmPathForm(path), limit); }

// Appends every element of a ';'-separated list of the properties text.
void appendList(Text& list, TextView elements, std::size_t limit) {
    for (;;) {
        const std::size_t semicolon = elements.find(u';');
        appendPath(list, elements.substr(0, semicolon), limit);
        if (semicolon == TextView::npos) return;
        elements = elements.substr(semicolon + 1);
    }
}

struct Scan {
    Text* classPath;
    TextView directory;
    int depth;
};

bool scanEntry(TextView name, bool isDirectory, void* context);

void scanDirectory(Text& classPath, TextView directory, int depth) {
    if (depth > kMaxScanDepth) return;
    Scan scan{&classPath, directory, depth};
    if (!os::listDirectory(directory, &scanEntry, &scan)) traceFailure("class path: not scanned: ");
}

bool scanEntry(TextView name, bool isDirectory, void* context) {
    const auto& scan = *static_cast<Scan*>(context);
    const Text full = joinPath(scan.directory, name);
    if (isDirectory) {
        scanDirectory(*scan.classPath, full, scan.depth + 1); // depth first, at once
        return true;
    }
    const std::size_t dot = name.rfind(u'.');
    if (dot == TextView::npos) return true;
    const TextView extension = name.substr(dot);
    if (!equalsIgnoreCase(extension, u".jar") && !equalsIgnoreCase(extension, u".zip")) return true;
    appendElement(*scan.classPath, os::longOrShortPath(full), kClassPathUnits);
    return true;
}

} // namespace

Text vmPathForm(TextView path) {
    if (path.empty()) return {};
    Text form = os::longOrShortPath(path);
    return form.empty() ? Text(path) : form;
}

ClassPathParts buildClassPath(const Configuration& config, TextView baseName, TextView extraEntry,
                              TextView extraOptionEntry, TextView extraOption, TextView classPathOptionPrefix) {
    const TextView launcherDirectory = config.launcherDirectory;
    const Text* resourceDirectory = config.get(kResourceDirectory);
    const TextView resourceList = resourceDirectory ? TextView(*resourceDirectory) : TextView();
    ClassPathParts parts;

    Text& classPath = parts.classPath;
    appendPath(classPath, extraEntry, kClassPathUnits);
    appendPath(classPath, launcherDirectory, kClassPathUnits);
    appendList(classPath, resourceList, kClassPathUnits);
    for (const Text* directory : {resourceDirectory, &config.launcherDirectory})
        if (directory) appendPath(classPath, archiveNamedAfter(*directory, baseName), kClassPathUnits);
    if (const Text* personal = config.get(kPersonalClasspath))
        appendList(classPath, *personal, kClassPathUnits);
    if (const Text* directories = config.get(kClassDirectory)) {
        const Text list = removeEscapes(*directories);
        TextView rest = list;
        for (;;) {
            const std::size_t semicolon = rest.find(u';');
            const TextView element = trimView(rest.substr(0, semicolon));
            if (!element.empty()) {
                const Text directory =
                    os::isAbsolutePath(element) ? Text(element) : joinPath(launcherDirectory, element);
                scanDirectory(classPath, directory, 0);
            }
            if (semicolon == TextView::npos) break;
            rest = rest.substr(semicolon + 1);
        }
    }

    Text& option = parts.classPathOption;
    appendLimited(option, classPathOptionPrefix, kOptionUnits);
    Text optionList;
    appendPath(optionList, extraOptionEntry, kOptionUnits);
    appendPath(optionList, launcherDirectory, kOptionUnits);
    appendList(optionList, resourceList, kOptionUnits);
    appendLimited(option, optionList, kOptionUnits);

    Text& options = parts.optionString;
    if (!extraOption.empty()) {
        appendLimited(options, extraOption, kOptionUnits);
        appendLimited(options, u" ", kOptionUnits);
    }
    if (const Text* personal = config.get(kPersonalOptions)) appendLimited(options, *personal, kOptionUnits);
    return parts;
}

} // namespace tavrelo
