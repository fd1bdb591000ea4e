// The bilingual message table and the message boxes built from it.
#pragma once

#include <initializer_list>
#include <optional>

#include "platform/format.h"
#include "platform/text.h"

namespace tavrelo {

struct MessageEntry {
    const char16_t* english;
    const char16_t* french;
    const char16_t* captionEnglish;
    const char16_t* captionFrench;
};

inline constexpr int kMessageCount = 32;
// The messages by their number in the table, the launcher's and the resource tool's. "No
// message" is -1.
enum MessageNumber : int {
    kNoMessage = -1,
    kMessageIncomplete = 0,
    kMessageRuntimeMissing = 1,
    kMessageNotAnIcon = 4,
    kMessageCantRunJvm = 5,
    kMessageMainClassMissing = 6,
    kMessageClassMissing = 7,
    kMessageMainMethodMissing = 8,
    kMessageInstallService = 9,
    kMessageStartService = 10,
    kMessageDeleteService = 11,
    kMessageNoServicePrivilege = 12,
    kMessageInstallApplet = 13,
    kMessageDeleteApplet = 14,
    kMessageIconLine = 15,
    kMessageIconInformation = 16,
    kMessageNotAnImage = 18,
    kMessagePropertiesInformation = 20,
    kMessageNotALauncher = 21,
    kMessageNoTarget = 23,
    kMessageNoSource = 24,
    kMessageAlreadyOpen = 25,
    kMessageRename = 26,
    kMessageSummary = 27,
    kMessageInstallScreenSaver = 28,
    kMessageDeleteScreenSaver = 29,
    kMessageNoScreenSaverPaint = 30,
    kMessageWrongWidth = 31,
};
// Completes message 26 in both languages.
inline constexpr char16_t kDocumentationAddress[] = u"https://tavrelo.org/documentation";

// Message-box styles and answers (the Win32 values, also understood by the host presenter).
inline constexpr unsigned kBoxOk = 0x00;
inline constexpr unsigned kBoxYesNo = 0x04;
inline constexpr unsigned kBoxStop = 0x10;
inline constexpr unsigned kBoxQuestion = 0x20;
inline constexpr unsigned kBoxWarning = 0x30;
inline constexpr unsigned kBoxInformation = 0x40;
inline constexpr unsigned kBoxTopmost = 0x40000;
inline constexpr int kAnswerOk = 1;
inline constexpr int kAnswerYes = 6;
inline constexpr int kAnswerNo = 7;

// Entry `number` (0 to 31) of the table; null outside it.
[[nodiscard]] const MessageEntry* messageEntry(int number) noexcept;

// True when the user's country setting is France (country code 33); read anew on every call.
[[nodiscard]] bool isFrench();

struct BuiltMessage {
    Text caption;
    Text text;
};
// Both languages are formatted with the same arguments into 2,048-unit buffers; the chosen
// language's caption and text come back. Nothing for a number outside the table.
[[nodiscard]] std::optional<BuiltMessage> buildMessage(int number, std::initializer_list<FormatArg> args = {});

// Shows message `number` with `style` (always on top, no owner); true when answered Yes.
bool showMessage(int number, unsigned style, std::initializer_list<FormatArg> args = {});
// Shows any caption and text; true when answered Yes.
bool askYesNo(TextView caption, TextView text, unsigned style);
// The system's text for `code` in a box captioned "System"; nothing for 0 or an unknown code.
void showSystemError(unsigned long code);
// showSystemError for the thread's last error, except ERROR_INVALID_LEVEL (124).
void showLastError();
// The system's text for `code`, cut to fit a buffer of `bufferUnits` units.
[[nodiscard]] Text systemErrorText(unsigned long code, std::size_t bufferUnits = 1024);

// Every box of the system goes through one process-wide presenter. It receives the caption,
// the text and the full style (MB_TOPMOST included) and returns the button pressed. Tests
// replace it; the default is the platform's own message box.
using MessagePresenter = int (*)(TextView caption, TextView text, unsigned style);
MessagePresenter setMessagePresenter(MessagePresenter presenter) noexcept;
int presentMessage(TextView caption, TextView text, unsigned style);

} // namespace tavrelo
