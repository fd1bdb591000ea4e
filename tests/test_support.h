// Helpers shared by the tests: a scratch directory removed afterwards, and file writing.
#pragma once

#include <string>
#include <vector>

#include "platform/messages.h"
#include "platform/os.h"
#include "platform/text.h"

namespace tavrelo::test {

// A fresh directory under the temporary directory, removed with its content at the end.
class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const Text& path() const { return path_; }
    // path() + separator + relative ('/' in `relative` is turned into the platform separator).
    Text operator/(TextView relative) const;
    // Creates the file (and its parent directories) with these bytes.
    Text write(TextView relative, std::string_view bytes) const;
    Text makeDir(TextView relative) const;

private:
    Text path_;
};

void removeTree(TextView path);

// Records every message box instead of showing it, for as long as it lives (one at a time), and
// answers each with `answer`.
class RecordedBoxes {
public:
    struct Box {
        Text caption;
        Text text;
        unsigned style;
    };
    explicit RecordedBoxes(int answer = kAnswerOk);
    ~RecordedBoxes();
    RecordedBoxes(const RecordedBoxes&) = delete;
    RecordedBoxes& operator=(const RecordedBoxes&) = delete;

    std::vector<Box> boxes;

private:
    MessagePresenter saved_;
};

// An object the threads of a test may outlast it with: never freed, yet reachable to the end, so
// the leak check at exit does not count it.
template <class T> T* lasting(T* object) {
    static auto& kept = *new std::vector<const void*>;
    kept.push_back(object);
    return object;
}

// UTF-16LE bytes of a text, optionally behind a byte-order mark.
std::string utf16leBytes(TextView text, bool withMark);

} // namespace tavrelo::test
