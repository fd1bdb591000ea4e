// A launcher host that runs the launch sequence twice in one process, as the applet and
// screen-saver hosts may. The first run's application (fixture.PumpApp) starts an object pump
// through a native registered here and returns from main while the pump's sender polls it; the
// second run comes after that VM was destroyed. Copied into an application directory under the
// application's name, beside its jar. Prints "first <status>", "second <status>" and
// "library kept <1|0>" (whether the VM library of the first run is still held).
#include <cstdio>
#include <cstring>

#include "bridge/bridge.h"
#include "ipc/pipes.h"
#include "launcher/launcher.h"

using namespace tavrelo;

namespace {

constexpr char kMainClass[] = "fixture.PumpApp";
FeatureInterface pumpApp{4, nullptr};
const JavaPumpMethods pumpMethods{&pumpApp, 0, 1, 2};
EndpointPair pumpPair;

void JNICALL startPump(JNIEnv*, jclass) {
    const LaunchContext& context = launchContext();
    useJavaPipeHooks();
    initEndpoint(pumpPair.endpoint1, kServiceUi1Pipe, PipeAccess::CurrentUser, javaEndpointHooks(pumpMethods));
    initEndpoint(pumpPair.endpoint2, kServiceUi2Pipe, PipeAccess::CurrentUser, javaEndpointHooks(pumpMethods));
    pumpPair.endpoint2.startDelayMs = 0;
    if (!startReceiver(pumpPair, 2, context.launcherDirectory, context.baseName) ||
        !startSender(pumpPair, 1, context.launcherDirectory, context.baseName))
        std::fputs("pump not started\n", stderr);
}

// Binds the application's pump methods and its native once the VM exists.
int findMainClass(const char16_t*, char* out) {
    if (bindMethod(pumpApp, kMainClass, 0, "isDataForPeer", "()Z") != 1 ||
        bindMethod(pumpApp, kMainClass, 1, "dataForPeer", "()Ljava/io/Serializable;") != 1 ||
        bindMethod(pumpApp, kMainClass, 2, "dataFromPeer", "(Ljava/io/Serializable;)V") != 1 ||
        bindNative(pumpApp, kMainClass, 3, "startPump", "()V", reinterpret_cast<void*>(&startPump)) != 1)
        return 0;
    std::memcpy(out, kMainClass, sizeof kMainClass);
    return 1;
}

} // namespace

int main() {
    initLaunchContext(launchContext(), nullptr, 1, u"", {});
    LaunchRequest request;
    request.argumentLine = Text();
    request.mainClassFinder = findMainClass;
    const int first = runLauncher(request);
    void* const library = javaRuntime().library;
    std::printf("first %d\n", first);
    std::fflush(stdout);
    const int second = runLauncher(request);
    std::printf("second %d\nlibrary kept %d\n", second, library && javaRuntime().library == library ? 1 : 0);
    return 0;
}
