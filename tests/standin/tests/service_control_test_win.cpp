// The service-control natives in this process, through the service manager's function table:
// what wine neither keeps (failure actions) nor lists (dependents) is answered by the table; the
// access of every open is recorded, and every handle opened is closed, also on failure.
#include "launcher/hand_overs.h"
#include "launcher/java_runtime.h"
#include "runtime_support.h"
#include "service/service_manager.h"

namespace tavrelo::standin::test {
namespace {

constexpr char kScenario[] = R"(
class demo.App
  native scmSetFailures (Ljava/lang/String;Ljava/lang/String;Ljava/lang/String;Ljava/lang/String;Ljava/lang/String;I)I
  native scmGetFailures (Ljava/lang/String;)[Ljava/lang/String;
  native scmEnumDependentServices (Ljava/lang/String;IZ)[[Ljava/lang/String;
  native scmQueryStatus (Ljava/lang/String;)[Ljava/lang/String;
)";

struct Stored {
    std::vector<SC_ACTION> actions;
    std::wstring command, message;
    DWORD reset = 0;
    std::vector<std::string> calls;
    int opened = 0, closed = 0;
} stored;
ServiceManagerApi real{};

SC_HANDLE counted(SC_HANDLE handle, std::string call) {
    stored.calls.push_back(std::move(call));
    stored.opened += handle != nullptr;
    return handle;
}
SC_HANDLE WINAPI openManager(LPCWSTR machine, LPCWSTR database, DWORD access) {
    return counted(real.openSCManager(machine, database, access), "manager " + std::to_string(access));
}
SC_HANDLE WINAPI openService(SC_HANDLE manager, LPCWSTR name, DWORD access) {
    return counted(real.openService(manager, name, access), "service " + std::to_string(access));
}
BOOL WINAPI close(SC_HANDLE handle) { return ++stored.closed, real.closeServiceHandle(handle); }
bool privilege() noexcept { return stored.calls.push_back("privilege"), true; }
BOOL WINAPI setConfig(SC_HANDLE service, DWORD level, void* information) {
    if (level != SERVICE_CONFIG_FAILURE_ACTIONS) return real.changeServiceConfig2(service, level, information);
    const auto* record = static_cast<SERVICE_FAILURE_ACTIONSW*>(information);
    stored.calls.push_back("failure-actions");
    stored.actions.assign(record->lpsaActions, record->lpsaActions + record->cActions);
    stored.command = record->lpCommand, stored.message = record->lpRebootMsg, stored.reset = record->dwResetPeriod;
    return TRUE;
}
// The stored actions laid out as the manager lays them out: record, actions, then the texts.
BOOL WINAPI queryConfig(SC_HANDLE service, DWORD level, BYTE* buffer, DWORD size, DWORD* needed) {
    if (level != SERVICE_CONFIG_FAILURE_ACTIONS) return real.queryServiceConfig2(service, level, buffer, size, needed);
    const std::size_t actions = stored.actions.size() * sizeof(SC_ACTION),
                      texts = sizeof(SERVICE_FAILURE_ACTIONSW) + actions;
    *needed = static_cast<DWORD>(texts + (stored.command.size() + stored.message.size() + 2) * sizeof(wchar_t));
    if (size < *needed) return SetLastError(ERROR_INSUFFICIENT_BUFFER), FALSE;
    auto* record = reinterpret_cast<SERVICE_FAILURE_ACTIONSW*>(buffer);
    record->dwResetPeriod = stored.reset, record->cActions = static_cast<DWORD>(stored.actions.size());
    record->lpsaActions = reinterpret_cast<SC_ACTION*>(record + 1);
    std::copy(stored.actions.begin(), stored.actions.end(), record->lpsaActions);
    record->lpCommand = reinterpret_cast<wchar_t*>(buffer + texts);
    record->lpRebootMsg = record->lpCommand + stored.command.size() + 1;
    wcscpy(record->lpCommand, stored.command.c_str());
    wcscpy(record->lpRebootMsg, stored.message.c_str());
    return TRUE;
}
// Two dependents, the second of which no longer exists when its configuration is read.
BOOL WINAPI dependents(SC_HANDLE, DWORD, void* buffer, DWORD size, DWORD* needed, DWORD* returned) {
    *needed = 2 * sizeof(ENUM_SERVICE_STATUSW), *returned = 0;
    if (size < *needed) return SetLastError(ERROR_MORE_DATA), FALSE;
    static wchar_t names[][16] = {L"TavScmTable", L"Table", L"TavScmGone", L"Gone"};
    auto* entries = static_cast<ENUM_SERVICE_STATUSW*>(buffer);
    entries[0] = {names[0], names[1], {SERVICE_WIN32_OWN_PROCESS, SERVICE_STOPPED, 0, 0, 0, 0, 0}};
    entries[1] = {names[2], names[3], {SERVICE_WIN32_OWN_PROCESS, SERVICE_RUNNING, 1, 0, 0, 0, 0}};
    *returned = 2;
    return TRUE;
}

TEST(ServiceControlTable, FailureActionsDependentsAccessAndHandles) {
    LoadedRuntime rt(kScenario);
    ASSERT_EQ(rt.start(), JNI_OK);
    javaRuntime().vm.store(rt.vm);
    SC_HANDLE manager = OpenSCManagerW(nullptr, nullptr, SC_MANAGER_ALL_ACCESS);
    SC_HANDLE created = CreateServiceW(manager, L"TavScmTable", L"Table", SERVICE_ALL_ACCESS, SERVICE_WIN32_OWN_PROCESS,
                                       SERVICE_DEMAND_START, SERVICE_ERROR_NORMAL, L"C:\\none.exe", nullptr, nullptr,
                                       nullptr, nullptr, nullptr);
    ASSERT_NE(created, nullptr);
    real = serviceManagerApi();
    ServiceManagerApi api = real;
    api.openSCManager = openManager, api.openService = openService, api.closeServiceHandle = close;
    api.enableShutdownPrivilege = privilege, api.changeServiceConfig2 = setConfig;
    api.queryServiceConfig2 = queryConfig, api.enumDependentServices = dependents;
    (void)replaceServiceManagerApi(api);
    registerServiceControlNatives("demo.App");
    JNIEnv* env = rt.env;
    const jclass app = env->FindClass("demo/App");
    const auto text = [&](const char* value) { return value ? env->NewStringUTF(value) : nullptr; };
    const auto setFailures = [&](const char* words, const char* delays, const char* command, int reset) {
        return env->CallStaticIntMethod(
            app,
            env->GetStaticMethodID(
                app, "scmSetFailures",
                "(Ljava/lang/String;Ljava/lang/String;Ljava/lang/String;Ljava/lang/String;Ljava/lang/String;I)I"),
            text("TavScmTable"), text(words), text(delays), text(command), text("bye"), reset);
    };
    const auto strings = [&](jobject array) {
        std::string joined = array ? "" : "<null>";
        for (jsize i = 0; array && i < env->GetArrayLength(static_cast<jarray>(array)); ++i)
            joined +=
                javaString(env, static_cast<jstring>(env->GetObjectArrayElement(static_cast<jobjectArray>(array), i))) +
                "|";
        return joined;
    };
    const auto getFailures = [&](const char* name) {
        return strings(env->CallStaticObjectMethod(
            app, env->GetStaticMethodID(app, "scmGetFailures", "(Ljava/lang/String;)[Ljava/lang/String;"), text(name)));
    };

    // RESTART needs the right to start the service; queries open for reading only.
    EXPECT_EQ(setFailures("RESTART", "60", nullptr, 0), 0);
    EXPECT_EQ(getFailures("TavScmTable"), "RESTART/NONE/NONE|60/0/0||bye|0|");
    EXPECT_EQ(setFailures("", "", "C:\\bin\\alert.exe /c", 5), 0);
    EXPECT_EQ(getFailures("TavScmTable"), "RUN/NONE/NONE|0/0/0|C:\\bin\\alert.exe /c|bye|5|");
    EXPECT_EQ(setFailures("REBOOT/restart", "1/2", nullptr, -7), 0);
    EXPECT_EQ(getFailures("TavScmTable"), "REBOOT/RESTART/NONE|1/2/0||bye|-1|");
    EXPECT_EQ(stored.calls, (std::vector<std::string>{"manager 983103", "service 18", "failure-actions", "manager 1",
                                                      "service 1", "manager 983103", "service 2", "failure-actions",
                                                      "manager 1", "service 1", "manager 983103", "service 18",
                                                      "privilege", "failure-actions", "manager 1", "service 1"}));

    // A dependent whose configuration cannot be read keeps its row.
    const auto rows = static_cast<jobjectArray>(env->CallStaticObjectMethod(
        app, env->GetStaticMethodID(app, "scmEnumDependentServices", "(Ljava/lang/String;IZ)[[Ljava/lang/String;"),
        text("TavScmTable"), 3, JNI_TRUE));
    ASSERT_EQ(env->GetArrayLength(rows), 2);
    EXPECT_EQ(strings(env->GetObjectArrayElement(rows, 0)), "TavScmTable|Table|1|16|0|3|0||");
    EXPECT_EQ(strings(env->GetObjectArrayElement(rows, 1)), "TavScmGone|Gone|4|16|1|-1|0||");
    stored.calls.clear();
    EXPECT_EQ(getFailures("TavScmMissing"), "<null>");
    EXPECT_EQ(strings(env->CallStaticObjectMethod(
                  app, env->GetStaticMethodID(app, "scmQueryStatus", "(Ljava/lang/String;)[Ljava/lang/String;"),
                  text("TavScmTable"))),
              "1|16|0|0|");
    EXPECT_EQ(stored.calls, (std::vector<std::string>{"manager 1", "service 1", "manager 1", "service 4"}));
    EXPECT_EQ(stored.opened, stored.closed);

    (void)replaceServiceManagerApi(real);
    DeleteService(created);
    CloseServiceHandle(created);
    CloseServiceHandle(manager);
    EXPECT_EQ(rt.errors(), std::vector<std::string>{}) << rt.log().text();
    javaRuntime().vm.store(nullptr);
}

} // namespace
} // namespace tavrelo::standin::test
