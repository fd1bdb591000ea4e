#include "screensaver/screensaver.h"

namespace tavrelo {

namespace {

constexpr unsigned kShortestPeriodMs = 100;

bool isSwitchOn(const std::optional<Text>& text) noexcept {
    return text && (equalsIgnoreCase(*text, u"true") || *text == u"1");
}

} // namespace

ScreenSaverRequest parseScreenSaverArguments(TextView line) noexcept {
    ScreenSaverRequest request;
    if (line.empty() || startsWithIgnoreCase(line, u"/C")) {
        request.mode = ScreenSaverMode::Configure;
    } else if (startsWithIgnoreCase(line, u"/S")) {
        request.mode = ScreenSaverMode::FullScreen;
    } else if (startsWithIgnoreCase(line, u"/P")) {
        request.mode = ScreenSaverMode::Preview;
        // The handle follows the separator, whichever it is: "/p 1234" and "/p:1234".
        for (std::size_t i = 3; i < line.size() && line[i] >= u'0' && line[i] <= u'9'; ++i)
            request.previewParent = request.previewParent * 10 + static_cast<std::uintptr_t>(line[i] - u'0');
    }
    return request;
}

ScreenSaverInfo screenSaverInfoFrom(const std::optional<std::vector<std::optional<Text>>>& elements) {
    ScreenSaverInfo info;
    if (!elements) return info;
    const auto element = [&](std::size_t index) -> std::optional<Text> {
        return index < elements->size() ? (*elements)[index] : std::nullopt;
    };
    if (const auto description = element(0)) info.description = *description;
    info.captureScreen = isSwitchOn(element(1));
    info.showCursor = isSwitchOn(element(2));
    if (const auto period = element(3); period && !period->empty()) {
        const int asked = toInt(*period);
        info.periodMs = asked < static_cast<int>(kShortestPeriodMs) ? kShortestPeriodMs : static_cast<unsigned>(asked);
    }
    return info;
}

InputDecision keyDecision(bool byKey, bool byMouse) noexcept {
    if (!byKey && !byMouse) return InputDecision::Finish;
    return byKey ? InputDecision::AskApplication : InputDecision::Ignore;
}

InputDecision mouseDecision(bool byKey, bool byMouse, int x, int y, int click, int button, int& lastX,
                            int& lastY) noexcept {
    if (click == 0 && button == 0) {
        const bool first = lastX == -1 && lastY == -1;
        if (!first && x == lastX && y == lastY) return InputDecision::Ignore;
        lastX = x;
        lastY = y;
        // Showing the window moves the pointer in the system's eyes: the first move is not the user's.
        if (first) return InputDecision::Ignore;
    }
    if (!byKey && !byMouse) return InputDecision::Finish;
    return byMouse ? InputDecision::AskApplication : InputDecision::Ignore;
}

ScreenArea screenSaverArea(bool preview, ScreenArea virtualScreen, ScreenArea desktopClient) noexcept {
    if (preview) return {0, 0, desktopClient.width, desktopClient.height};
    return virtualScreen;
}

} // namespace tavrelo
