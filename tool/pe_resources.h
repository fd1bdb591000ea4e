// Reading the resources of a Windows program file without Windows: the portable side of the
// resource tool's store. The file is untrusted: every header, offset and size is checked against
// the file before it is followed, and a damaged file gives a status, never a crash.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "platform/text.h"

namespace tavrelo {

// A resource type or name: a string when `name` is not empty, else the number `id`.
struct ResourceKey {
    Text name;
    int id = 0;
};

struct PeResource {
    ResourceKey type;
    ResourceKey name;
    int language = 0;
    std::string bytes;
};

enum class PeStatus {
    Read,         // every resource read (none when the file has no resource table)
    NotAProgram,  // no DOS and PE headers where a program has them
    Damaged,      // headers, section table or resource tree point outside the file or loop
};

// The resources of the program file `file`, in the order of its resource tree. `resources` is
// filled only when the status is Read. Single-threaded; allocates only what the file holds.
[[nodiscard]] PeStatus readPeResources(std::string_view file, std::vector<PeResource>& resources);
// A short English reason for a status, for diagnostics.
[[nodiscard]] const char16_t* peStatusText(PeStatus status) noexcept;

enum class PeWriteStatus {
    Written,
    NotAProgram,
    Damaged,
    NoResourceSection, // no resource table at the start of a section of its own
    DataFollows,       // a section other than the relocations, or other tables, after the resources
    TrailingData,      // bytes after the last section, which a rewrite would lose
    Signed,            // a certificate table, which a rewrite would break
    TooLarge,          // the new resource section would not fit the format's 32-bit sizes
};

// Replaces the resource table of the program file `file` with `resources` (several entries of
// the same type, name and language: the last one is written). The tree is rebuilt as loaders
// search it: named entries first, then numbered ones, each sorted. A relocation section that
// follows the resources moves with them; the resource directory, the relocation directory, the
// image size and the checksum are updated. `file` changes only when the status is Written.
[[nodiscard]] PeWriteStatus replacePeResources(std::string& file, const std::vector<PeResource>& resources);
[[nodiscard]] const char16_t* peWriteStatusText(PeWriteStatus status) noexcept;

// ---- Used by the tool's portable store.

// Applies one update to the bytes of a program file: RT_ICON entries of language 0 and icon
// group 1 removed first when it replaces icons, then every write (language 0) added or
// replacing its namesake. `file` changes only when the status is Written.
struct TargetUpdate;
[[nodiscard]] PeWriteStatus applyUpdateToProgram(std::string& file, const TargetUpdate& update);

// String `id` of the RT_STRING blocks among `resources` (language ignored, the first block
// found); empty when it is absent or its block is cut short.
[[nodiscard]] Text peString(const std::vector<PeResource>& resources, int id);

} // namespace tavrelo
