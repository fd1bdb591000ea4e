// The invocation interface: creating and destroying the virtual machine, attaching and
// detaching threads. The exported JNI_ entry points of each library variant call these.
#include <windows.h>

#include <set>
#include <string>

#include "runtime/entry.h"
#include "runtime/runtime.h"

namespace tavrelo::standin {

namespace {

std::wstring& moduleDirectory() {
    static std::wstring directory;
    return directory;
}
std::wstring& scenarioPath() {
    static std::wstring path;
    return path;
}

std::wstring parentOf(const std::wstring& path) {
    const std::size_t cut = path.find_last_of(L"\\/");
    return cut == std::wstring::npos ? std::wstring() : path.substr(0, cut);
}

bool supportedVersion(jint version, bool allowOneOne) {
    switch (version) {
    case JNI_VERSION_1_1: return allowOneOne;
    case JNI_VERSION_1_2:
    case JNI_VERSION_1_4:
    case JNI_VERSION_1_6:
    case JNI_VERSION_1_8:
    case JNI_VERSION_9:
    case JNI_VERSION_10: return true;
    default: return false;
    }
}

std::string hexVersion(jint version) {
    char buffer[16];
    std::snprintf(buffer, sizeof buffer, "0x%08lx", static_cast<unsigned long>(version));
    return buffer;
}

bool startsWith(std::string_view text, std::string_view prefix) {
    return text.substr(0, prefix.size()) == prefix;
}

// What the VM accepts; other -X and "_" options are refused unless it is told to ignore them.
bool recognised(std::string_view option) {
    static const char* const exact[] = {"exit", "abort", "vfprintf", "-verbose", "-ea", "-da", "-esa", "-dsa",
                                        "-enableassertions", "-disableassertions", "-enablesystemassertions",
                                        "-disablesystemassertions"};
    for (const char* e : exact)
        if (option == e) return true;
    static const char* const prefixes[] = {"-D", "-verbose:",
                                           "-Xmx", "-Xms", "-Xmn", "-Xss", "-Xrs", "-Xint", "-Xmixed", "-Xcomp",
                                           "-Xbatch", "-Xcheck:", "-Xbootclasspath", "-Xdebug", "-Xnoclassgc",
                                           "-Xincgc", "-Xloggc:", "-Xlog", "-Xshare", "-Xverify", "-XX:", "-Xrun",
                                           "-Xdiag", "-Xfuture", "-Xnoagent", "-Xprof", "-Xinternalversion", "-ea:", "-da:", "-enableassertions:",
                                           "-disableassertions:", "-javaagent:", "-agentlib:", "-agentpath:",
                                           "--add-opens", "--add-exports", "--add-modules", "--add-reads",
                                           "--patch-module", "--limit-modules", "--module-path",
                                           "--upgrade-module-path", "--enable-native-access", "--illegal-access"};
    for (const char* p : prefixes)
        if (startsWith(option, p)) return true;
    return false;
}

void readScenario() {
    Vm& v = vm();
    if (scenarioPath().empty()) {
        logLine("scenario", "none: no standin.scenario beside the runtime, so there are no application classes");
        return;
    }
    HANDLE file = CreateFileW(scenarioPath().c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                              OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    std::string text;
    if (file != INVALID_HANDLE_VALUE) {
        char buffer[4096];
        DWORD read = 0;
        while (ReadFile(file, buffer, sizeof buffer, &read, nullptr) && read > 0) text.append(buffer, read);
        CloseHandle(file);
    }
    if (text.compare(0, 3, "\xEF\xBB\xBF") == 0) text.erase(0, 3);
    v.scenario = parseScenario(text);
    logLine("scenario", std::to_string(v.scenario.classes.size()) + " classes from " +
                            utf8(std::u16string(reinterpret_cast<const char16_t*>(scenarioPath().c_str()))));
    for (const std::string& e : v.scenario.errors) logError("scenario " + e);
}

void setInitialProperties(Vm& v) {
    const std::wstring home = parentOf(parentOf(moduleDirectory()));
    wchar_t current[MAX_PATH] = {};
    GetCurrentDirectoryW(MAX_PATH, current);
    auto w = [](const std::wstring& s) { return std::u16string(reinterpret_cast<const char16_t*>(s.c_str())); };
    v.properties[u"java.version"] = u"17.0.10";
    v.properties[u"java.vendor"] = u"Tavrelo stand-in";
    v.properties[u"java.home"] = w(home);
    v.properties[u"os.name"] = u"Windows 10";
    v.properties[u"os.arch"] = u"amd64";
    v.properties[u"file.separator"] = u"\\";
    v.properties[u"path.separator"] = u";";
    v.properties[u"line.separator"] = u"\r\n";
    v.properties[u"user.dir"] = w(current);
}

std::vector<std::string> waitingFor(const JavaThread* self) {
    std::vector<std::string> names;
    for (const auto& t : vm().threads)
        if (t.get() != self && t->alive && !t->daemon && (t->scripted || t->attached)) names.push_back(t->name);
    return names;
}

std::string joinNames(const std::vector<std::string>& names) {
    std::string out;
    for (const std::string& n : names) out += (out.empty() ? "" : ", ") + quoted(utf16(n));
    return out;
}

void detachLocked(JavaThread* t) {
    releaseAllLocalsLocked(t);
    t->attached = false;
    t->alive = false;
    vm().attached.erase(t->osId);
}

jint attach(JavaVM* javaVm, void** penv, void* rawArgs, bool daemon, const char* function) {
    if (javaVm != &vm().javaVm || !penv) {
        logError(std::string(function) + ": not this VM, or no place for the JNIEnv");
        return JNI_ERR;
    }
    std::string name;
    {
        VmGuard guard;
        Vm& v = vm();
        if (v.state != VmState::Running) {
            logError(std::string(function) + ": " +
                     (v.state == VmState::Destroyed ? "after DestroyJavaVM" : "before the VM exists"));
            *penv = nullptr;
            return JNI_ERR;
        }
        if (auto it = v.attached.find(GetCurrentThreadId()); it != v.attached.end()) {
            *penv = &it->second->env.jni;
            return JNI_OK;
        }
        if (const auto* args = static_cast<const JavaVMAttachArgs*>(rawArgs)) {
            if (!supportedVersion(args->version, true)) {
                logError(std::string(function) + ": unsupported version " + hexVersion(args->version));
                return JNI_EVERSION;
            }
            if (args->name) name = args->name;
        }
        JavaThread* t = newThreadLocked(name, daemon, false);
        t->osId = GetCurrentThreadId();
        t->attached = true;
        v.attached[t->osId] = t;
        *penv = &t->env.jni;
        name = t->name;
    }
    logLine("attach", quoted(utf16(name)) + (daemon ? " daemon" : ""));
    return JNI_OK;
}

jint JNICALL AttachCurrentThread(JavaVM* javaVm, void** penv, void* args) {
    return attach(javaVm, penv, args, false, "AttachCurrentThread");
}
jint JNICALL AttachCurrentThreadAsDaemon(JavaVM* javaVm, void** penv, void* args) {
    return attach(javaVm, penv, args, true, "AttachCurrentThreadAsDaemon");
}

jint JNICALL DetachCurrentThread(JavaVM* javaVm) {
    if (javaVm != &vm().javaVm) {
        logError("DetachCurrentThread: not this VM");
        return JNI_ERR;
    }
    {
        VmGuard guard;
        auto it = vm().attached.find(GetCurrentThreadId());
        if (it == vm().attached.end()) return JNI_OK;
        JavaThread* t = it->second;
        if (t->javaDepth > 0) {
            logError("DetachCurrentThread: the thread still runs Java code (a native called from Java detaches it)");
            return JNI_ERR;
        }
        if (t->pending) logLine("detach-drops", renderLocked(Value::ofObject(t->pending)));
    }
    logLine("detach", "");
    VmGuard guard;
    auto it = vm().attached.find(GetCurrentThreadId());
    if (it != vm().attached.end()) detachLocked(it->second);
    return JNI_OK;
}

jint JNICALL GetEnv(JavaVM* javaVm, void** penv, jint version) {
    if (javaVm != &vm().javaVm || !penv) {
        logError("GetEnv: not this VM, or no place for the JNIEnv");
        return JNI_ERR;
    }
    VmGuard guard;
    *penv = nullptr;
    if (vm().state != VmState::Running) return JNI_EDETACHED;
    if (!supportedVersion(version, true)) return JNI_EVERSION;
    JavaThread* t = currentThreadLocked();
    if (!t) return JNI_EDETACHED;
    *penv = &t->env.jni;
    return JNI_OK;
}

jint JNICALL DestroyJavaVM(JavaVM* javaVm) {
    if (javaVm != &vm().javaVm) {
        logError("DestroyJavaVM: not this VM");
        return JNI_ERR;
    }
    JavaThread* self = nullptr;
    {
        VmGuard guard;
        if (vm().state != VmState::Running) {
            logError("DestroyJavaVM: no running VM");
            return JNI_ERR;
        }
        self = currentThreadLocked();
    }
    if (!self) {
        // As the JVM does, the destroying thread joins the VM for the wait.
        void* env = nullptr;
        JavaVMAttachArgs args{JNI_VERSION_1_2, const_cast<char*>("DestroyJavaVM"), nullptr};
        attach(javaVm, &env, &args, false, "DestroyJavaVM");
        VmGuard guard;
        self = currentThreadLocked();
    }
    logLine("destroy", "");
    const DWORD start = GetTickCount();
    bool announced = false, complained = false;
    for (;;) {
        std::vector<std::string> names;
        {
            VmGuard guard;
            names = waitingFor(self);
        }
        if (names.empty()) break;
        if (!announced) {
            logLine("destroy-wait", joinNames(names));
            announced = true;
        }
        if (!complained && GetTickCount() - start > 5000) {
            logError("DestroyJavaVM has waited 5 s for non-daemon threads: " + joinNames(names) +
                     " (a thread attached and never detached waits forever)");
            complained = true;
        }
        Sleep(10);
    }
    {
        VmGuard guard;
        if (self) detachLocked(self);
        vm().state = VmState::Destroyed;
    }
    writeClassList();
    logLine("destroyed", "");
    return JNI_OK;
}

// As a real VM does unless it is given "-Xrs": console events end the VM through its exit path
// (shutdown hooks, then the exit hook) with the status of the signal each stands for. Ctrl+Break
// only prints a thread dump; a logoff is left to the next handler where the window station is
// not visible (a service's).
BOOL WINAPI consoleEvent(DWORD event) {
    switch (event) {
    case CTRL_C_EVENT:
        logLine("console-event", "CTRL_C_EVENT");
        exitVm(130);
    case CTRL_BREAK_EVENT: logLine("console-event", "CTRL_BREAK_EVENT (thread dump)"); return TRUE;
    case CTRL_LOGOFF_EVENT: {
        USEROBJECTFLAGS flags{};
        HWINSTA station = GetProcessWindowStation();
        if (station && GetUserObjectInformationW(station, UOI_FLAGS, &flags, sizeof flags, nullptr) &&
            (flags.dwFlags & WSF_VISIBLE) == 0) {
            logLine("console-event", "CTRL_LOGOFF_EVENT (not visible: left alone)");
            return FALSE;
        }
        logLine("console-event", "CTRL_LOGOFF_EVENT");
        exitVm(143);
    }
    case CTRL_CLOSE_EVENT:
    case CTRL_SHUTDOWN_EVENT:
        logLine("console-event", event == CTRL_CLOSE_EVENT ? "CTRL_CLOSE_EVENT" : "CTRL_SHUTDOWN_EVENT");
        exitVm(143);
    default: return FALSE;
    }
}

const JNIInvokeInterface_ invokeFunctions = {nullptr,           nullptr,
                                             nullptr,           &DestroyJavaVM,
                                             &AttachCurrentThread, &DetachCurrentThread,
                                             &GetEnv,           &AttachCurrentThreadAsDaemon};

} // namespace

const JNIInvokeInterface_* invokeTable() {
    return &invokeFunctions;
}

void onLoad(void* module) {
    // The launcher frees the library after DestroyJavaVM while scenario threads may still run
    // in it; a real JVM is never unloaded either.
    HMODULE pinned = nullptr;
    GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_PIN,
                       reinterpret_cast<LPCWSTR>(&onLoad), &pinned);
    wchar_t path[MAX_PATH * 4] = {};
    GetModuleFileNameW(static_cast<HMODULE>(module), path, MAX_PATH * 4);
    moduleDirectory() = parentOf(path);
    // The scenario and the log sit beside the library or up to three directories above it
    // (jre\bin\server\jvm.dll: the runtime home is two above).
    std::wstring directory = moduleDirectory();
    for (int level = 0; level < 4 && !directory.empty(); ++level, directory = parentOf(directory)) {
        const std::wstring candidate = directory + L"\\standin.scenario";
        if (GetFileAttributesW(candidate.c_str()) != INVALID_FILE_ATTRIBUTES) {
            scenarioPath() = candidate;
            setLogDirectory(directory);
            break;
        }
    }
    if (scenarioPath().empty()) setLogDirectory(parentOf(parentOf(moduleDirectory())));
    logLine("load", utf8(std::u16string(reinterpret_cast<const char16_t*>(path))));
}

jint defaultInitArgs(void* rawArgs) {
    auto* args = static_cast<JavaVMInitArgs*>(rawArgs);
    if (!args) {
        logError("JNI_GetDefaultJavaVMInitArgs: null arguments");
        return JNI_ERR;
    }
    const bool ok = supportedVersion(args->version, false);
    logLine("defaults", "version=" + hexVersion(args->version) + " -> " + (ok ? "0" : "JNI_EVERSION"));
    return ok ? JNI_OK : JNI_EVERSION;
}

jint getCreatedVms(JavaVM** buffer, jsize length, jsize* count) {
    VmGuard guard;
    const bool running = vm().state == VmState::Running;
    logLine("get-created-vms", std::string("-> ") + (running ? "1" : "0"));
    if (!count) {
        logError("JNI_GetCreatedJavaVMs: no place for the count");
        return JNI_ERR;
    }
    *count = running ? 1 : 0;
    if (running && buffer && length > 0) buffer[0] = &vm().javaVm;
    return JNI_OK;
}

jint createVm(JavaVM** pvm, void** penv, void* rawArgs) {
    VmGuard guard;
    Vm& v = vm();
    auto* args = static_cast<JavaVMInitArgs*>(rawArgs);
    if (!pvm || !penv || !args) {
        logError("JNI_CreateJavaVM: null arguments");
        return JNI_EINVAL;
    }
    logLine("create", "version=" + hexVersion(args->version) + " options=" + std::to_string(args->nOptions) +
                          " ignoreUnrecognized=" + (args->ignoreUnrecognized ? "true" : "false"));
    if (v.state == VmState::Running) {
        logLine("create-failed", "a virtual machine exists in this process");
        return JNI_EEXIST;
    }
    if (v.state == VmState::Destroyed) {
        logLine("create-failed", "the virtual machine of this process was destroyed");
        return JNI_ERR;
    }
    if (!supportedVersion(args->version, false)) {
        logLine("create-failed", "unsupported version " + hexVersion(args->version));
        return JNI_EVERSION;
    }
    if (args->nOptions < 0 || (args->nOptions > 0 && !args->options)) {
        logError("JNI_CreateJavaVM: a bad option array");
        return JNI_EINVAL;
    }
    std::vector<std::pair<std::u16string, std::u16string>> properties;
    for (jint i = 0; i < args->nOptions; ++i) {
        const JavaVMOption& o = args->options[i];
        if (!o.optionString) {
            logError("JNI_CreateJavaVM: option " + std::to_string(i) + " has no text");
            return JNI_EINVAL;
        }
        const std::string text = o.optionString;
        logLine("option", text + (o.extraInfo ? " +extraInfo" : ""));
        v.options.push_back(text);
        if (text == "exit") v.exitHook = reinterpret_cast<void(JNICALL*)(jint)>(o.extraInfo);
        else if (text == "abort") v.abortHook = reinterpret_cast<void(JNICALL*)()>(o.extraInfo);
        else if (startsWith(text, "-D")) {
            const std::size_t equals = text.find('=');
            const std::u16string name = utf16(text.substr(2, equals == std::string::npos ? std::string::npos : equals - 2));
            const std::u16string value = equals == std::string::npos ? u"" : utf16(text.substr(equals + 1));
            properties.emplace_back(name, value);
        } else if (!recognised(text) && !((startsWith(text, "-X") || startsWith(text, "_")) && args->ignoreUnrecognized)) {
            const std::string message = "Unrecognized option: " + text + "\r\n";
            DWORD written = 0;
            WriteFile(GetStdHandle(STD_ERROR_HANDLE), message.data(), static_cast<DWORD>(message.size()), &written, nullptr);
            logLine("create-failed", "Unrecognized option: " + text);
            v.options.clear();
            return JNI_ERR;
        }
    }

    v.javaVm.functions = invokeTable();
    v.version = args->version;
    defineJdkClasses();
    readScenario();
    defineScenarioClasses();
    setInitialProperties(v);
    for (const auto& [name, value] : properties) v.properties[name] = value;

    JavaThread* launch = newThreadLocked("main", false, false);
    launch->osId = GetCurrentThreadId();
    launch->attached = true;
    v.attached[launch->osId] = launch;
    v.state = VmState::Running;
    *pvm = &v.javaVm;
    *penv = &launch->env.jni;
    bool reducedSignals = false;
    for (const std::string& o : v.options) reducedSignals = reducedSignals || o == "-Xrs";
    if (!reducedSignals) SetConsoleCtrlHandler(consoleEvent, TRUE);
    logLine("created", reducedSignals ? "without console handler (-Xrs)" : "");
    return JNI_OK;
}

} // namespace tavrelo::standin
