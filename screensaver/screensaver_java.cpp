// The application's ScreenSaverManagement methods, and the launcher's questions about them.
#include "bridge/bridge.h"
#include "launcher/hand_overs.h"
#include "launcher/launcher.h"
#include "platform/os.h"
#include "platform/system.h"
#include "screensaver/screensaver.h"

namespace tavrelo {

namespace {

FeatureInterface screenSaver{kScreenSaverSlotCount, "ScreenSaverManagement"};

} // namespace

bool bindScreenSaverMethods(const std::string& mainClass) noexcept {
    const char* main = mainClass.c_str();
    (void)bindMethod(screenSaver, main, kScrsvOpenConfig, "scrsvOpenConfig", "()V");
    (void)bindMethod(screenSaver, main, kScrsvPaint, "scrsvPaint", "(Ljava/awt/Graphics2D;II)V");
    (void)bindMethod(screenSaver, main, kScrsvGetInfo, "scrsvGetInfo", "()[Ljava/lang/String;");
    (void)bindMethod(screenSaver, main, kScrsvIsExitByKey, "scrsvIsExitByKey", "(IZ)Z");
    (void)bindMethod(screenSaver, main, kScrsvIsExitByMouse, "scrsvIsExitByMouse", "(IIIIZ)Z");
    (void)bindMethod(screenSaver, main, kScrsvInit, "scrsvInit", "()V");
    (void)bindMethod(screenSaver, main, kScrsvFinish, "scrsvFinish", "()V");
    (void)bindMethod(screenSaver, main, kScrsvIsCreate, "scrsvIsCreate", "()Z");
    (void)bindMethod(screenSaver, main, kScrsvIsDelete, "scrsvIsDelete", "()Z");
    return isDefined(screenSaver, kScrsvPaint);
}

bool screenSaverDefines(int slot) noexcept { return isDefined(screenSaver, slot); }

const FeatureInterface& screenSaverMethods() noexcept { return screenSaver; }

ScreenSaverInfo readScreenSaverInfo() noexcept {
    try {
        const LocalRef<jobjectArray> array = localAs<jobjectArray>(callObject(screenSaver, kScrsvGetInfo));
        if (!array) return screenSaverInfoFrom(std::nullopt);
        std::vector<std::optional<Text>> elements;
        const jsize count = arrayLength(array.get());
        for (jsize i = 0; i < count && i < 4; ++i) {
            const LocalRef<jstring> element = localAs<jstring>(arrayElement(array.get(), i));
            if (element)
                elements.emplace_back(fromJavaString(element));
            else
                elements.emplace_back(std::nullopt);
        }
        return screenSaverInfoFrom(elements);
    } catch (...) {
        return {};
    }
}

void callScreenSaver(int slot) noexcept { callVoid(screenSaver, slot); }

bool askScreenSaver(int slot, int message) noexcept { return callBooleanOrAsk(screenSaver, slot, message); }

bool screenSaverKeyExits(int virtualKey, bool released) noexcept {
    return callBoolean(screenSaver, kScrsvIsExitByKey, static_cast<jint>(virtualKey),
                       static_cast<jint>(released ? JNI_TRUE : JNI_FALSE)) != JNI_FALSE;
}

bool screenSaverMouseExits(int x, int y, int click, int button, bool flag) noexcept {
    return callBoolean(screenSaver, kScrsvIsExitByMouse, static_cast<jint>(x), static_cast<jint>(y),
                       static_cast<jint>(click), static_cast<jint>(button),
                       static_cast<jint>(flag ? JNI_TRUE : JNI_FALSE)) != JNI_FALSE;
}

Text screenSaverSourceFile() {
    const LaunchContext& context = launchContext();
    return context.launcherDirectory + os::kPathSeparator + context.baseName + u".scr";
}

Text installedScreenSaverFile() {
    const Text windows = systemRootDirectory();
    if (windows.empty()) return {};
    return windows + u"\\System32\\" + launchContext().baseName + u".scr";
}

bool bindScreenSaverInterface(const std::string& mainClass) { return bindScreenSaverMethods(mainClass); }

bool hasScreenSaverConfig() { return screenSaverDefines(kScrsvOpenConfig); }

bool isScreenSaverApplication() { return screenSaverDefines(kScrsvPaint) && os::pathExists(screenSaverSourceFile()); }

} // namespace tavrelo
