// The tray icon: what the application's TaskbarManagement methods answer, read into plain
// records, and the icon's life on the desktop thread.
#pragma once

#include <jni.h>

#include <optional>
#include <string>
#include <vector>

#include "platform/text.h"

namespace tavrelo {

// What a click does.
enum TrayAction : int { kTrayNothing = 0, kTrayDefaultItem = 1, kTrayShowMenu = 2 };

// The launcher's own item-state flag: the item needs administrator rights (a shield mark).
inline constexpr unsigned kMenuStateNeedsAdmin = 0x10000000;
inline constexpr std::size_t kTooltipLimit = 127;
inline constexpr std::size_t kBalloonTitleLimit = 63;
inline constexpr std::size_t kBalloonTextLimit = 255;

// `taskGetInfo`: the tooltip (cut to its limit) and the action of each click.
struct TrayInfo {
    Text tooltip;
    int rightSingle = kTrayShowMenu;
    int rightDouble = kTrayNothing;
    int leftSingle = kTrayNothing;
    int leftDouble = kTrayDefaultItem;

    [[nodiscard]] int action(bool right, bool doubleClick) const noexcept {
        if (right) return doubleClick ? rightDouble : rightSingle;
        return doubleClick ? leftDouble : leftSingle;
    }
};

// One row of `taskGetMenu`: a menu item's command id, label, type and state flags.
struct MenuRow {
    int id = 0;
    Text label;
    unsigned type = 0;
    unsigned state = 0;
};

// `taskGetBalloonInfo`. A title or text longer than its field is left empty; an empty title
// with an icon becomes a single space, so the shell shows the icon.
struct BalloonInfo {
    Text title;
    Text text;
    unsigned iconType = 0;
    unsigned timeoutMs = 0;
};

// Binds the TaskbarManagement methods for the main class (launch thread); true when the
// application defines a method that asks for a tray icon (or the companion's data exchange).
bool bindTaskbar(const std::string& mainClass) noexcept;

// Calls of the application's methods, from the desktop thread or the balloon poller. An absent
// method, or one that fails, gives what the comment says.
[[nodiscard]] TrayInfo taskGetInfo() noexcept;                                 // the defaults
[[nodiscard]] std::optional<std::vector<MenuRow>> taskGetMenu(bool right, int id) noexcept; // absent: null
[[nodiscard]] bool definesTaskGetMenu() noexcept;
[[nodiscard]] int taskGetDefaultMenuID(bool right) noexcept; // -1
void taskDoAction(bool right, int id) noexcept;
[[nodiscard]] bool definesTaskDisplayMenu() noexcept;
// True when the application showed its own menu over `dialog`.
[[nodiscard]] bool taskDisplayMenu(bool right, jobject dialog, int x, int y) noexcept;
[[nodiscard]] bool taskIsShow() noexcept; // true
void taskInit(bool companion) noexcept;
void taskSetBalloonSupported(bool supported) noexcept;
[[nodiscard]] bool taskIsBalloonShow() noexcept; // true
[[nodiscard]] BalloonInfo taskGetBalloonInfo() noexcept;
void taskDoBalloonAction() noexcept;

// Reads one menu row (a String[] of up to four elements); missing or null elements stay 0/empty,
// numbers are decimal and unparsable text counts as 0.
[[nodiscard]] MenuRow menuRowFrom(jobjectArray row) noexcept;

// The tray window and icon, on the desktop thread: created after the event window, destroyed
// before it; false when the window could not be made.
bool createTrayIcon() noexcept;
void destroyTrayIcon() noexcept;
// For System.exit and the launcher's end, from any thread: removes the icon without calling
// Java or waiting for the desktop thread.
void removeTrayIconNow() noexcept;

// The native menu for a click, built from the application's rows (the caller owns it);
// `administrator` drops the shield marks. The 16 x 16 shield bitmap composed from an icon on the
// menu colour (the caller owns it), null without an icon.
[[nodiscard]] void* buildTrayMenu(bool right, bool administrator) noexcept;
[[nodiscard]] void* composeShield(void* icon) noexcept;

// Shows the click's menu (the application's own through `taskDisplayMenu`, else the native one
// built from its rows) and hands the chosen id to `taskDoAction`. Desktop thread only.
void showTrayMenu(void* trayWindow, bool right) noexcept;

} // namespace tavrelo
