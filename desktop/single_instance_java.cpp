// Single instance with the application's own `isOneInstance` deciding.
#include "bridge/bridge.h"
#include "desktop/single_instance.h"
#include "ipc/pipes.h"
#include "launcher/hand_overs.h"

namespace tavrelo {

namespace {

// Looked up in the main class only.
FeatureInterface oneInstanceFeature{1, nullptr};

// On a pipe connection thread; the thread lets go of Java when the connection ends.
bool askApplication(std::vector<Text>& arguments, void*) {
    // Exactly as the new start sent them: its quotes are part of its arguments.
    LocalRef<jobjectArray> array(toJavaStringArray(arguments, false));
    if (!array) return false;
    return callBoolean(oneInstanceFeature, 0, array.get()) != JNI_FALSE;
}

} // namespace

bool startSingleInstance(TextView launcherDirectory, TextView baseName, const std::string& mainClass, bool takenOver) {
    (void)bindMethod(oneInstanceFeature, mainClass.c_str(), 0, "isOneInstance", "([Ljava/lang/String;)Z");
    const OneInstanceDecider decider = isDefined(oneInstanceFeature, 0) ? askApplication : nullptr;
    if (decider) useJavaPipeHooks();
    return startSingleInstanceWith(launcherDirectory, baseName, decider, nullptr, takenOver) ==
           SingleInstanceStart::Quit;
}

} // namespace tavrelo
