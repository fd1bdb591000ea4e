// The Control Panel applet: the applet build's callbacks inside the Control Panel host, and the
// launcher's registration of the ".cpl" copy. The rules are portable; the registry, resources
// and the host's messages are Windows-only.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "platform/system.h"
#include "platform/text.h"

namespace tavrelo {

// The slots of the application's `ControlPanelManagement` methods.
enum ControlPanelSlot : int { kCplIsCreate = 0, kCplIsDelete = 1, kCplOpen = 2, kCplGetInfo = 3 };
inline constexpr int kControlPanelSlotCount = 4;

// ---- Rules ----------------------------------------------------------------------------------

struct ControlPanelInfo {
    std::optional<Text> name;
    std::optional<Text> description;
    std::optional<Text> category;
};
// From the elements of `cplGetInfo` (absent: the method is missing or gave null): name,
// description and category; a missing or null element is absent, except the category, which is
// "0" whenever the method is defined.
[[nodiscard]] ControlPanelInfo controlPanelInfoFrom(bool defined,
                                                    const std::optional<std::vector<std::optional<Text>>>& elements);

// Where the category goes for a Windows version: the XP key (text), the category key as a
// number (Vista before its second service pack), or as text (later versions).
enum class CategoryPlace { XpKey, CategoryNumber, CategoryText };
[[nodiscard]] CategoryPlace categoryPlaceFor(VersionWord version, unsigned majorVersion, unsigned minorVersion,
                                             TextView servicePack) noexcept;

// True when the host's program file is Explorer (by its file name, whatever its command line).
[[nodiscard]] bool isExplorerImage(TextView imagePath) noexcept;

// A text cut to fit a fixed field of `units` units with its NUL.
[[nodiscard]] Text fitField(TextView text, std::size_t units);

// ---- The application's methods --------------------------------------------------------------

// Binds the four methods for the main class.
void bindControlPanelMethods(const std::string& mainClass) noexcept;
[[nodiscard]] bool controlPanelDefines(int slot) noexcept;
[[nodiscard]] ControlPanelInfo readControlPanelInfo() noexcept;
[[nodiscard]] bool askControlPanel(int slot, int message) noexcept;
void openControlPanelApplet() noexcept; // cplOpen when defined, else main (silently)

// ---- The applet build -----------------------------------------------------------------------

// The CPlApplet callback and the module handle DllMain stores.
long long controlPanelMessage(void* window, unsigned message, long long first, long long second) noexcept;
void setAppletModule(void* module) noexcept;

} // namespace tavrelo
