#include <windows.h>

#include <cstdint>

#include "harness/standin.h"
#include "platform/os.h"
#include "platform/win_text.h"

namespace tavrelo::standin::test {

namespace {

// Wine hands the Unix environment over as it is: a Unix path becomes one on drive Z:.
Text windowsPath(Text path) {
    if (!path.empty() && path[0] == u'/') path = u"Z:" + path;
    for (char16_t& c : path)
        if (c == u'/') c = u'\\';
    return path;
}

Text environmentPath(const char16_t* name) {
    const auto value = os::environmentValue(name);
    return value ? windowsPath(*value) : Text();
}

bool copyTree(const Text& from, const Text& to) {
    CreateDirectoryW(wc(to), nullptr);
    WIN32_FIND_DATAW found;
    HANDLE search = FindFirstFileW(wc(from + u"\\*"), &found);
    if (search == INVALID_HANDLE_VALUE) return false;
    bool ok = true;
    do {
        const Text name = tc(found.cFileName);
        if (name == u"." || name == u"..") continue;
        const Text source = from + u"\\" + name, target = to + u"\\" + name;
        if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) ok = copyTree(source, target) && ok;
        else ok = CopyFileW(wc(source), wc(target), FALSE) && ok;
    } while (FindNextFileW(search, &found));
    FindClose(search);
    return ok;
}

void makeParents(const Text& path) {
    for (std::size_t at = 3; (at = path.find(u'\\', at)) != Text::npos; ++at)
        CreateDirectoryW(wc(path.substr(0, at)), nullptr);
}

std::uint32_t crc32(std::string_view bytes) {
    std::uint32_t crc = 0xFFFFFFFFu;
    for (char b : bytes) {
        crc ^= static_cast<unsigned char>(b);
        for (int k = 0; k < 8; ++k) crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
    }
    return ~crc;
}

void put16(std::string& out, std::uint32_t v) {
    out.push_back(static_cast<char>(v & 0xFF));
    out.push_back(static_cast<char>((v >> 8) & 0xFF));
}
void put32(std::string& out, std::uint32_t v) {
    put16(out, v & 0xFFFF);
    put16(out, v >> 16);
}

} // namespace

// The test programs are built in the stand-in's own build directory, two below the tree's root.
Text testProgramDirectory() {
    Text path = os::moduleFileName(nullptr);
    const std::size_t cut = path.rfind(u'\\');
    return cut == Text::npos ? Text() : path.substr(0, cut);
}

Text standinDirectory() {
    const Text configured = environmentPath(u"TAVRELO_STANDIN_DIR");
    return configured.empty() ? testProgramDirectory() : configured;
}

Text appsDirectory() {
    const Text configured = environmentPath(u"TAVRELO_APPS_DIR");
    return configured.empty() ? testProgramDirectory() + u"\\..\\..\\apps" : configured;
}

bool installJre(TextView home, std::string_view layout) {
    const Text source = standinDirectory() + u"\\jre\\" + fromUtf8(layout);
    if (!os::isDirectory(source)) return false;
    const Text target(home);
    makeParents(target);
    return copyTree(source, target);
}

bool installLauncher(TextView destination, TextView deliverable) {
    const Text target(destination);
    makeParents(target);
    return CopyFileW(wc(appsDirectory() + u"\\" + Text(deliverable)), wc(target), FALSE) != 0;
}

Text helperProgram(TextView name) {
    return standinDirectory() + u"\\" + Text(name);
}

bool writeScenario(TextView directory, std::string_view text) {
    return os::writeFile(Text(directory) + u"\\standin.scenario", text);
}

CallLog CallLog::read(TextView directory) {
    CallLog log;
    (void)os::readFile(Text(directory) + u"\\standin.log", log.text_);
    std::size_t at = 0;
    while (at < log.text_.size()) {
        std::size_t end = log.text_.find('\n', at);
        if (end == std::string::npos) end = log.text_.size();
        const std::string line = log.text_.substr(at, end - at);
        at = end + 1;
        // <pid>:<tid> [<thread>] <kind> <details>
        LogLine parsed;
        const std::size_t colon = line.find(':');
        const std::size_t open = line.find(" [");
        const std::size_t close = line.find("] ", open == std::string::npos ? 0 : open);
        if (colon == std::string::npos || open == std::string::npos || close == std::string::npos) continue;
        parsed.pid = std::strtoul(line.substr(0, colon).c_str(), nullptr, 10);
        parsed.tid = std::strtoul(line.substr(colon + 1, open - colon - 1).c_str(), nullptr, 10);
        parsed.thread = line.substr(open + 2, close - open - 2);
        const std::string rest = line.substr(close + 2);
        const std::size_t space = rest.find(' ');
        parsed.kind = rest.substr(0, space);
        parsed.details = space == std::string::npos ? std::string() : rest.substr(space + 1);
        log.lines_.push_back(std::move(parsed));
    }
    return log;
}

std::vector<LogLine> CallLog::find(std::string_view kind, std::string_view part) const {
    std::vector<LogLine> out;
    for (const LogLine& l : lines_)
        if (l.kind == kind && l.details.find(part) != std::string::npos) out.push_back(l);
    return out;
}

std::vector<std::string> CallLog::errors() const {
    std::vector<std::string> out;
    for (const LogLine& l : find("error")) out.push_back(l.details);
    return out;
}

bool writeJar(TextView path, std::string_view mainClass, const std::vector<std::pair<std::string, std::string>>& entries) {
    std::vector<std::pair<std::string, std::string>> all;
    if (!mainClass.empty())
        all.emplace_back("META-INF/MANIFEST.MF",
                         "Manifest-Version: 1.0\r\nMain-Class: " + std::string(mainClass) + "\r\nCreated-By: tests\r\n\r\n");
    all.insert(all.end(), entries.begin(), entries.end());
    std::string zip, directory;
    for (const auto& [name, content] : all) {
        const auto offset = static_cast<std::uint32_t>(zip.size());
        const std::uint32_t crc = crc32(content);
        put32(zip, 0x04034b50);
        put16(zip, 10);
        put16(zip, 0);
        put16(zip, 0); // stored
        put32(zip, 0);
        put32(zip, crc);
        put32(zip, static_cast<std::uint32_t>(content.size()));
        put32(zip, static_cast<std::uint32_t>(content.size()));
        put16(zip, static_cast<std::uint32_t>(name.size()));
        put16(zip, 0);
        zip += name + content;
        put32(directory, 0x02014b50);
        put16(directory, 20);
        put16(directory, 10);
        put16(directory, 0);
        put16(directory, 0);
        put32(directory, 0);
        put32(directory, crc);
        put32(directory, static_cast<std::uint32_t>(content.size()));
        put32(directory, static_cast<std::uint32_t>(content.size()));
        put16(directory, static_cast<std::uint32_t>(name.size()));
        put16(directory, 0);
        put16(directory, 0);
        put16(directory, 0);
        put16(directory, 0);
        put32(directory, 0);
        put32(directory, offset);
        directory += name;
    }
    const auto directoryOffset = static_cast<std::uint32_t>(zip.size());
    zip += directory;
    put32(zip, 0x06054b50);
    put16(zip, 0);
    put16(zip, 0);
    put16(zip, static_cast<std::uint32_t>(all.size()));
    put16(zip, static_cast<std::uint32_t>(all.size()));
    put32(zip, static_cast<std::uint32_t>(directory.size()));
    put32(zip, directoryOffset);
    put16(zip, 0);
    const Text target(path);
    makeParents(target);
    return os::writeFile(target, zip);
}

} // namespace tavrelo::standin::test
