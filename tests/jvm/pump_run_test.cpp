// The object pump between this process and another, each with its own JVM: real Java objects,
// serialized by one and read back by the other.
#include <gtest/gtest.h>

#include "bridge/bridge.h"
#include "ipc/pipes.h"
#include "jvm_support.h"
#include "pipe_test_support.h"
#include "test_process.h"
#include "test_support.h"

namespace tavrelo::test {
namespace {

using Lines = std::vector<std::string>;

std::string receivedHere() {
    return toUtf8(fromJavaString(callMethodObject("fixture.Pump", nullptr, "received", "java.lang.String", nullptr)));
}

TEST(PumpRun, SerializedObjectsTravelBothWaysAndTheQuitControlEndsThePeer) {
    ensureJavaVm();
    static FeatureInterface pump{3, nullptr};
    ASSERT_EQ(bindMethod(pump, "fixture.Pump", 0, "isDataForPeer", "()Z"), 1);
    ASSERT_EQ(bindMethod(pump, "fixture.Pump", 1, "dataForPeer", "()Ljava/io/Serializable;"), 1);
    ASSERT_EQ(bindMethod(pump, "fixture.Pump", 2, "dataFromPeer", "(Ljava/io/Serializable;)V"), 1);
    {
        LocalRef<jstring> alpha(toJavaString(u"alpha")), beta(toJavaString(u"beta"));
        callMethodVoid("fixture.Pump", nullptr, "offerList", "Ljava/lang/String;Ljava/lang/String;", alpha.get(),
                       beta.get());
    }
    static const JavaPumpMethods methods{&pump, 0, 1, 2};
    auto* pair = test::lasting(new EndpointPair); // its threads may outlive the test
    initEndpoint(pair->endpoint1, kServiceUi1Pipe, PipeAccess::CurrentUser, javaEndpointHooks(methods));
    initEndpoint(pair->endpoint2, kServiceUi2Pipe, PipeAccess::CurrentUser, javaEndpointHooks(methods));
    pair->endpoint1.startDelayMs = pair->endpoint2.startDelayMs = 0;
    PipeProcessHooks hooks;
    hooks.threadEnding = releaseJavaThread; // endpoint 1 never gets the quit control
    setPipeProcessHooks(hooks);

    TempDir dir;
    const Text application = uniqueAppName(u"pump");
    const Text journal = dir / u"peer.txt";
    ASSERT_TRUE(startReceiver(*pair, 1, dir.path(), application));
    ASSERT_TRUE(startSender(*pair, 1, dir.path(), application));
    ChildProcess peer;
    ASSERT_TRUE(
        peer.start(besideTestProgram(u"java_pump_peer"),
                   {fromUtf8(TAVRELO_JDK_HOME), fromUtf8(TAVRELO_FIXTURE_JAR), dir.path(), application, journal}));

    // The first probe towards endpoint 2 reaches the peer as a null object.
    EXPECT_EQ(waitForLines(journal, 2), (Lines{"null", "java.util.ArrayList [alpha, beta]"}));
    EXPECT_TRUE(waitUntil([] { return receivedHere().find("TreeMap") != std::string::npos; }, 20000));
    EXPECT_EQ(receivedHere(), "java.util.ArrayList [one, two]\njava.util.TreeMap {answer=42}\n")
        << "probes towards endpoint 1 deliver nothing";

    EXPECT_EQ(sendControl(pair->endpoint2, kQuitControl), 1);
    EXPECT_EQ(peer.wait(20000), 0) << "the quit control ended the peer's Java application";
    stopPair(*pair);
}

} // namespace
} // namespace tavrelo::test
