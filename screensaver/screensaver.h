// The screen saver: the screen-saver build's run (full screen, preview inside the settings
// dialog, configuration) and the launcher's install and removal of the ".scr" copy. The rules
// are portable; the windows, threads and files are Windows-only.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "platform/text.h"

namespace tavrelo {

struct FeatureInterface;

// The slots of the application's `ScreenSaverManagement` methods.
enum ScreenSaverSlot : int {
    kScrsvOpenConfig = 0,
    kScrsvPaint = 1,
    kScrsvGetInfo = 2,
    kScrsvIsExitByKey = 3,
    kScrsvIsExitByMouse = 4,
    kScrsvInit = 5,
    kScrsvFinish = 6,
    kScrsvIsCreate = 7,
    kScrsvIsDelete = 8,
};
inline constexpr int kScreenSaverSlotCount = 9;

// ---- Rules ----------------------------------------------------------------------------------

enum class ScreenSaverMode : int { None = -1, Configure = 0, FullScreen = 1, Preview = 2 };

struct ScreenSaverRequest {
    ScreenSaverMode mode = ScreenSaverMode::None;
    std::uintptr_t previewParent = 0; // the settings dialog's window in preview mode
};
// The request of the screen-saver build's argument line (the text after the program name): "/C"
// or an empty line configure, "/S" runs full screen, "/P" previews in the window whose decimal
// handle starts at the fourth character ("/p 1234" and "/p:1234"); anything else asks nothing.
[[nodiscard]] ScreenSaverRequest parseScreenSaverArguments(TextView line) noexcept;

struct ScreenSaverInfo {
    Text description;
    bool captureScreen = false;
    bool showCursor = false;
    unsigned periodMs = 1000;
};
// From the elements of `scrsvGetInfo` (absent: the method is missing or gave null; an absent
// element keeps its default): description, capture ("true" in any case, or "1"), cursor (the
// same), period (decimal, at least 100; an empty text keeps 1,000).
[[nodiscard]] ScreenSaverInfo screenSaverInfoFrom(const std::optional<std::vector<std::optional<Text>>>& elements);

// Input decisions of the full-screen window. `byKey` / `byMouse`: whether the application
// defines scrsvIsExitByKey / scrsvIsExitByMouse.
enum class InputDecision { Ignore, Finish, AskApplication };
[[nodiscard]] InputDecision keyDecision(bool byKey, bool byMouse) noexcept;
// A move (click 0, button 0) is compared with the last position (-1, -1 before the first): the
// first one only records it, a move to the same point is ignored; `lastX`/`lastY` follow.
[[nodiscard]] InputDecision mouseDecision(bool byKey, bool byMouse, int x, int y, int click, int button, int& lastX,
                                          int& lastY) noexcept;

// Where the frame lies on the screen: the whole virtual screen in full-screen mode, which
// begins left of or above the primary monitor when another monitor lies there; the desktop
// window's client area at (0, 0) in preview mode.
struct ScreenArea {
    int x = 0;
    int y = 0;
    int width = 0;
    int height = 0;
};
[[nodiscard]] ScreenArea screenSaverArea(bool preview, ScreenArea virtualScreen, ScreenArea desktopClient) noexcept;

// ---- The application's methods --------------------------------------------------------------

// Binds the nine methods for the main class (again: later calls bind what is still unbound);
// true when `scrsvPaint` is defined.
bool bindScreenSaverMethods(const std::string& mainClass) noexcept;
[[nodiscard]] bool screenSaverDefines(int slot) noexcept;
[[nodiscard]] const FeatureInterface& screenSaverMethods() noexcept;
// True when the application paints a screen saver and its ".scr" copy lies beside the launcher.
[[nodiscard]] bool isScreenSaverApplication();
// scrsvGetInfo read into its record (defaults without the method).
[[nodiscard]] ScreenSaverInfo readScreenSaverInfo() noexcept;
// Calls a method of the slot without arguments (nothing when undefined).
void callScreenSaver(int slot) noexcept;
[[nodiscard]] bool askScreenSaver(int slot, int message) noexcept; // the method's answer, else the user's
[[nodiscard]] bool screenSaverKeyExits(int virtualKey, bool released) noexcept;
[[nodiscard]] bool screenSaverMouseExits(int x, int y, int click, int button, bool flag) noexcept;

// ---- Files ----------------------------------------------------------------------------------

// The source copy beside the application, "<dir>\<base>.scr".
[[nodiscard]] Text screenSaverSourceFile();
// The installed copy "<windows>\System32\<base>.scr"; empty without "SystemRoot" and "windir".
[[nodiscard]] Text installedScreenSaverFile();

// ---- The screen-saver build -----------------------------------------------------------------

// The entry of the screen-saver build: takes the source path stored in the module when it is an
// installed copy, reads the request and runs the launch sequence. Returns the exit status.
[[nodiscard]] int runScreenSaverEntry(void* module, TextView argumentLine);

} // namespace tavrelo
