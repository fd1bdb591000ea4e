// The launcher's own resources (which type and identifier holds what, and how it is encoded),
// and the console build's hand-over of dropped files to the resource tool.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "platform/text.h"

namespace tavrelo {

// ---- Resource layout. Every resource is written and looked up with language 0. ---------------

inline constexpr char16_t kBinType[] = u"BIN"; // a named resource type
inline constexpr int kBinConfiguration = 1;     // properties text, UTF-16LE with its NUL, scrambled
inline constexpr int kBinAppletName = 2;        // UTF-16LE with its NUL, plain
inline constexpr int kBinAppletDescription = 3; // likewise
inline constexpr int kBinAppletCategory = 4;    // likewise
inline constexpr int kBinScreenSaverSource = 100; // full file name, UTF-16LE with its NUL, scrambled
inline constexpr int kBinSplashImage = 1001;      // image file bytes, plain
inline constexpr int kBinFirstArchive = 10001;    // archive i is kBinFirstArchive + i, scrambled
inline constexpr int kDeliveryNameString = 1000;  // RT_STRING: the build's delivery name
inline constexpr int kLauncherIconGroup = 1;      // RT_GROUP_ICON; its images are RT_ICON 1 to n
inline constexpr int kLauncherManifest = 1;       // RT_MANIFEST
// The screen-saver source path keeps at most this many units.
inline constexpr std::size_t kScreenSaverPathUnits = 4095;

// The bytes a scrambled text resource holds: the text as UTF-16LE with a terminating NUL unit,
// scrambled.
[[nodiscard]] std::string scrambledTextBytes(TextView text);
// The text of a scrambled resource: a private copy of `size` bytes is unscrambled and read as
// UTF-16LE up to its first NUL unit or its end (an odd final byte is ignored), keeping at most
// `limit` units. The copy is zeroed before it is released. Empty for null or empty data.
[[nodiscard]] Text unscrambledText(const void* data, std::size_t size, std::size_t limit = SIZE_MAX);

// String identifiers live in blocks of sixteen: string s is index s % 16 of block s / 16 + 1.
constexpr int stringBlockOf(int stringId) noexcept { return stringId / 16 + 1; }
constexpr int stringIndexOf(int stringId) noexcept { return stringId % 16; }
// An RT_STRING block holding strings[i] at index i (each a length unit and its UTF-16LE units,
// an empty string as a zero length); indexes after the last are left out. A string longer than
// 65,535 units is cut there. Empty for more than sixteen strings.
[[nodiscard]] std::string stringBlockBytes(const std::vector<Text>& strings);

// The screen-saver source path stored in a launcher module ("BIN" 100); empty when the module
// has none (or on the host, which has no resources).
[[nodiscard]] Text embeddedScreenSaverSource(void* module);

// ---- Hand-over of dropped files (console build). -------------------------------------------

inline constexpr char16_t kResourceToolName[] = u"Tavpack.exe";

// The resource tool's path beside the launcher: the directory, a separator and kResourceToolName.
[[nodiscard]] Text resourceToolPath(TextView launcherDirectory);
// True when the argument names a file the tool takes: it ends in .ico, .properties, .bmp, .png,
// .gif, .jpg or .jpeg (any case, from its last '.'; a closing double quote is disregarded when
// the argument also begins with one).
[[nodiscard]] bool isIntegrationFile(TextView argument) noexcept;
// True when one to three arguments are all such files and the tool exists in the directory.
// Whether the files exist is not checked: the tool reports missing ones.
[[nodiscard]] bool isIntegrationRequest(int count, const char16_t* const* arguments, TextView launcherDirectory);
// The tool's command line: "Tavpack.exe -run -info", the target argument for the launcher file
// (-exe=, -cpl= or -scr= by its extension; none for another extension) and one argument per
// dropped file (-ico=, -prp= or -img=), at most three, each put in double quotes unless it
// already begins with one and cut at 2,047 units; single spaces between them.
[[nodiscard]] Text resourceToolCommandLine(TextView launcherPath, int count, const char16_t* const* arguments);

// Non-zero when the program arguments (after the program name) are files to hand to the
// resource tool beside the launcher (launchContext().launcherDirectory must be derived).
// Always 0 on the host, which has no resource tool.
[[nodiscard]] int checkIntegrationRequest(int count, const char16_t* const* arguments);
// Starts the resource tool on the launcher with those files and does not wait for it; a tool
// that cannot be started is not reported. Returns 0, the process's exit status.
[[nodiscard]] int startResourceTool(int count, const char16_t* const* arguments);

} // namespace tavrelo
