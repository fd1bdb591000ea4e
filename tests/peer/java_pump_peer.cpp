// The other process of the Java pump tests: with a JVM of its own it plays the second side of an
// endpoint pair.
//   java_pump_peer <runtime home> <fixture jar> <directory> <application> <journal>
// It offers a list and a map to the first side and describes every object it receives in
// <journal>. It ends with Java's status when the quit control makes Java exit, and with 3 when
// nothing ended it within a minute.
#include "bridge/bridge.h"
#include "ipc/pipes.h"
#include "launcher/launcher.h"
#include "platform/os.h"

using namespace tavrelo;

int main(int argc, char** argv) {
    if (argc != 6) return 2;
    const Text home = fromUtf8(argv[1]);
    const Text directory = fromUtf8(argv[3]);
    const Text application = fromUtf8(argv[4]);
    launchContext().mainThreadId = os::currentThreadId();
    const auto library = findVmLibrary(home);
    if (!library) return 2;
    VmLaunchValues values;
    values.launcherDirectory = home;
    values.runtimeHome = home;
    values.libraryPath = *library;
    values.classPath = fromUtf8(argv[2]);
    values.optionString = u"-Dpump.journal=" + fromUtf8(argv[5]);
    values.baseName = u"PumpPeer";
    if (!createJavaVm(values)) return 2;

    static FeatureInterface pump{3, nullptr};
    if (bindMethod(pump, "fixture.Pump", 0, "isDataForPeer", "()Z") != 1 ||
        bindMethod(pump, "fixture.Pump", 1, "dataForPeer", "()Ljava/io/Serializable;") != 1 ||
        bindMethod(pump, "fixture.Pump", 2, "dataFromPeer", "(Ljava/io/Serializable;)V") != 1)
        return 2;
    {
        LocalRef<jstring> one(toJavaString(u"one")), two(toJavaString(u"two")), answer(toJavaString(u"answer"));
        callMethodVoid("fixture.Pump", nullptr, "offerList", "Ljava/lang/String;Ljava/lang/String;", one.get(),
                       two.get());
        callMethodVoid("fixture.Pump", nullptr, "offerMap", "Ljava/lang/String;I", answer.get(), 42);
    }

    useJavaPipeHooks();
    static const JavaPumpMethods methods{&pump, 0, 1, 2};
    static EndpointPair pair;
    initEndpoint(pair.endpoint1, kServiceUi1Pipe, PipeAccess::CurrentUser, javaEndpointHooks(methods));
    initEndpoint(pair.endpoint2, kServiceUi2Pipe, PipeAccess::CurrentUser, javaEndpointHooks(methods));
    pair.endpoint1.startDelayMs = pair.endpoint2.startDelayMs = 0;
    if (!startReceiver(pair, 2, directory, application) || !startSender(pair, 2, directory, application)) return 2;
    for (int i = 0; i < 600; ++i)
        os::sleepMs(100);
    return 3;
}
