// The applet inside its host: Explorer only lists it; any other host (the Control Panel) gets
// the application's VM at CPL_INIT and runs it on a double click.
#include <windows.h>

#include <cpl.h>

#include <atomic>

#include "applet/applet.h"
#include "bridge/bridge.h"
#include "launcher/java_runtime.h"
#include "launcher/launcher.h"
#include "platform/os.h"
#include "platform/win_text.h"
#include "resources/resources.h"

namespace tavrelo {

namespace {

constexpr int kAppletIcon = 1;
std::atomic<void*> appletModule{nullptr};
bool hostIsExplorer = true; // host thread only, set at CPL_INIT

bool isHostExplorer() { return isExplorerImage(os::moduleFileName(nullptr)); }

// A plain "BIN" text of the applet module, trimmed; empty when it is missing.
Text appletText(int id) {
    const auto module = static_cast<HMODULE>(appletModule.load());
    HRSRC found = FindResourceW(module, MAKEINTRESOURCEW(id), wc(kBinType));
    const DWORD size = found ? SizeofResource(module, found) : 0;
    HGLOBAL loaded = size ? LoadResource(module, found) : nullptr;
    const auto* units = static_cast<const char16_t*>(loaded ? LockResource(loaded) : nullptr);
    if (!units) return {};
    TextView text(units, size / sizeof(char16_t));
    if (const std::size_t end = text.find(u'\0'); end != TextView::npos) text = text.substr(0, end);
    return trim(text);
}

// The host may unload the applet after CPL_EXIT while the VM's daemon threads and the desktop
// thread still run its code: once a VM exists, the module stays for the host's life.
void pinAppletModule() noexcept {
    HMODULE pinned = nullptr;
    GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_PIN,
                       reinterpret_cast<LPCWSTR>(&pinAppletModule), &pinned);
}

void initialise() {
    LaunchContext& context = launchContext();
    initLaunchContext(context, appletModule.load(), 0, u"", {});
    deriveNames(context);
    hostIsExplorer = isHostExplorer();
    if (hostIsExplorer) return;
    LaunchRequest request;
    request.launchMode = kModeApplet;
    (void)runLauncher(request);
    if (javaVm()) pinAppletModule();
}

void fillNewInquiry(NEWCPLINFOW& record) {
    ZeroMemory(&record, sizeof record);
    record.dwSize = sizeof record;
    record.hIcon = LoadIconW(static_cast<HMODULE>(appletModule.load()), MAKEINTRESOURCEW(kAppletIcon));
    Text name = appletText(kBinAppletName);
    if (name.empty()) name = launchContext().baseName;
    const Text cutName = fitField(name, ARRAYSIZE(record.szName));
    const Text cutInfo = fitField(appletText(kBinAppletDescription), ARRAYSIZE(record.szInfo));
    CopyMemory(record.szName, cutName.c_str(), (cutName.size() + 1) * sizeof(char16_t));
    CopyMemory(record.szInfo, cutInfo.c_str(), (cutInfo.size() + 1) * sizeof(char16_t));
}

} // namespace

void setAppletModule(void* module) noexcept { appletModule.store(module); }

long long controlPanelMessage(void*, unsigned message, long long, long long second) noexcept {
    try {
        switch (message) {
        case CPL_INIT: initialise(); return 1;
        case CPL_GETCOUNT: return 1;
        case CPL_INQUIRE:
            if (auto* record = reinterpret_cast<CPLINFO*>(second)) {
                ZeroMemory(record, sizeof *record);
                record->idIcon = kAppletIcon;
            }
            return 0;
        case CPL_DBLCLK:
            if (javaVm()) openControlPanelApplet();
            return 0;
        case CPL_EXIT:
            if (!hostIsExplorer && javaVm()) shutdownJavaVm(true);
            return 0;
        case CPL_NEWINQUIRE:
            if (auto* record = reinterpret_cast<NEWCPLINFOW*>(second)) fillNewInquiry(*record);
            return 0;
        default: return 0;
        }
    } catch (...) {
        return 0;
    }
}

} // namespace tavrelo
