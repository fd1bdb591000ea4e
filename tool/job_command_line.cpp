#include "launcher/launcher.h"
#include "platform/os.h"
#include "tool/tool.h"

namespace tavrelo {

namespace {


// The text after '=': the hand-over quotes its paths, and when such an argument comes last the
// word splitting has already taken its closing quote, so each quote is dropped on its own.
Text optionValue(TextView argument, std::size_t prefix) {
    TextView value = argument.substr(prefix);
    if (!value.empty() && value.front() == u'"') value.remove_prefix(1);
    if (!value.empty() && value.back() == u'"') value.remove_suffix(1);
    return Text(value);
}

TextView extensionOf(TextView path) noexcept {
    const std::size_t dot = path.rfind(u'.');
    return dot == TextView::npos ? TextView() : path.substr(dot);
}

bool isImageExtension(TextView extension) noexcept {
    for (const char16_t* image : kImageExtensions)
        if (equalsIgnoreCase(extension, image)) return true;
    return false;
}

Field fieldOf(TextView file) noexcept {
    const TextView extension = extensionOf(file);
    if (equalsIgnoreCase(extension, u".exe")) return &IntegrationJob::exeTarget;
    if (equalsIgnoreCase(extension, u".cpl")) return &IntegrationJob::cplTarget;
    if (equalsIgnoreCase(extension, u".scr")) return &IntegrationJob::scrTarget;
    if (equalsIgnoreCase(extension, u".ico")) return &IntegrationJob::iconSource;
    if (equalsIgnoreCase(extension, u".properties")) return &IntegrationJob::propertiesSource;
    if (isImageExtension(extension)) return &IntegrationJob::imageSource;
    return nullptr;
}

Text withExtension(TextView path, TextView extension) {
    const std::size_t dot = path.rfind(u'.');
    Text out(path.substr(0, dot));
    out.append(extension);
    return out;
}

struct TargetRow {
    Field target;
    const char16_t* extension;
};
constexpr TargetRow kTargetRows[] = {{&IntegrationJob::scrTarget, u".scr"},
                                     {&IntegrationJob::cplTarget, u".cpl"},
                                     {&IntegrationJob::exeTarget, u".exe"}};

// A target's missing sources come from beside it, a missing target from beside a source.
void deriveCompanions(IntegrationJob& job) {
    for (const TargetRow& row : kTargetRows) {
        std::optional<Text>& target = job.*row.target;
        auto pair = [&](std::optional<Text>& source, std::initializer_list<const char16_t*> extensions) {
            if (target && !source) {
                for (const char16_t* extension : extensions) {
                    Text candidate = withExtension(*target, extension);
                    if (os::pathExists(candidate)) {
                        source = std::move(candidate);
                        return;
                    }
                }
            } else if (!target && source) {
                Text candidate = withExtension(*source, row.extension);
                if (os::pathExists(candidate)) target = std::move(candidate);
            }
        };
        pair(job.iconSource, {u".ico"});
        pair(job.propertiesSource, {u".properties"});
        pair(job.imageSource, {u".bmp", u".gif", u".jpg", u".jpeg", u".png"});
    }
}

// An empty argument stands for the delivered launchers in the current directory.
void takeDeliveredLaunchers(IntegrationJob& job) {
    auto take = [&](std::optional<Text>& target, TextView name) {
        target = Text(name);
        for (auto [field, extension] : {std::pair{&IntegrationJob::iconSource, u".ico"},
                                        std::pair{&IntegrationJob::imageSource, u".bmp"},
                                        std::pair{&IntegrationJob::propertiesSource, u".properties"}})
            if (!(job.*field)) job.*field = withExtension(name, extension);
    };
    if (os::pathExists(u"Tavrelo.cpl")) take(job.cplTarget, u"Tavrelo.cpl");
    if (os::pathExists(u"Tavrelo.scr")) take(job.scrTarget, u"Tavrelo.scr");
    for (const char16_t* name : {u"Tavrelo.exe", u"Tavrelo_console.exe", u"Tavshield.exe", u"Tavshield_console.exe"}) {
        if (os::pathExists(name)) {
            take(job.exeTarget, name);
            break;
        }
    }
}

void resolveField(std::optional<Text>& field, TextView extension) {
    if (field) field = resolveSourcePath(*field, extension);
}

void resolveAll(IntegrationJob& job) {
    resolveField(job.exeTarget, u".exe");
    resolveField(job.cplTarget, u".cpl");
    resolveField(job.scrTarget, u".scr");
    resolveField(job.iconSource, u".ico");
    resolveField(job.propertiesSource, u".properties");
    if (job.imageSource) {
        // An image keeps its own kind when it has one; a proposed name is tried as each kind.
        const TextView own = extensionOf(*job.imageSource);
        std::optional<Text> resolved;
        if (isImageExtension(own)) {
            resolved = resolveSourcePath(*job.imageSource, own);
        } else {
            for (const char16_t* extension : kImageExtensions)
                if ((resolved = resolveSourcePath(withExtension(*job.imageSource, extension), extension))) break;
        }
        job.imageSource = std::move(resolved);
    }
}

void takeFileArgument(IntegrationJob& job, TextView argument) {
    if (argument.empty()) {
        takeDeliveredLaunchers(job);
    } else {
        if (argument.size() >= 2 && argument.front() == u'"' && argument.back() == u'"')
            argument = argument.substr(1, argument.size() - 2);
        if (Field field = fieldOf(argument)) job.*field = Text(argument);
        deriveCompanions(job);
    }
    resolveAll(job);
}

struct ValueOption {
    const char16_t* prefix;
    Field field;
};
constexpr ValueOption kValueOptions[] = {
    {u"-exe=", &IntegrationJob::exeTarget},         {u"-cpl=", &IntegrationJob::cplTarget},
    {u"-scr=", &IntegrationJob::scrTarget},         {u"-ico=", &IntegrationJob::iconSource},
    {u"-bmp=", &IntegrationJob::imageSource},       {u"-img=", &IntegrationJob::imageSource},
    {u"-prp=", &IntegrationJob::propertiesSource},
};

void takeOption(IntegrationJob& job, TextView argument) {
    if (equalsIgnoreCase(argument, u"-run")) {
        job.run = true;
    } else if (equalsIgnoreCase(argument, u"-info")) {
        job.info = true;
    } else if (equalsIgnoreCase(argument, u"-admin")) {
        job.adminGiven = job.admin = true;
    } else if (startsWithIgnoreCase(argument, u"-admin=")) {
        const Text value = optionValue(argument, 7);
        job.adminGiven = true;
        job.admin = equalsIgnoreCase(value, u"true") || value == u"1";
    } else if (startsWithIgnoreCase(argument, u"-jar=")) {
        job.archives.push_back(optionValue(argument, 5));
    } else {
        for (const ValueOption& option : kValueOptions) {
            if (startsWithIgnoreCase(argument, option.prefix)) {
                job.*option.field = optionValue(argument, textLength(option.prefix));
                return;
            }
        }
        // Any other option is ignored.
    }
}

} // namespace

Field fieldForFile(TextView file) noexcept { return fieldOf(file); }

IntegrationJob parseToolCommandLine(TextView commandLine) { return parseToolArguments(splitWords(commandLine)); }

IntegrationJob parseToolArguments(const std::vector<Text>& arguments) {
    IntegrationJob job;
    for (const Text& argument : arguments) {
        if (!argument.empty() && argument.front() == u'-') takeOption(job, argument);
        else takeFileArgument(job, argument);
    }
    return job;
}

} // namespace tavrelo
