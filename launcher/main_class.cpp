// The main class from the archives of the class path, read through the runtime's own
// java.util.jar classes (the VM exists by now).
#include "bridge/bridge.h"
#include "launcher/hand_overs.h"
#include "platform/os.h"
#include "platform/trace.h"

namespace tavrelo {

namespace {

constexpr std::size_t kClassNameBytes = 1023; // what a 1,024-byte name buffer keeps
constexpr char kJarFile[] = "java.util.jar.JarFile";
constexpr char kEnumeration[] = "java.util.Enumeration";

std::string fitted(std::string name) {
    if (name.size() > kClassNameBytes) name.resize(kClassNameBytes);
    return name;
}

// After the last '/', else after the last '\', else the whole path.
TextView fileNameOf(TextView path) noexcept {
    std::size_t cut = path.rfind(u'/');
    if (cut == TextView::npos) cut = path.rfind(u'\\');
    return cut == TextView::npos ? path : path.substr(cut + 1);
}

bool isArchive(TextView path) noexcept {
    const std::size_t dot = path.rfind(u'.');
    if (dot == TextView::npos) return false;
    const TextView extension = path.substr(dot);
    return equalsIgnoreCase(extension, u".jar") || equalsIgnoreCase(extension, u".zip");
}

// The archive open, or null when it cannot be read (the runtime's exception is cleared).
LocalRef<jobject> openArchive(TextView path) {
    LocalRef<jstring> name(toJavaString(path));
    if (!name) return {};
    return newObject(kJarFile, "Ljava/lang/String;", name.get());
}

void closeArchive(jobject archive) { callMethodVoid(kJarFile, archive, "close", nullptr); }

// The archive manifest's Main-Class; empty when it has none.
std::string manifestMainClass(TextView path) {
    LocalRef<jobject> archive = openArchive(path);
    if (!archive) return {};
    std::string found;
    LocalRef<jobject> manifest(
        callMethodObject(kJarFile, archive.get(), "getManifest", "java.util.jar.Manifest", nullptr));
    const LocalRef<jobject> attributes =
        manifest ? callMethodObject("java.util.jar.Manifest", manifest.get(), "getMainAttributes",
                                    "java.util.jar.Attributes", nullptr)
                 : LocalRef<jobject>();
    const LocalRef<jstring> key = attributes ? toJavaStringUtf("Main-Class") : LocalRef<jstring>();
    if (key) {
        const LocalRef<jstring> value =
            localAs<jstring>(callMethodObject("java.util.jar.Attributes", attributes.get(), "getValue",
                                              "java.lang.String", "Ljava/lang/String;", key.get()));
        found = fromJavaStringUtf(value.get());
    }
    closeArchive(archive.get());
    // An empty attribute names nothing: the search goes on as for a missing one.
    const std::size_t start = found.find_first_not_of(" \t");
    if (start == std::string::npos) return {};
    return found.substr(start, found.find_last_not_of(" \t") + 1 - start);
}

// The class of the archive's first entry whose file name is `classFile` (ASCII case ignored),
// named with the entry's own case; empty when there is none.
std::string classFileMatch(TextView path, TextView classFile) {
    LocalRef<jobject> archive = openArchive(path);
    if (!archive) return {};
    Text found;
    LocalRef<jobject> entries(callMethodObject(kJarFile, archive.get(), "entries", kEnumeration, nullptr));
    while (entries && found.empty() && callMethodBoolean(kEnumeration, entries.get(), "hasMoreElements", nullptr)) {
        LocalRef<jobject> entry(
            callMethodObject(kEnumeration, entries.get(), "nextElement", "java.lang.Object", nullptr));
        if (!entry) break; // an enumeration that fails would otherwise be asked forever
        Text name = fromJavaString(
            callMethodObject("java.util.jar.JarEntry", entry.get(), "getName", "java.lang.String", nullptr));
        if (!equalsIgnoreCase(fileNameOf(name), classFile)) continue;
        name.resize(name.rfind(u'.'));
        for (char16_t& c : name)
            if (c == u'/') c = u'.';
        found = std::move(name);
    }
    closeArchive(archive.get());
    return toUtf8(found);
}

} // namespace

std::string resolveMainClass(TextView configuredMainClass, TextView classPath, TextView baseName) {
    if (!configuredMainClass.empty()) return fitted(toUtf8(configuredMainClass));
    if (baseName.empty() || !javaEnv()) return {};
    const std::vector<Text> elements = splitWordsAt(classPath, os::kListSeparator);

    Text jarName(baseName);
    jarName += u".jar";
    Text zipName(baseName);
    zipName += u".zip";
    for (const Text& element : elements) {
        // Compared in its long form: a short name would hide the archive's real name.
        Text longForm = os::longPathName(element);
        if (longForm.size() > 4095) longForm.resize(4095);
        const TextView fileName = fileNameOf(longForm.empty() ? TextView(element) : TextView(longForm));
        if (!equalsIgnoreCase(fileName, jarName) && !equalsIgnoreCase(fileName, zipName)) continue;
        std::string found = manifestMainClass(element);
        if (!found.empty()) {
            trace("main class: ", found, " from the manifest of ", element);
            return fitted(std::move(found));
        }
        trace("main class: ", element, " has no Main-Class in its manifest");
    }

    Text classFile(baseName);
    classFile += u".class";
    for (const Text& element : elements) {
        if (!isArchive(element)) continue;
        std::string found = classFileMatch(element, classFile);
        if (!found.empty()) {
            trace("main class: ", found, " from the class file ", classFile, " in ", element);
            return fitted(std::move(found));
        }
    }
    trace("main class: neither a manifest nor a class file ", classFile, " in the class path's archives");
    return {};
}

} // namespace tavrelo
