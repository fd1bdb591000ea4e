#include <atomic>

#include "platform/messages.h"
#include "platform/os.h"

namespace tavrelo {

namespace {

int systemPresenter(TextView caption, TextView text, unsigned style) {
    return os::systemMessageBox(caption, text, style);
}

std::atomic<MessagePresenter> currentPresenter{&systemPresenter};

constexpr std::size_t kMessageBuffer = 2048;
constexpr unsigned long kErrorInvalidLevel = 124;

} // namespace

MessagePresenter setMessagePresenter(MessagePresenter presenter) noexcept {
    return currentPresenter.exchange(presenter ? presenter : &systemPresenter);
}

int presentMessage(TextView caption, TextView text, unsigned style) {
    return currentPresenter.load()(caption, text, style | kBoxTopmost);
}

std::optional<BuiltMessage> buildMessage(int number, std::initializer_list<FormatArg> args) {
    const MessageEntry* entry = messageEntry(number);
    if (!entry) return std::nullopt;
    // Both languages are formatted, as the language is only chosen once the texts exist.
    Text english = formatText(entry->english, args, keptUnits(kMessageBuffer));
    Text french = formatText(entry->french, args, keptUnits(kMessageBuffer));
    if (number == kMessageRename) {
        appendLimited(english, kDocumentationAddress, keptUnits(kMessageBuffer));
        appendLimited(french, kDocumentationAddress, keptUnits(kMessageBuffer));
    }
    if (isFrench()) return BuiltMessage{Text(entry->captionFrench), std::move(french)};
    return BuiltMessage{Text(entry->captionEnglish), std::move(english)};
}

bool showMessage(int number, unsigned style, std::initializer_list<FormatArg> args) {
    const auto message = buildMessage(number, args);
    if (!message) return false;
    return presentMessage(message->caption, message->text, style) == kAnswerYes;
}

bool askYesNo(TextView caption, TextView text, unsigned style) {
    return presentMessage(caption, text, style) == kAnswerYes;
}

Text systemErrorText(unsigned long code, std::size_t bufferUnits) {
    Text text = os::systemErrorDescription(code);
    if (text.size() > keptUnits(bufferUnits)) text.resize(keptUnits(bufferUnits));
    return text;
}

void showSystemError(unsigned long code) {
    if (code == 0) return;
    const Text text = systemErrorText(code, 1024);
    if (text.empty()) return;
    presentMessage(u"System", text, kBoxWarning);
}

void showLastError() {
    const unsigned long code = os::lastError();
    if (code != kErrorInvalidLevel) showSystemError(code);
}

} // namespace tavrelo
