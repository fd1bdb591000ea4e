// The object pump between the service and its companion: both processes build the same pair of
// endpoints; the service serves endpoint 1 (objects and window events for the service), the
// companion endpoint 2 (objects and controls for the companion).
#include "bridge/bridge.h"
#include "desktop/desktop.h"
#include "ipc/pipes.h"
#include "service/service_pump.h"

namespace tavrelo {

namespace {

enum PumpSlot : int { kPumpQuery = 0, kPumpSupply = 1, kPumpDeliver = 2 };

FeatureInterface servicePump{3, "ServiceManagement"};
FeatureInterface companionPump{3, "TaskbarManagement"};
const JavaPumpMethods serviceMethods{&servicePump, kPumpQuery, kPumpSupply, kPumpDeliver};
const JavaPumpMethods companionMethods{&companionPump, kPumpQuery, kPumpSupply, kPumpDeliver};

EndpointPair& pair() noexcept {
    static EndpointPair endpoints;
    return endpoints;
}

void bindPump(FeatureInterface& record, const std::string& mainClass, const char* query, const char* supply,
              const char* deliver) {
    (void)bindMethod(record, mainClass.c_str(), kPumpQuery, query, "()Z");
    (void)bindMethod(record, mainClass.c_str(), kPumpSupply, supply, "()Ljava/io/Serializable;");
    (void)bindMethod(record, mainClass.c_str(), kPumpDeliver, deliver, "(Ljava/io/Serializable;)V");
}

// Both processes name both endpoints alike; only the side's own hooks are set.
void initPair(bool serviceSide) {
    EndpointHooks none;
    initEndpoint(pair().endpoint1, kServiceUi1Pipe, PipeAccess::Service,
                 serviceSide ? javaEndpointHooks(serviceMethods) : none);
    initEndpoint(pair().endpoint2, kServiceUi2Pipe, PipeAccess::Service,
                 serviceSide ? none : javaEndpointHooks(companionMethods));
}

void dispatchForwarded(unsigned code, std::uintptr_t wParam, std::intptr_t lParam) {
    (void)dispatchSystemEvent(code, wParam, lParam);
}

} // namespace

void startServicePump(TextView directory, TextView applicationName) noexcept {
    try {
        bindPump(servicePump, mainClassName(), "serviceIsDataForUI", "serviceDataForUI", "serviceDataFromUI");
        useJavaPipeHooks();
        PipeProcessHooks hooks = pipeProcessHooks();
        hooks.dispatchEvent = dispatchForwarded;
        setPipeProcessHooks(hooks);
        initPair(true);
        (void)startReceiver(pair(), 1, directory, applicationName);
        (void)startSender(pair(), 1, directory, applicationName);
    } catch (...) {
        // Without a pump the service runs on; the companion finds nobody to talk to.
    }
}

bool startCompanionPump(TextView directory, TextView applicationName) noexcept {
    try {
        bindPump(companionPump, mainClassName(), "taskIsDataForService", "taskDataForService",
                 "taskDataFromService");
        useJavaPipeHooks();
        initPair(false);
        if (!startReceiver(pair(), 2, directory, applicationName)) return false;
        (void)startSender(pair(), 2, directory, applicationName);
        return true;
    } catch (...) {
        return false;
    }
}

void sendQuit() noexcept {
    if (!pair().endpoint2.name.empty()) (void)sendControl(pair().endpoint2, kQuitControl);
}

void sendTrayReAdd() noexcept {
    if (!pair().endpoint2.name.empty()) (void)sendControl(pair().endpoint2, kTrayReAddControl);
}

int forwardDisplayChange(std::uintptr_t wParam, std::intptr_t lParam) noexcept {
    if (pair().endpoint1.name.empty()) return 0;
    return forwardEvent(pair().endpoint1, kDisplayChangeEvent, wParam, lParam);
}

void stopServicePump() noexcept { (void)stopPair(pair()); }

} // namespace tavrelo
