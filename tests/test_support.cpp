#include "test_support.h"

#include <atomic>

#ifndef _WIN32
#include <sys/stat.h>
#endif

namespace tavrelo::test {

namespace {
std::atomic<int> counter{0};
RecordedBoxes* recorder = nullptr;
int recordedAnswer = kAnswerOk;

int recordBox(TextView caption, TextView text, unsigned style) {
    if (recorder) recorder->boxes.push_back({Text(caption), Text(text), style});
    return recordedAnswer;
}

// A link to a directory is removed as a link; its target is never touched.
bool isLink(TextView path) {
#ifdef _WIN32
    (void)path;
    return false;
#else
    struct stat info;
    return ::lstat(toUtf8(path).c_str(), &info) == 0 && S_ISLNK(info.st_mode);
#endif
}

Text nativeSeparators(TextView relative) {
    Text out(relative);
    for (char16_t& c : out)
        if (c == u'/') c = os::kPathSeparator;
    return out;
}
} // namespace

TempDir::TempDir() {
    Text base = os::tempDirectory();
    if (!base.empty() && base.back() != os::kPathSeparator) base.push_back(os::kPathSeparator);
    for (int attempt = 0; attempt < 1000; ++attempt) {
        Text candidate = base + u"tavrelo-test-" + fromInt(static_cast<long long>(os::processId())) + u"-" +
                         fromInt(counter++);
        if (os::makeDirectory(candidate)) {
            path_ = os::longPathName(candidate);
            if (path_.empty()) path_ = candidate;
            return;
        }
    }
}

TempDir::~TempDir() {
    if (!path_.empty()) removeTree(path_);
}

Text TempDir::operator/(TextView relative) const {
    Text full = path_;
    full.push_back(os::kPathSeparator);
    full += nativeSeparators(relative);
    return full;
}

Text TempDir::makeDir(TextView relative) const {
    const Text native = nativeSeparators(relative);
    for (std::size_t at = 0; (at = native.find(os::kPathSeparator, at + 1)) != Text::npos;)
        (void)os::makeDirectory(*this / native.substr(0, at));
    const Text full = *this / native;
    (void)os::makeDirectory(full);
    return full;
}

Text TempDir::write(TextView relative, std::string_view bytes) const {
    const Text native = nativeSeparators(relative);
    const std::size_t cut = native.rfind(os::kPathSeparator);
    if (cut != Text::npos) makeDir(native.substr(0, cut));
    const Text full = *this / native;
    (void)os::writeFile(full, bytes);
    return full;
}

void removeTree(TextView path) {
    struct Context {
        Text directory;
    } context{Text(path)};
    os::listDirectory(
        path,
        [](TextView name, bool isDirectory, void* raw) {
            const auto& c = *static_cast<Context*>(raw);
            Text full = c.directory;
            full.push_back(os::kPathSeparator);
            full.append(name);
            if (isDirectory && !isLink(full)) removeTree(full);
            else (void)os::deleteFile(full);
            return true;
        },
        &context);
    (void)os::removeDirectory(path);
}

std::string utf16leBytes(TextView text, bool withMark) {
    std::string bytes;
    if (withMark) bytes = "\xFF\xFE";
    for (char16_t c : text) {
        bytes.push_back(static_cast<char>(c & 0xFF));
        bytes.push_back(static_cast<char>(c >> 8));
    }
    return bytes;
}

RecordedBoxes::RecordedBoxes(int answer) : saved_(setMessagePresenter(&recordBox)) {
    recorder = this;
    recordedAnswer = answer;
}

RecordedBoxes::~RecordedBoxes() {
    recorder = nullptr;
    setMessagePresenter(saved_);
}

} // namespace tavrelo::test
