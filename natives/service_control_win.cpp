// The service-control natives that change services: create, delete, control and configure any
// service of the machine. Each call opens the manager and the service with the access it needs
// and closes both before it returns; results are 0 or a Win32 error, and nothing throws.
#include <windows.h>

#include <array>
#include <vector>

#include "launcher/hand_overs.h"
#include "launcher/launcher.h"
#include "natives/natives.h"
#include "natives/service_access.h"
#include "platform/win_text.h"
#include "service/service.h"

namespace tavrelo {

namespace {

FeatureInterface serviceControlInterface{20, "ServiceControlManagement"};

const wchar_t* orNull(const std::optional<Text>& text) noexcept { return text ? wc(*text) : nullptr; }

// A password read straight into a buffer of its own, wiped when the call is done: no other copy
// of it is made on the way to the service manager.
class Password {
  public:
    Password(JNIEnv* env, jstring string, bool& failed) noexcept {
        if (!string) return;
        const jsize length = env->GetStringLength(string);
        try {
            chars_.assign(static_cast<std::size_t>(length) + 1, L'\0');
        } catch (...) {
            failed = true;
            return;
        }
        env->GetStringRegion(string, 0, length, reinterpret_cast<jchar*>(chars_.data()));
        if (env->ExceptionCheck()) {
            env->ExceptionClear();
            failed = true;
        }
    }
    ~Password() {
        if (!chars_.empty()) SecureZeroMemory(chars_.data(), chars_.size() * sizeof(wchar_t));
    }
    Password(const Password&) = delete;
    Password& operator=(const Password&) = delete;
    [[nodiscard]] const wchar_t* get() const noexcept { return chars_.empty() ? nullptr : chars_.data(); }

