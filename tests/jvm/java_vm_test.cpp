// The VM of this process: joining it again, and the quiet main call of the service side.
#include <gtest/gtest.h>

#include "bridge/bridge.h"
#include "jvm_support.h"
#include "launcher/launcher.h"
#include "platform/messages.h"

namespace tavrelo::test {
namespace {

int boxes = 0;
int countBox(TextView, TextView, unsigned) {
    ++boxes;
    return kAnswerNo;
}

TEST(JavaVm, ASecondStartJoinsTheVmAlreadyInTheProcess) {
    ensureJavaVm();
    JavaVM* first = javaVm();
    VmLaunchValues values = javaRuntime().values;
    EXPECT_TRUE(createJavaVm(values));
    EXPECT_EQ(javaVm(), first);

    // A VM that the process holds without our record of it (a host process that already runs
    // Java) is found and joined.
    javaRuntime().vm.store(nullptr);
    EXPECT_TRUE(createJavaVm(values));
    EXPECT_EQ(javaVm(), first);
    EXPECT_EQ(callMethodInt("fixture.Box", nullptr, "add", "II", jint{20}, jint{22}), 42);
}

TEST(JavaVm, QuietMainCallRunsMainWithTheStoredArgumentsAndShowsNothing) {
    ensureJavaVm();
    const MessagePresenter saved = setMessagePresenter(&countBox);
    javaRuntime().values.programArguments = {u"one", u"two words", u"*.txt"};
    setMainClassName("fixture.Recorder");
    EXPECT_EQ(callMainQuietly(), 1);
    LocalRef<jclass> recorder(findJavaClass("fixture.Recorder"));
    ASSERT_TRUE(recorder);
    JNIEnv* env = javaEnv();
    const jfieldID field = env->GetStaticFieldID(recorder.get(), "received", "Ljava/lang/String;");
    EXPECT_EQ(
        fromJavaString(LocalRef<jstring>(static_cast<jstring>(env->GetStaticObjectField(recorder.get(), field))).get()),
        u"[one][two words][*.txt]");

    setMainClassName("fixture.Missing");
    EXPECT_EQ(callMainQuietly(), 0);
    setMainClassName("fixture.NoMain");
    EXPECT_EQ(callMainQuietly(), 0);
    EXPECT_EQ(boxes, 0);
    EXPECT_NE(javaVm(), nullptr); // no shutdown: the caller decides
    setMessagePresenter(saved);
}

} // namespace
} // namespace tavrelo::test
