// What the service code asks of the service manager, seen through its function table in this
// process: wine stores no failure actions and answers 124 for delayed start, so those are
// recorded here; the configuration watcher works on a service really registered with wine.
#include <mutex>

#include "launcher/hand_overs.h"
#include "launcher/java_runtime.h"
#include "runtime_support.h"
#include "service/service.h"
#include "service/service_manager.h"

namespace tavrelo::standin::test {
namespace {

struct Recorded {
    std::mutex lock;
    std::vector<std::string> calls;
    std::vector<SC_ACTION> actions;
    Text command, rebootMessage;
    DWORD resetPeriod = 0;
    int opened = 0, closed = 0;
    void add(std::string call) {
        std::lock_guard guard(lock);
        calls.push_back(std::move(call));
    }
};
Recorded* recorded = nullptr;
ServiceManagerApi real{};

BOOL WINAPI recordConfig2(SC_HANDLE service, DWORD level, LPVOID information) {
    if (level == SERVICE_CONFIG_FAILURE_ACTIONS) {
        const auto* record = static_cast<SERVICE_FAILURE_ACTIONSW*>(information);
        recorded->add("failure-actions");
        std::lock_guard guard(recorded->lock);
        recorded->actions.assign(record->lpsaActions, record->lpsaActions + record->cActions);
        recorded->command = tc(record->lpCommand);
        recorded->rebootMessage = tc(record->lpRebootMsg);
        recorded->resetPeriod = record->dwResetPeriod;
        return TRUE;
    }
    recorded->add(level == SERVICE_CONFIG_DESCRIPTION ? "description" : "delayed-start");
    if (level == SERVICE_CONFIG_DELAYED_AUTO_START_INFO) { // as systems without the level answer
        SetLastError(ERROR_INVALID_LEVEL);
        return FALSE;
    }
    return real.changeServiceConfig2(service, level, information);
}
BOOL WINAPI recordConfig(SC_HANDLE service, DWORD type, DWORD start, DWORD error, LPCWSTR path, LPCWSTR group,
                         LPDWORD tag, LPCWSTR dependencies, LPCWSTR account, LPCWSTR password, LPCWSTR display) {
    recorded->add(dependencies ? "dependencies" : "display-and-start");
    return real.changeServiceConfig(service, type, start, error, path, group, tag, dependencies, account, password,
                                    display);
}
bool recordPrivilege() noexcept {
    recorded->add("privilege");
    return true;
}
SC_HANDLE WINAPI countManager(LPCWSTR machine, LPCWSTR database, DWORD access) {
    SC_HANDLE handle = real.openSCManager(machine, database, access);
    if (handle) ++recorded->opened;
    return handle;
}
SC_HANDLE WINAPI countService(SC_HANDLE manager, LPCWSTR name, DWORD access) {
    SC_HANDLE handle = real.openService(manager, name, access);
    if (handle) {
        ++recorded->opened;
        recorded->add("open " + std::to_string(access));
    }
    return handle;
}
BOOL WINAPI countClose(SC_HANDLE handle) {
    ++recorded->closed;
    return real.closeServiceHandle(handle);
}

class ServiceTable : public ::testing::Test {
  protected:
    void SetUp() override {
        recorded = &record;
        real = serviceManagerApi();
        ServiceManagerApi api = real;
        api.changeServiceConfig2 = recordConfig2;
        api.changeServiceConfig = recordConfig;
        api.enableShutdownPrivilege = recordPrivilege;
        api.openSCManager = countManager;
        api.openService = countService;
        api.closeServiceHandle = countClose;
        (void)replaceServiceManagerApi(api);
    }
    void TearDown() override {
        (void)replaceServiceManagerApi(real);
        recorded = nullptr;
    }
    Recorded record;
};

constexpr char kWatchedService[] = "TavSvcWatch";

// Every group changes once; a null answer in between changes nothing.
constexpr char kWatchedApp[] = R"(
class demo.App
  method serviceGetInfo ()[Ljava/lang/String;
    return sequence null ["Watched Again" "Now described" "false" "true" "C:/bin/alert.exe" "-x" "RpcSs" "RESTART/REBOOT" "5/10" "600" "Going down" "true"] null
)";

TEST_F(ServiceTable, CreationAndWatcherApplyEachGroupThroughTheTable) {
    LoadedRuntime rt(kWatchedApp);
    ASSERT_EQ(rt.start(), JNI_OK);
    javaRuntime().vm.store(rt.vm);
    ASSERT_TRUE(bindServiceInterface("demo.App"));
    const Text name = fromUtf8(kWatchedService);

    ServiceInfo first = parseServiceInfo({u"Watched", std::nullopt, u"1", u"0", u"", u"", u"", u"RUN", u"7"});
    {
        ScmHandle manager(serviceManagerApi().openSCManager(nullptr, nullptr, SC_MANAGER_ALL_ACCESS));
        ASSERT_TRUE(manager);
        if (ScmHandle old{serviceManagerApi().openService(manager.get(), wc(name), DELETE)})
            DeleteService(old.get());
        // RUN without a command, and delayed start answered 124: created and configured all the same.
        EXPECT_EQ(createService(manager.get(), name, u"\"C:\\x\\Watch.exe\" __RunService__", first), 0u);
    }
    EXPECT_EQ(record.actions.size(), 3u);
    EXPECT_EQ(record.actions[0].Type, SC_ACTION_RUN_COMMAND);
    EXPECT_EQ(record.actions[0].Delay, 7000u);
    record.calls.clear();
    record.opened = record.closed = 0;

    int reads = 0;
    static int* readsSeen = &reads;
    watchServiceConfiguration(name, first, 200, [] { return ++*readsSeen <= 12; });
    EXPECT_EQ(record.calls,
              (std::vector<std::string>{"open 2", "description", "open 2", "dependencies", "open 2",
                                        "display-and-start", "open 18", "privilege", "failure-actions", "open 2",
                                        "delayed-start"}));
    EXPECT_EQ(record.actions.size(), 4u); // RESTART, REBOOT, RUN, NONE
    EXPECT_EQ(record.actions[1].Type, SC_ACTION_REBOOT);
    EXPECT_EQ(record.actions[1].Delay, 10000u);
    EXPECT_EQ(record.command, u"\"C:\\bin\\alert.exe\" -x");
    EXPECT_EQ(record.rebootMessage, u"Going down");
    EXPECT_EQ(record.resetPeriod, 600u);

    SC_HANDLE manager = OpenSCManagerW(nullptr, nullptr, SC_MANAGER_ALL_ACCESS);
    SC_HANDLE service = OpenServiceW(manager, wc(name), SERVICE_ALL_ACCESS);
    alignas(8) BYTE buffer[8192];
    DWORD needed = 0;
    ASSERT_TRUE(QueryServiceConfigW(service, reinterpret_cast<QUERY_SERVICE_CONFIGW*>(buffer), sizeof buffer, &needed));
    const auto* config = reinterpret_cast<QUERY_SERVICE_CONFIGW*>(buffer);
    EXPECT_STREQ(config->lpDisplayName, L"Watched Again");
    EXPECT_EQ(config->dwStartType, static_cast<DWORD>(SERVICE_DEMAND_START));
    ASSERT_TRUE(QueryServiceConfig2W(service, SERVICE_CONFIG_DESCRIPTION, buffer, sizeof buffer, &needed));
    EXPECT_STREQ(reinterpret_cast<SERVICE_DESCRIPTIONW*>(buffer)->lpDescription, L"Now described");
    DeleteService(service);
    CloseServiceHandle(service);
    CloseServiceHandle(manager);

    EXPECT_EQ(record.opened, record.closed);
    EXPECT_EQ(rt.errors(), std::vector<std::string>{}) << rt.log().text();
    javaRuntime().vm.store(nullptr);
}

} // namespace
} // namespace tavrelo::standin::test
