// Writing resources into a launcher file (Windows builds only). Used by the resource tool, the
// applet and screen-saver install actions, and the tests.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "platform/text.h"

namespace tavrelo {

// A named resource type ("BIN") or a standard numbered one.
struct ResourceType {
    const char16_t* name = nullptr;
    int number = 0;
};
inline constexpr ResourceType kBinResource{u"BIN", 0};
inline constexpr ResourceType kIconResource{nullptr, 3};       // RT_ICON
inline constexpr ResourceType kStringResource{nullptr, 6};     // RT_STRING, identified by block
inline constexpr ResourceType kIconGroupResource{nullptr, 14}; // RT_GROUP_ICON
inline constexpr ResourceType kManifestResource{nullptr, 24};  // RT_MANIFEST

// One update of a file's resources. The resources the file holds are kept; additions,
// replacements and removals (all in language 0) take effect together at commit(), the last
// change of a resource winning. An update destroyed without commit() leaves the file as it was.
// Not for use by several threads.
class ResourceUpdate {
public:
    explicit ResourceUpdate(TextView file) noexcept;
    ~ResourceUpdate();
    ResourceUpdate(const ResourceUpdate&) = delete;
    ResourceUpdate& operator=(const ResourceUpdate&) = delete;

    // False when the file could not be opened for update (missing, in use, not a program).
    [[nodiscard]] bool valid() const noexcept { return handle_ != nullptr; }
    // Adds or replaces a resource; false on failure or when the update is not open.
    [[nodiscard]] bool put(ResourceType type, int id, std::string_view bytes) noexcept;
    // Removes a resource; false on failure or when the update is not open.
    [[nodiscard]] bool remove(ResourceType type, int id) noexcept;
    // Writes every change into the file; false when it could not. The update is closed after.
    [[nodiscard]] bool commit() noexcept;

    struct Change {
        Text typeName; // empty for a numbered type
        int typeNumber = 0;
        int id = 0;
        bool removal = false;
        std::string bytes;
    };

private:
    [[nodiscard]] bool rewriteKeptResources() noexcept; // a commit that removes resources

    Text file_;
    void* handle_ = nullptr;
    std::vector<Change> changes_; // kept for a commit that has to rewrite every resource
    bool removals_ = false;
};

// Stores `text` as the scrambled "BIN" resource `id` (1: configuration, 100: screen-saver
// source path), UTF-16LE with its terminating NUL.
[[nodiscard]] bool putScrambledText(ResourceUpdate& update, int id, TextView text) noexcept;
// Opens `file`, stores the scrambled text and commits; false when any step fails.
[[nodiscard]] bool writeScrambledText(TextView file, int id, TextView text) noexcept;

} // namespace tavrelo
