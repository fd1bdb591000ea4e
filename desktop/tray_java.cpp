// The application's side of the tray icon: its TaskbarManagement methods, and their answers read
// into plain records.
#include "bridge/bridge.h"
#include "desktop/tray.h"

namespace tavrelo {

namespace {

enum TaskbarSlot : int {
    kGetMenu = 1,
    kGetInfo = 2,
    kGetDefaultMenuId = 3,
    kDoAction = 4,
    kDisplayMenu = 5,
    kIsShow = 6,
    kInitPlain = 7,
    kInitWithMode = 8,
    kSetBalloonSupported = 9,
    kIsBalloonShow = 10,
    kGetBalloonInfo = 11,
    kDoBalloonAction = 12,
    kErrorNoService = 13,
};

FeatureInterface taskbar{14, "TaskbarManagement"};
// The companion's data exchange with its service shares the interface name; an application that
// only exchanges data still gets an icon in the companion.
FeatureInterface serviceData{3, "TaskbarManagement"};

// Element `index` of a String[] as text; empty when missing or null.
Text stringElement(jobjectArray array, jsize index) { return fromJavaString(arrayElement(array, index)); }

// Element `index` as a number when it is there.
std::optional<int> numberElement(jobjectArray array, jsize index) {
    const LocalRef<jstring> element = localAs<jstring>(arrayElement(array, index));
    if (!element) return std::nullopt;
    return toInt(fromJavaString(element));
}

Text cut(Text text, std::size_t limit) {
    if (text.size() > limit) text.resize(limit);
    return text;
}

} // namespace

bool bindTaskbar(const std::string& mainClass) noexcept {
    const char* main = mainClass.c_str();
    (void)bindMethod(taskbar, main, kGetMenu, "taskGetMenu", "(ZI)[[Ljava/lang/String;");
    (void)bindMethod(taskbar, main, kGetInfo, "taskGetInfo", "()[Ljava/lang/String;");
    (void)bindMethod(taskbar, main, kGetDefaultMenuId, "taskGetDefaultMenuID", "(Z)I");
    (void)bindMethod(taskbar, main, kDoAction, "taskDoAction", "(ZI)V");
    (void)bindMethod(taskbar, main, kDisplayMenu, "taskDisplayMenu", "(ZLjava/awt/Component;II)Z");
    (void)bindMethod(taskbar, main, kIsShow, "taskIsShow", "()Z");
    if (bindMethod(taskbar, main, kInitWithMode, "taskInit", "(Z)V") != 1)
        (void)bindMethod(taskbar, main, kInitPlain, "taskInit", "()V");
    (void)bindMethod(taskbar, main, kSetBalloonSupported, "taskSetBalloonSupported", "(Z)V");
    (void)bindMethod(taskbar, main, kIsBalloonShow, "taskIsBalloonShow", "()Z");
    (void)bindMethod(taskbar, main, kGetBalloonInfo, "taskGetBalloonInfo", "()[Ljava/lang/String;");
    (void)bindMethod(taskbar, main, kDoBalloonAction, "taskDoBalloonAction", "()V");
    (void)bindMethod(taskbar, main, kErrorNoService, "taskErrorNoService", "()V");
    (void)bindMethod(serviceData, main, 1, "taskDataForService", "()Ljava/io/Serializable;");
    (void)bindMethod(serviceData, main, 2, "taskDataFromService", "(Ljava/io/Serializable;)V");
    return isDefined(taskbar, kGetMenu) || isDefined(taskbar, kGetInfo) || isDefined(taskbar, kDisplayMenu) ||
           isDefined(serviceData, 1) || isDefined(serviceData, 2);
}

TrayInfo taskGetInfo() noexcept {
    TrayInfo info;
    try {
        const LocalRef<jobjectArray> array = localAs<jobjectArray>(callObject(taskbar, kGetInfo));
        if (!array) return info;
        info.tooltip = cut(stringElement(array.get(), 0), kTooltipLimit);
        int* actions[] = {&info.rightSingle, &info.rightDouble, &info.leftSingle, &info.leftDouble};
        for (jsize i = 0; i < 4; ++i)
            if (const auto value = numberElement(array.get(), i + 1)) *actions[i] = *value;
    } catch (...) {
        // Out of memory while copying text: the defaults stand.
    }
    return info;
}

MenuRow menuRowFrom(jobjectArray row) noexcept {
    MenuRow result;
    if (!row) return result;
    try {
        result.id = numberElement(row, 0).value_or(0);
        result.label = stringElement(row, 1);
        result.type = static_cast<unsigned>(numberElement(row, 2).value_or(0));
        result.state = static_cast<unsigned>(numberElement(row, 3).value_or(0));
    } catch (...) {
        result.label.clear();
    }
    return result;
}

std::optional<std::vector<MenuRow>> taskGetMenu(bool right, int id) noexcept {
    const LocalRef<jobjectArray> rows =
        localAs<jobjectArray>(callObject(taskbar, kGetMenu, static_cast<jboolean>(right), static_cast<jint>(id)));
    if (!rows) return std::nullopt;
    try {
        std::vector<MenuRow> result;
        const jsize count = arrayLength(rows.get());
        for (jsize i = 0; i < count; ++i) {
            const LocalRef<jobjectArray> row = localAs<jobjectArray>(arrayElement(rows.get(), i));
            result.push_back(menuRowFrom(row.get()));
        }
        return result;
    } catch (...) {
        return std::vector<MenuRow>{};
    }
}

bool definesTaskGetMenu() noexcept { return isDefined(taskbar, kGetMenu); }

int taskGetDefaultMenuID(bool right) noexcept {
    if (!isDefined(taskbar, kGetDefaultMenuId)) return -1;
    return callInt(taskbar, kGetDefaultMenuId, static_cast<jboolean>(right));
}

void taskDoAction(bool right, int id) noexcept {
    callVoid(taskbar, kDoAction, static_cast<jboolean>(right), static_cast<jint>(id));
}

bool definesTaskDisplayMenu() noexcept { return isDefined(taskbar, kDisplayMenu); }

bool taskDisplayMenu(bool right, jobject dialog, int x, int y) noexcept {
    return callBoolean(taskbar, kDisplayMenu, static_cast<jboolean>(right), dialog, static_cast<jint>(x),
                       static_cast<jint>(y)) != JNI_FALSE;
}

bool taskIsShow() noexcept { return !isDefined(taskbar, kIsShow) || callBoolean(taskbar, kIsShow) != JNI_FALSE; }

void taskInit(bool companion) noexcept {
    if (isDefined(taskbar, kInitWithMode))
        callVoid(taskbar, kInitWithMode, static_cast<jboolean>(companion));
    else
        callVoid(taskbar, kInitPlain);
}

void taskSetBalloonSupported(bool supported) noexcept {
    callVoid(taskbar, kSetBalloonSupported, static_cast<jboolean>(supported));
}

bool taskIsBalloonShow() noexcept {
    return !isDefined(taskbar, kIsBalloonShow) || callBoolean(taskbar, kIsBalloonShow) != JNI_FALSE;
}

BalloonInfo taskGetBalloonInfo() noexcept {
    BalloonInfo info;
    try {
        const LocalRef<jobjectArray> array = localAs<jobjectArray>(callObject(taskbar, kGetBalloonInfo));
        if (!array) return info;
        info.title = stringElement(array.get(), 0);
        info.text = stringElement(array.get(), 1);
        info.iconType = static_cast<unsigned>(numberElement(array.get(), 2).value_or(0));
        info.timeoutMs = static_cast<unsigned>(numberElement(array.get(), 3).value_or(0)) * 1000u;
    } catch (...) {
        info = BalloonInfo{};
    }
    // A field the shell cannot hold is left empty rather than cut.
    if (info.title.size() > kBalloonTitleLimit) info.title.clear();
    if (info.text.size() > kBalloonTextLimit) info.text.clear();
    if (info.title.empty() && info.iconType != 0) info.title.assign(1, u' ');
    return info;
}

void taskDoBalloonAction() noexcept { callVoid(taskbar, kDoBalloonAction); }

} // namespace tavrelo