  private:
    std::vector<wchar_t> chars_;
};

bool containsRestart(TextView words) noexcept {
    constexpr TextView restart = u"RESTART";
    for (std::size_t at = 0; at + restart.size() <= words.size(); ++at)
        if (equalsIgnoreCase(words.substr(at, restart.size()), restart)) return true;
    return false;
}

jint controlNative(JNIEnv* env, jstring name, unsigned long access, unsigned long control) noexcept {
    const OpenedService opened = openNamedService(env, name, SC_MANAGER_ALL_ACCESS, access);
    if (opened.error) return static_cast<jint>(opened.error);
    SERVICE_STATUS status{};
    return serviceCallResult(serviceManagerApi().controlService(opened.service.get(), control, &status));
}

jint JNICALL scmCreateService(JNIEnv* env, jclass, jstring name, jstring displayName, jstring description,
                              jstring commandLine, jboolean automatic, jboolean delayed) noexcept {
    try {
        bool failed = false;
        const std::optional<Text> nameText = javaArgument(env, name, failed);
        ServiceInfo info;
        info.displayName = javaArgument(env, displayName, failed);
        info.description = javaArgument(env, description, failed);
        const std::optional<Text> line = javaArgument(env, commandLine, failed);
        if (failed) return ERROR_NOT_ENOUGH_MEMORY;
        if (!nameText || nameText->empty() || nameText->find(u'\0') != Text::npos) return ERROR_INVALID_NAME;
        if (!line) return ERROR_INVALID_PARAMETER;
        info.autoStart = automatic != JNI_FALSE;
        info.delayedStart = delayed != JNI_FALSE;
        ScmHandle manager(serviceManagerApi().openSCManager(nullptr, nullptr, SC_MANAGER_ALL_ACCESS));
        if (!manager) return static_cast<jint>(lastErrorOrFailure());
        return static_cast<jint>(createService(manager.get(), *nameText, *line, info));
    } catch (...) {
        return ERROR_NOT_ENOUGH_MEMORY;
    }
}

jint JNICALL scmDeleteService(JNIEnv* env, jclass, jstring name) noexcept {
    const OpenedService opened = openNamedService(env, name, SC_MANAGER_ALL_ACCESS, DELETE);
    if (opened.error) return static_cast<jint>(opened.error);
    return serviceCallResult(serviceManagerApi().deleteService(opened.service.get()));
}

jint JNICALL scmStartService(JNIEnv* env, jclass, jstring name) noexcept {
    const OpenedService opened = openNamedService(env, name, SC_MANAGER_ALL_ACCESS, SERVICE_START);
    if (opened.error) return static_cast<jint>(opened.error);
    return serviceCallResult(serviceManagerApi().startService(opened.service.get(), 0, nullptr));
}

jint JNICALL scmStopService(JNIEnv* env, jclass, jstring name) noexcept {
    return controlNative(env, name, SERVICE_STOP, SERVICE_CONTROL_STOP);
}
jint JNICALL scmPauseService(JNIEnv* env, jclass, jstring name) noexcept {
    return controlNative(env, name, SERVICE_PAUSE_CONTINUE, SERVICE_CONTROL_PAUSE);
}
jint JNICALL scmContinueService(JNIEnv* env, jclass, jstring name) noexcept {
    return controlNative(env, name, SERVICE_PAUSE_CONTINUE, SERVICE_CONTROL_CONTINUE);
}

// Null texts and SERVICE_NO_CHANGE (-1) numbers leave their part as it is; the dependencies are
// names separated by '/' ("" removes them all). The error control stays.
jint JNICALL scmChangeConfig(JNIEnv* env, jclass, jstring name, jstring displayName, jint type, jint startType,
                             jstring binaryPath, jstring dependencies, jstring account, jstring password) noexcept {
    try {
        bool failed = false;
        const std::optional<Text> display = javaArgument(env, displayName, failed);
        const std::optional<Text> path = javaArgument(env, binaryPath, failed);
        const std::optional<Text> names = javaArgument(env, dependencies, failed);
        const std::optional<Text> user = javaArgument(env, account, failed);
        const Password secret(env, password, failed);
        if (failed) return ERROR_NOT_ENOUGH_MEMORY;
        const Text list = names ? dependencyList(*names) : Text();
        const OpenedService opened = openNamedService(env, name, SC_MANAGER_ALL_ACCESS, SERVICE_CHANGE_CONFIG);
        if (opened.error) return static_cast<jint>(opened.error);
        return serviceCallResult(serviceManagerApi().changeServiceConfig(
            opened.service.get(), static_cast<DWORD>(type), static_cast<DWORD>(startType), SERVICE_NO_CHANGE,
            orNull(path), nullptr, nullptr, names ? wc(list) : nullptr, orNull(user), secret.get(), orNull(display)));
    } catch (...) {
        return ERROR_NOT_ENOUGH_MEMORY;
    }
}

// A null description removes it, as the configuration watcher does.
jint JNICALL scmSetDescription(JNIEnv* env, jclass, jstring name, jstring description) noexcept {
    try {
        bool failed = false;
        Text text = javaArgument(env, description, failed).value_or(Text());
        if (failed) return ERROR_NOT_ENOUGH_MEMORY;
        const OpenedService opened = openNamedService(env, name, SC_MANAGER_ALL_ACCESS, SERVICE_CHANGE_CONFIG);
        if (opened.error) return static_cast<jint>(opened.error);
        SERVICE_DESCRIPTIONW record{wc(text.data())};
        return serviceCallResult(
            serviceManagerApi().changeServiceConfig2(opened.service.get(), SERVICE_CONFIG_DESCRIPTION, &record));
    } catch (...) {
        return ERROR_NOT_ENOUGH_MEMORY;
    }
}

// The words and delays as serviceGetInfo gives them; the command goes to the manager as given.
jint JNICALL scmSetFailures(JNIEnv* env, jclass, jstring name, jstring words, jstring delays, jstring command,
                            jstring rebootMessage, jint resetPeriod) noexcept {
    try {
        bool failed = false;
        const Text types = javaArgument(env, words, failed).value_or(Text());
        const Text seconds = javaArgument(env, delays, failed).value_or(Text());
        const Text line = javaArgument(env, command, failed).value_or(Text());
        const Text message = javaArgument(env, rebootMessage, failed).value_or(Text());
        if (failed) return ERROR_NOT_ENOUGH_MEMORY;
        // A RESTART action is stored only for a caller that may start the service.
        const unsigned long access = SERVICE_CHANGE_CONFIG | (containsRestart(types) ? SERVICE_START : 0);
        const OpenedService opened = openNamedService(env, name, SC_MANAGER_ALL_ACCESS, access);
        if (opened.error) return static_cast<jint>(opened.error);
        const unsigned long error =
            applyFailureActions(opened.service.get(), failureActions(types, seconds, !line.empty()), line, message,
                                resetPeriod < -1 ? -1 : resetPeriod);
        return error == ERROR_MORE_DATA ? 0 : static_cast<jint>(error);
    } catch (...) {
        return ERROR_NOT_ENOUGH_MEMORY;
    }
}

jint JNICALL scmSetDelayedAutoStart(JNIEnv* env, jclass, jstring name, jboolean delayed) noexcept {
    const OpenedService opened = openNamedService(env, name, SC_MANAGER_ALL_ACCESS, SERVICE_CHANGE_CONFIG);
    if (opened.error) return static_cast<jint>(opened.error);
    SERVICE_DELAYED_AUTO_START_INFO record{delayed ? TRUE : FALSE};
    return serviceCallResult(serviceManagerApi().changeServiceConfig2(opened.service.get(),
                                                                      SERVICE_CONFIG_DELAYED_AUTO_START_INFO, &record));
}

template <class Function> void* entry(Function function) noexcept { return reinterpret_cast<void*>(function); }

} // namespace

unsigned long lastErrorOrFailure() noexcept {
    const DWORD error = GetLastError();
    return error != 0 ? error : ERROR_GEN_FAILURE;
}

jint serviceCallResult(bool succeeded) noexcept {
    if (succeeded) return 0;
    const unsigned long error = lastErrorOrFailure();
    return error == ERROR_INVALID_LEVEL || error == ERROR_MORE_DATA ? 0 : static_cast<jint>(error);
}

unsigned long serviceNameOf(JNIEnv* env, jstring given, Text& name) noexcept {
    try {
        bool failed = false;
        std::optional<Text> text = javaArgument(env, given, failed);
        if (failed) return ERROR_NOT_ENOUGH_MEMORY;
        if (!text && launchContext().launchMode == kModeServiceSide) text = launchContext().baseName;
        if (!text || text->find(u'\0') != Text::npos) return ERROR_INVALID_NAME;
        name = std::move(*text);
        return 0;
    } catch (...) {
        return ERROR_NOT_ENOUGH_MEMORY;
    }
}

OpenedService openNamedService(JNIEnv* env, jstring name, unsigned long managerAccess,
                               unsigned long serviceAccess) noexcept {
    OpenedService opened;
    Text serviceName;
    if ((opened.error = serviceNameOf(env, name, serviceName)) != 0) return opened;
    const ServiceManagerApi& api = serviceManagerApi();
    opened.manager = ScmHandle(api.openSCManager(nullptr, nullptr, managerAccess));
    if (opened.manager)
        opened.service = ScmHandle(api.openService(opened.manager.get(), wc(serviceName), serviceAccess));
    if (!opened.service) opened.error = lastErrorOrFailure();
    return opened;
}

void registerServiceControlNatives(const std::string& mainClass) {
    const std::array<void*, 20> functions{
        entry(scmCreateService), entry(scmDeleteService),      entry(scmStartService), entry(scmStopService),
        entry(scmPauseService),  entry(scmContinueService),    entry(scmEnumServices), entry(scmEnumDependentServices),
        entry(scmChangeConfig),  entry(scmSetDescription),     entry(scmSetFailures),  entry(scmSetDelayedAutoStart),
        entry(scmQueryConfig),   entry(scmGetDescription),     entry(scmGetNameSvc),   entry(scmGetNameLong),
        entry(scmGetFailures),   entry(scmIsDelayedAutoStart), entry(scmQueryStatus),  entry(errorMessageNative),
    };
    (void)bindNativeSet(serviceControlInterface, serviceControlNatives(), mainClass, functions);
}

} // namespace tavrelo
