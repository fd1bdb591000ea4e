// The application's ControlPanelManagement methods, and the applet's start in the host.
#include "applet/applet.h"
#include "bridge/bridge.h"
#include "launcher/hand_overs.h"
#include "launcher/java_runtime.h"

namespace tavrelo {

namespace {

FeatureInterface controlPanel{kControlPanelSlotCount, "ControlPanelManagement"};

} // namespace

void bindControlPanelMethods(const std::string& mainClass) noexcept {
    const char* main = mainClass.c_str();
    (void)bindMethod(controlPanel, main, kCplIsCreate, "cplIsCreate", "()Z");
    (void)bindMethod(controlPanel, main, kCplIsDelete, "cplIsDelete", "()Z");
    (void)bindMethod(controlPanel, main, kCplOpen, "cplOpen", "()V");
    (void)bindMethod(controlPanel, main, kCplGetInfo, "cplGetInfo", "()[Ljava/lang/String;");
}

bool controlPanelDefines(int slot) noexcept { return isDefined(controlPanel, slot); }

ControlPanelInfo readControlPanelInfo() noexcept {
    try {
        const bool defined = controlPanelDefines(kCplGetInfo);
        const LocalRef<jobjectArray> array = localAs<jobjectArray>(callObject(controlPanel, kCplGetInfo));
        if (!array) return controlPanelInfoFrom(defined, std::nullopt);
        std::vector<std::optional<Text>> elements;
        const jsize count = arrayLength(array.get());
        for (jsize i = 0; i < count && i < 3; ++i) {
            const LocalRef<jstring> element = localAs<jstring>(arrayElement(array.get(), i));
            if (element)
                elements.emplace_back(fromJavaString(element));
            else
                elements.emplace_back(std::nullopt);
        }
        return controlPanelInfoFrom(defined, elements);
    } catch (...) {
        return {};
    }
}

bool askControlPanel(int slot, int message) noexcept { return callBooleanOrAsk(controlPanel, slot, message); }

void openControlPanelApplet() noexcept {
    if (controlPanelDefines(kCplOpen))
        callVoid(controlPanel, kCplOpen);
    else
        (void)callMainQuietly();
}

void bindControlPanelInterface(const std::string& mainClass) { bindControlPanelMethods(mainClass); }

int runApplet(int desktopFeatureSet, const std::string& mainClass) {
    bindControlPanelMethods(mainClass);
    startDesktopThread(desktopFeatureSet, mainClass);
    return 1;
}

} // namespace tavrelo
