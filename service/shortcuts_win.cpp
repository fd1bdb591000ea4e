// The shortcut files of a run type: written with the shell's link object in the current
// directory, deleted from the launcher directory. A shortcut that cannot be made is passed over
// without a word; the launch ends either way.
#include <windows.h>

#include <objbase.h>
#include <shobjidl.h>

#include "bridge/bridge.h"
#include "launcher/hand_overs.h"
#include "launcher/launcher.h"
#include "platform/os.h"
#include "platform/win_text.h"
#include "service/service.h"

namespace tavrelo {

namespace {

constexpr CLSID kShellLinkClass{0x00021401, 0, 0, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
constexpr IID kShellLinkInterface{0x000214F9, 0, 0, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
constexpr IID kPersistFileInterface{0x0000010B, 0, 0, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};

// COM for the length of one call, let go only when this call took it up: a thread that is
// already in another apartment (RPC_E_CHANGED_MODE) can still make the objects.
class ComScope {
  public:
    ComScope() noexcept : result_(CoInitialize(nullptr)) {}
    ~ComScope() {
        if (SUCCEEDED(result_)) CoUninitialize();
    }
    ComScope(const ComScope&) = delete;
    ComScope& operator=(const ComScope&) = delete;

  private:
    HRESULT result_;
};

template <class Interface> class ComRef {
  public:
    ComRef() noexcept = default;
    ~ComRef() {
        if (pointer_) pointer_->Release();
    }
    ComRef(const ComRef&) = delete;
    ComRef& operator=(const ComRef&) = delete;
    Interface* operator->() const noexcept { return pointer_; }
    void** out() noexcept { return reinterpret_cast<void**>(&pointer_); }

  private:
    Interface* pointer_ = nullptr;
};

// Target, arguments and working directory only: the shortcut shows the launcher's own icon.
bool writeShortcut(const Text& path, const Text& target, const Text& arguments, const Text& directory) noexcept {
    ComRef<IShellLinkW> link;
    if (FAILED(CoCreateInstance(kShellLinkClass, nullptr, CLSCTX_INPROC_SERVER, kShellLinkInterface, link.out())))
        return false;
    if (FAILED(link->SetPath(wc(target))) || FAILED(link->SetArguments(wc(arguments))) ||
        FAILED(link->SetWorkingDirectory(wc(directory))))
        return false;
    ComRef<IPersistFile> file;
    if (FAILED(link->QueryInterface(kPersistFileInterface, file.out()))) return false;
    return SUCCEEDED(file->Save(wc(path), TRUE));
}

ShortcutFacts factsOf(int runType) {
    ShortcutFacts facts;
    if (runType == kRunService) {
        // A configured run type skips the detection that binds the service methods.
        (void)bindServiceInterface(mainClassName());
        const ServiceInfo info = readServiceInfo();
        facts.autoStart = info.autoStart;
        facts.acceptsStop = info.acceptsStop;
        facts.companion = hasCompanion();
    } else if (runType == kRunScreenSaver) {
        // Likewise for the screen saver's methods, bound by detection only.
        (void)bindScreenSaverInterface(mainClassName());
        facts.screenSaverConfig = hasScreenSaverConfig();
    }
    return facts;
}

Text inDirectory(Text directory, TextView fileName) {
    if (directory.empty() || directory.back() != u'\\') directory += u'\\';
    directory += fileName;
    return directory;
}

} // namespace

void createRunTypeShortcut(int runType) {
    try {
        const std::vector<Shortcut> set = shortcutSet(runType, factsOf(runType));
        if (set.empty()) return;
        const LaunchContext& context = launchContext();
        const Text here = os::currentDirectory();
        const ComScope com;
        for (const Shortcut& shortcut : set)
            (void)writeShortcut(inDirectory(here, shortcutFileName(context.baseName, shortcut.word)),
                                context.longFileName, Text(shortcut.option), context.launcherDirectory);
    } catch (...) {
        // Out of memory: the shortcuts made so far stay.
    }
}

void deleteRunTypeShortcut(int runType) {
    try {
        const LaunchContext& context = launchContext();
        for (const Shortcut& shortcut : shortcutSet(runType, ShortcutFacts{}, true))
            (void)os::deleteFile(
                inDirectory(context.launcherDirectory, shortcutFileName(context.baseName, shortcut.word)));
    } catch (...) {
    }
}

} // namespace tavrelo
