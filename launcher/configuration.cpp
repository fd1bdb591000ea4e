#include "launcher/launcher.h"
#include "platform/format.h"
#include "platform/os.h"
#include "platform/trace.h"

namespace tavrelo {

namespace {

// ExpandedPathList: a path list whose %NAME% references are expanded before it is resolved;
// ProgramPath: the same for a program, whose bare name may also be found on the PATH.
enum class ValueKind { Text, Options, PathList, ExpandedPathList, ProgramPath };

struct KeyForms {
    ConfigSlot slot;
    const char16_t* forms[4];
    ValueKind kind;
};

// In the order keys are compared.
const KeyForms kKeys[] = {
    {kJreVersion, {u"JREversion", u"JRE version"}, ValueKind::Text},
    {kPersonalClasspath, {u"PersonalClasspath", u"Personal Classpath"}, ValueKind::PathList},
    {kMainArgs, {u"MainArgs", u"Main Args"}, ValueKind::Text},
    {kMainClass, {u"MainClass", u"Main Class"}, ValueKind::Text},
    {kPersonalOptions, {u"PersonalOptions", u"Personal Options"}, ValueKind::Options},
    {kRunType, {u"RunType", u"Run Type", u"RunAsService", u"Run As Service"}, ValueKind::Text},
    {kClassDirectory, {u"ClassDirectory", u"Class Directory"}, ValueKind::PathList},
    {kResourceDirectory, {u"ResourceDirectory", u"Resource Directory"}, ValueKind::PathList},
    {kUrlInstallJre, {u"URL_InstallJRE", u"URL InstallJRE"}, ValueKind::PathList},
    {kDisplayBoxInstall, {u"Display_BoxInstall", u"Display BoxInstall"}, ValueKind::Text},
    {kPathBrowser, {u"PathBrowser", u"Path Browser"}, ValueKind::ProgramPath},
    {kPathJre, {u"PathJRE", u"Path JRE"}, ValueKind::ExpandedPathList},
};

const KeyForms* findKey(TextView key) noexcept {
    for (const KeyForms& entry : kKeys)
        for (const char16_t* form : entry.forms)
            if (form && equalsIgnoreCase(key, form)) return &entry;
    return nullptr;
}

Text defaultResourceDirectory(TextView launcherDirectory) {
    const char16_t format[] = {u'%', u's', os::kPathSeparator, u'r', u'e', u's', u'o', u'u', u'r', u'c', u'e', 0};
    return formatText(format, {launcherDirectory});
}

} // namespace

Configuration& configuration() noexcept {
    static Configuration config;
    return config;
}

void parsePropertyLine(Configuration& config, TextView line) {
    std::size_t cut = line.rfind(u'\r');
    if (cut == TextView::npos) cut = line.rfind(u'\n');
    if (cut != TextView::npos) line = line.substr(0, cut);
    const std::size_t equals = line.find(u'=');
    if (equals == TextView::npos) return;
    const KeyForms* key = findKey(trimView(line.substr(0, equals)));
    if (!key) return;
    const TextView value = trimView(line.substr(equals + 1));
    switch (key->kind) {
    case ValueKind::Text:
        config.set(key->slot, Text(value));
        break;
    case ValueKind::Options:
        config.set(key->slot, removeEscapes(value));
        break;
    case ValueKind::PathList:
        config.set(key->slot, normalisePathList(value, config.launcherDirectory));
        break;
    case ValueKind::ExpandedPathList:
        // "%ProgramFiles%\..." only names a place once expanded; resolved as written it would
        // count as relative, miss, and leave an empty slot.
        config.set(key->slot, normalisePathList(value, config.launcherDirectory, PathReferences::Expanded));
        break;
    case ValueKind::ProgramPath:
        config.set(key->slot, normalisePathList(value, config.launcherDirectory, PathReferences::ExpandedProgram));
        break;
    }
}

void applyEmbeddedText(Configuration& config, TextView text) {
    TextView rest = trimView(text);
    while (!rest.empty()) {
        const std::size_t feed = rest.find(u'\n');
        const TextView piece = rest.substr(0, feed);
        if (piece.empty()) break;
        parsePropertyLine(config, piece);
        // Key names only: the values may be what the application keeps from prying eyes.
        if (tracing())
            if (const TextView key = trimView(piece.substr(0, piece.find(u'='))); findKey(key))
                trace("configuration: the embedded configuration sets ", key);
        if (feed == TextView::npos) break;
        rest = rest.substr(feed + 1);
    }
}

void loadConfiguration(Configuration& config, TextView launcherDirectory, TextView baseName, void* module) {
    for (auto& slot : config.slots)
        slot.reset();
    config.launcherDirectory = Text(launcherDirectory);
    config.set(kClassDirectory, defaultResourceDirectory(launcherDirectory));
    config.set(kResourceDirectory, defaultResourceDirectory(launcherDirectory));

    const Text file = findPropertiesFile(launcherDirectory, baseName);
    std::string bytes;
    if (file.empty())
        trace("configuration: no ", baseName, ".properties beside the launcher or in a directory beside it");
    else if (!os::readFile(file, bytes))
        traceFailure("configuration: the properties file is not read: ");
    else
        trace("configuration: properties file ", file);
    for (const Text& line : propertiesLines(bytes))
        parsePropertyLine(config, line);

    Text embedded = embeddedConfigurationText(module);
    if (embedded.empty()) trace("configuration: no embedded configuration");
    applyEmbeddedText(config, embedded);
    // The embedded text may hold settings the application wants kept from prying eyes.
    for (char16_t& c : embedded)
        c = 0;
}

} // namespace tavrelo
