// The SectionManagement natives and their binding: the elevation test, elevated starts, the shield
// icon, and the elevated restart.
#include <windows.h>

#include <array>
#include <atomic>
#include <optional>

#include "bridge/object_conversion.h"
#include "ipc/pipes.h"
#include "launcher/hand_overs.h"
#include "platform/handles.h"
#include "platform/os.h"
#include "platform/system.h"
#include "service/admin.h"
#include "service/admin_sections.h"

namespace tavrelo {

namespace {

std::atomic_flag adminBusy = ATOMIC_FLAG_INIT;

jboolean JNICALL sectionIsAdmin(JNIEnv*, jclass) noexcept { return canSetSystemTime() ? JNI_TRUE : JNI_FALSE; }

jboolean JNICALL sectionExecAsAdmin(JNIEnv* env, jclass, jstring program, jobjectArray arguments) noexcept {
    bool failed = false;
    const std::optional<Text> file = javaArgument(env, program, failed);
    if (failed || !file || file->empty()) return JNI_FALSE;
    try {
        const Text line = arguments ? fromJavaStringArrayToLine(arguments) : Text();
        return startElevated(*file, line, u"") ? JNI_TRUE : JNI_FALSE;
    } catch (...) {
        return JNI_FALSE;
    }
}

// The shield's 16 x 16 pixels as ARGB, rows from the top: the colour bitmap with the mask's
// transparency (or the colour's own alpha where it has one).
std::optional<std::array<jint, kIconPixels>> pixelsOf(HICON icon) noexcept {
    ICONINFO parts{};
    if (!icon || !GetIconInfo(icon, &parts)) return std::nullopt;
    GdiObject colour(parts.hbmColor), mask(parts.hbmMask);
    if (!colour || !mask) return std::nullopt;
    BITMAPINFO format{};
    format.bmiHeader.biSize = sizeof format.bmiHeader;
    format.bmiHeader.biWidth = kIconSide;
    format.bmiHeader.biHeight = -kIconSide; // top-down
    format.bmiHeader.biPlanes = 1;
    format.bmiHeader.biBitCount = 32;
    format.bmiHeader.biCompression = BI_RGB;
    std::array<DWORD, kIconPixels> colours{}, masks{};
    const HDC screen = GetDC(nullptr);
    const bool read = GetDIBits(screen, static_cast<HBITMAP>(colour.get()), 0, kIconSide, colours.data(), &format,
                                DIB_RGB_COLORS) == kIconSide &&
                      GetDIBits(screen, static_cast<HBITMAP>(mask.get()), 0, kIconSide, masks.data(), &format,
                                DIB_RGB_COLORS) == kIconSide;
    ReleaseDC(nullptr, screen);
    if (!read) return std::nullopt;
    bool hasAlpha = false;
    for (DWORD pixel : colours) hasAlpha = hasAlpha || (pixel >> 24) != 0;
    std::array<jint, kIconPixels> pixels{};
    for (std::size_t i = 0; i < kIconPixels; ++i) {
        const DWORD alpha = hasAlpha ? colours[i] >> 24 : ((masks[i] & 0xFFFFFF) != 0 ? 0 : 0xFF);
        pixels[i] = static_cast<jint>((alpha << 24) | (colours[i] & 0xFFFFFF));
    }
    return pixels;
}

void JNICALL sectionSetIconAdmin(JNIEnv*, jclass, jobject component) noexcept {
    if (!component || canSetSystemTime()) return;
    // Taken once per process; the Java icon is made for each component.
    static const std::optional<std::array<jint, kIconPixels>> shield = [] {
        IconHandle icon(static_cast<HICON>(shieldIcon()));
        return pixelsOf(icon.get());
    }();
    if (!shield) return;
    LocalRef<jobject> icon(imageIconFromPixels(shield->data(), shield->size()));
    setComponentIcon(component, icon.get());
}

void JNICALL sectionRestartAsAdmin(JNIEnv*, jclass, jobject data, jobjectArray arguments) noexcept {
    const LaunchContext& context = launchContext();
    if (context.launchMode == kModeApplet || context.launchMode == kModeScreenSaver) return;
    AdminBusy busy;
    if (!busy.held()) return;
    try {
        // The program arguments as this process got them: "MainArgs" is added again by the
        // new run's own configuration.
        const Text parameters = restartParameters(static_cast<int>(os::processId()), quoteArgumentLine(context.arguments),
                                                  arguments ? fromJavaStringArrayToLine(arguments) : Text());
        if (!startElevated(context.longFileName, parameters, context.launcherDirectory)) return;
        if (sendStartObject(kSectionSetDataRestart, -1, serializeObject(data))) exitJava();
    } catch (...) {
        // Out of memory for a line: no restart.
    }
}

jboolean JNICALL sectionStartAdminThread(JNIEnv*, jclass, jint number, jobject data, jboolean wait) noexcept {
    return startAdminThread(number, data, wait != JNI_FALSE) ? JNI_TRUE : JNI_FALSE;
}

template <class Function> void* entry(Function function) noexcept { return reinterpret_cast<void*>(function); }

} // namespace

AdminBusy::AdminBusy() noexcept : held_(!adminBusy.test_and_set()) {}

void AdminBusy::release() noexcept {
    if (held_) adminBusy.clear();
    held_ = false;
}

FeatureInterface& sectionManagement() noexcept {
    static FeatureInterface record{kSectionSlotCount, "SectionManagement"};
    return record;
}

bool startElevated(TextView program, TextView parameters, TextView directory, void** process) noexcept {
    return shellExecuteElevated(program, parameters, directory, process);
}

void bindAdminSections(const std::string& mainClass) {
    AdminState& state = adminState();
    const bool elevatedCopy = launchContext().adminKind != kAdminNone;
    // The applet build reads no token: whoever has none is the user process itself.
    if (!elevatedCopy) state.parentProcessId = static_cast<int>(os::processId());
    // Only an elevated copy serves pipes for its parent alone.
    setPipeParentProcess(elevatedCopy ? static_cast<unsigned long>(state.parentProcessId) : 0);
    std::array<void*, kSectionSlotCount> functions{};
    functions[kSectionIsAdmin] = entry(sectionIsAdmin);
    functions[kSectionExecAsAdmin] = entry(sectionExecAsAdmin);
    functions[kSectionRestartAsAdmin] = entry(sectionRestartAsAdmin);
    functions[kSectionSetIconAdmin] = entry(sectionSetIconAdmin);
    functions[kSectionStartAdminThread] = entry(sectionStartAdminThread);
    FeatureInterface& record = sectionManagement();
    (void)bindNativeSet(record, sectionNatives(), mainClass, functions);
    for (const NativeMethod& method : sectionMethods())
        (void)bindMethod(record, mainClass.c_str(), method.slot, method.shortName, method.signature);
}

} // namespace tavrelo
