#include "applet/applet.h"

namespace tavrelo {

ControlPanelInfo controlPanelInfoFrom(bool defined, const std::optional<std::vector<std::optional<Text>>>& elements) {
    ControlPanelInfo info;
    if (elements) {
        const auto element = [&](std::size_t index) -> std::optional<Text> {
            return index < elements->size() ? (*elements)[index] : std::nullopt;
        };
        info.name = element(0);
        info.description = element(1);
        info.category = element(2);
    }
    if (defined && !info.category) info.category = Text(u"0");
    return info;
}

CategoryPlace categoryPlaceFor(VersionWord version, unsigned majorVersion, unsigned minorVersion,
                               TextView servicePack) noexcept {
    if (isWindowsXP(version)) return CategoryPlace::XpKey;
    return isVistaSP2OrLater(majorVersion, minorVersion, servicePack) ? CategoryPlace::CategoryText
                                                                       : CategoryPlace::CategoryNumber;
}

bool isExplorerImage(TextView imagePath) noexcept {
    const std::size_t separator = imagePath.find_last_of(u"\\/");
    const TextView name = separator == TextView::npos ? imagePath : imagePath.substr(separator + 1);
    return equalsIgnoreCase(name, u"explorer.exe");
}

Text fitField(TextView text, std::size_t units) {
    return Text(text.substr(0, units > 0 ? units - 1 : 0));
}

} // namespace tavrelo
