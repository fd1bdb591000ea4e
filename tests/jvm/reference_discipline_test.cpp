// Thousands of conversions and archive searches leave no JNI references behind. Measured in a
// VM of its own (this program run again), two ways: the VM's own heap walk counts the live JNI
// local and global references (its roots) before and after the loops, and with a small heap,
// objects kept alive by forgotten references show as heap still in use after garbage
// collection. A control run leaks on purpose, so both measurements are shown to see a leak.
// -Xcheck:jni watches the loops for misuse; what it prints differs between JDK builds, so the
// counts never rely on its text.
#include <gtest/gtest.h>

#include <jvmti.h>
#include <unistd.h>

#include <cstdlib>
#include <limits>
#include <vector>

#include "bridge/bridge.h"
#include "bridge/object_conversion.h"
#include "jvm_support.h"
#include "launcher/hand_overs.h"

namespace tavrelo::test {
namespace {

constexpr char kObjects[] = "fixture.Objects";
constexpr char kModeVariable[] = "TAVRELO_REFERENCE_LOOPS";

int usedHeapKb() { return callMethodInt(kObjects, nullptr, "usedHeapKb", nullptr); }

// Live JNI references as the VM's heap walk reports its roots: the local references of this
// thread (the VM's own threads hold some of their own at any moment), and the global ones.
struct JniRoots {
    long long locals = 0;
    long long globals = 0;
};

constexpr jlong kThisThreadTag = 0x7461767265; // marks this thread's object for the walk

jint JNICALL countRoot(jvmtiHeapReferenceKind kind, const jvmtiHeapReferenceInfo* info, jlong, jlong, jlong, jlong*,
                       jlong*, jint, void* data) {
    auto& roots = *static_cast<JniRoots*>(data);
    if (kind == JVMTI_HEAP_REFERENCE_JNI_LOCAL && info && info->jni_local.thread_tag == kThisThreadTag) ++roots.locals;
    if (kind == JVMTI_HEAP_REFERENCE_JNI_GLOBAL) ++roots.globals;
    return 0; // the roots only: follow nothing from them
}

JniRoots liveJniReferences() {
    static jvmtiEnv* jvmti = [] {
        jvmtiEnv* created = nullptr;
        EXPECT_EQ(javaVm()->GetEnv(reinterpret_cast<void**>(&created), JVMTI_VERSION_1_2), JNI_OK);
        jvmtiCapabilities wanted{};
        wanted.can_tag_objects = 1; // what the heap walk and the thread's tag need
        if (created) {
            EXPECT_EQ(created->AddCapabilities(&wanted), JVMTI_ERROR_NONE);
        }
        jthread self = nullptr;
        if (created && created->GetCurrentThread(&self) == JVMTI_ERROR_NONE && self) {
            EXPECT_EQ(created->SetTag(self, kThisThreadTag), JVMTI_ERROR_NONE);
            javaEnv()->DeleteLocalRef(self);
        }
        return created;
    }();
    JniRoots roots;
    if (!jvmti) return roots;
    jvmtiHeapCallbacks callbacks{};
    callbacks.heap_reference_callback = &countRoot;
    EXPECT_EQ(jvmti->FollowReferences(0, nullptr, nullptr, &callbacks, &roots), JVMTI_ERROR_NONE);
    return roots;
}

constexpr long long kNotReported = std::numeric_limits<long long>::min();

struct ChildRun {
    RunResult run;
    long long heapGrowthKb = kNotReported;
    long long localGrowth = kNotReported;
    long long globalGrowth = kNotReported;
};

long long reported(const RunResult& run, const std::string& prefix) {
    const auto lines = linesWith(run.out, prefix);
    return lines.size() == 1 ? std::stoll(lines.front()) : kNotReported;
}

ChildRun runLoops(const char* mode) {
    char self[4096] = {};
    const ssize_t length = ::readlink("/proc/self/exe", self, sizeof self - 1);
    EXPECT_GT(length, 0);
    Environment environment = launcherEnvironment();
    setVariable(environment, kModeVariable, mode);
    setVariable(environment, "TAVRELO_TEST_VM_OPTIONS", "-Xcheck:jni -Xmx96m");
    ChildRun child;
    child.run = runProgram(self, {"--gtest_filter=ReferenceDiscipline.ThousandsOfConversionsKeepNoReferences"},
                           environment, 110);
    child.heapGrowthKb = reported(child.run, "heap growth kb=");
    child.localGrowth = reported(child.run, "local references growth=");
    child.globalGrowth = reported(child.run, "global references growth=");
    return child;
}

// The VM writes its checks' warnings to standard output.
std::string vmOutput(const ChildRun& child) { return child.run.out + child.run.err; }

// ---- What the run in a VM of its own does ----------------------------------------------------------------------

void conversionLoops(TempDir& dir, int rounds) {
    setMainClassName(kObjects); // the object filter's own package
    FeatureInterface record{4, nullptr};
    ASSERT_EQ(bindMethod(record, kObjects, 0, "giveParcel", "(I)Ljava/lang/Object;"), 1);
    ASSERT_EQ(bindMethod(record, kObjects, 1, "receive", "(Ljava/lang/Object;)V"), 1);
    ASSERT_EQ(bindMethod(record, kObjects, 2, "paintHalves", "(Ljava/awt/Graphics2D;II)V"), 1);
    ASSERT_EQ(bindMethod(record, kObjects, 3, "receiveNumbered", "(ILjava/lang/Object;)V"), 1);

    // Serialized objects of 32 KB: 3,000 of them kept alive would not fit the heap.
    for (int i = 0; i < rounds; ++i) {
        LocalRef<jstring> label(toJavaStringUtf("loop"));
        LocalRef<jobject> parcel(callMethodObject(kObjects, nullptr, "parcel", "fixture.Parcel", "Ljava/lang/String;I",
                                                  label.get(), jint{32 * 1024}));
        const std::string bytes = serializeObject(parcel.get());
        LocalRef<jobject> back(deserializeObject(bytes.data(), bytes.size()));
        ASSERT_TRUE(back) << i;
        const std::string given = callObjectAsBytes(record, 0, jint{32 * 1024});
        ASSERT_GT(given.size(), 32u * 1024) << i;
        callWithObjectFromBytes(record, 1, kNoLeadingInteger, given.data(), given.size());
        callWithObjectFromBytes(record, 3, i, given.data(), given.size());
        // The failing paths too: a stream cut short, one that is no stream at all (its
        // ObjectInputStream constructor throws), an object that cannot be written.
        ASSERT_EQ(deserializeObject(bytes.data(), 40), nullptr);
        ASSERT_EQ(deserializeObject("garbage", 7), nullptr);
        LocalRef<jobject> thread(callMethodObject(kObjects, nullptr, "notSerializable", "java.lang.Object", nullptr));
        ASSERT_EQ(serializeObject(thread.get()).size(), 4u);
    }

    // Frames of 64 KB, each replacing the one before.
    ImagePixels frame;
    for (int i = 0; i < rounds; ++i)
        ASSERT_TRUE(renderFrame(record, 2, 128, 128, frame)) << i;
    ASSERT_EQ(static_cast<unsigned>(frame.data()[0]), 0xFFFF0000u);
    frame.release();

    jint pixels[kIconPixels] = {};
    LocalRef<jobject> label(callMethodObject(kObjects, nullptr, "label", "javax.swing.JLabel", nullptr));
    ASSERT_TRUE(label);
    LocalRef<jobject> png(newArgbImage(8, 8));
    LocalRef<jstring> format(toJavaStringUtf("png"));
    const Text pngPath = dir / u"image.png";
    LocalRef<jobject> pngFile(
        newObject("java.io.File", "Ljava/lang/String;", LocalRef<jstring>(toJavaString(pngPath)).get()));
    ASSERT_TRUE(callMethodBoolean("javax.imageio.ImageIO", nullptr, "write",
                                  "Ljava/awt/image/RenderedImage;Ljava/lang/String;Ljava/io/File;", png.get(),
                                  format.get(), pngFile.get()));
    const Text textPath = dir.write(u"notes.txt", "not an image");
    for (int i = 0; i < rounds; ++i) {
        pixels[i % kIconPixels] = i;
        LocalRef<jobject> icon(imageIconFromPixels(pixels, kIconPixels));
        ASSERT_TRUE(icon) << i;
        setComponentIcon(label.get(), icon.get());
        LocalRef<jobject> image(iconImageFromPixels(pixels, 100));
        LocalRef<jobject> color(colorByName(i % 2 ? "red" : "nonsense"));
        ASSERT_EQ(color.get() != nullptr, i % 2 == 1);
        LocalRef<jobject> read(readImageFile(i % 2 ? pngPath : textPath));
        ASSERT_EQ(read.get() != nullptr, i % 2 == 1);
    }
}

void archiveLoops(TempDir& dir, int rounds) {
    std::vector<Text> entries;
    for (int i = 0; i < 3000; ++i)
        entries.push_back(u"many/Entry" + fromUtf8(std::to_string(i)) + u".class");
    const Text big = dir / u"Big.jar";
    LocalRef<jstring> path(toJavaString(big));
    LocalRef<jstring> mainClass(toJavaStringUtf(""));
    LocalRef<jobjectArray> names(toJavaStringArray(entries, false));
    callMethodVoid(kObjects, nullptr, "writeArchive", "Ljava/lang/String;Ljava/lang/String;[Ljava/lang/String;",
                   path.get(), mainClass.get(), names.get());
    Text classPath = big;
    classPath += os::kListSeparator;
    classPath += dir / u"missing.jar";
    for (int i = 0; i < rounds; ++i) {
        // The manifest pass opens Big.jar, then both passes read every entry and find nothing.
        ASSERT_EQ(resolveMainClass(u"", classPath, u"Big"), "") << i;
        ASSERT_EQ(resolveMainClass(u"", classPath, u"entry2999"), "many.Entry2999") << i;
        // An archive that cannot be opened, in both passes.
        ASSERT_EQ(resolveMainClass(u"", classPath, u"missing"), "") << i;
    }
}

// The control: what a forgotten local reference and forgotten global references look like.
void leakOnPurpose() {
    for (int i = 0; i < 200; ++i)
        (void)toJavaStringUtf("kept").release();
    FeatureInterface record{1, nullptr};
    ASSERT_EQ(bindMethod(record, kObjects, 0, "paintHalves", "(Ljava/awt/Graphics2D;II)V"), 1);
    static std::vector<ImagePixels> kept;
    for (int i = 0; i < 200; ++i) {
        ImagePixels frame;
        ASSERT_TRUE(renderFrame(record, 0, 256, 128, frame));
        kept.push_back(std::move(frame)); // 128 KB each, never released
    }
}

// The loops with the heap measured around them.
void measuredLoops(const std::string& mode) {
    ensureJavaVm();
    TempDir dir;
    // A first round loads and caches what the JDK keeps for good (AWT, image readers): not ours.
    if (mode != "leak") {
        conversionLoops(dir, 2);
        archiveLoops(dir, 2);
    }
    const JniRoots rootsBefore = liveJniReferences();
    const int before = usedHeapKb();
    if (mode == "leak") {
        leakOnPurpose();
    } else {
        conversionLoops(dir, 3000);
        archiveLoops(dir, 100);
    }
    std::printf("heap growth kb=%d\n", usedHeapKb() - before);
    const JniRoots rootsAfter = liveJniReferences();
    std::printf("local references growth=%lld\nglobal references growth=%lld\n", rootsAfter.locals - rootsBefore.locals,
                rootsAfter.globals - rootsBefore.globals);
}

// Runs this program again with this test only: there, the variable says which loops to run.
TEST(ReferenceDiscipline, ThousandsOfConversionsKeepNoReferences) {
    if (const char* mode = std::getenv(kModeVariable)) return measuredLoops(mode);
    const ChildRun control = runLoops("leak");
    ASSERT_EQ(control.run.status, 0) << control.run.out << control.run.err;
    EXPECT_GE(control.localGrowth, 200) << control.run.out;
    EXPECT_GE(control.globalGrowth, 200) << control.run.out;
    EXPECT_GT(control.heapGrowthKb, 20 * 1024) << control.run.out;

    const ChildRun loops = runLoops("loops");
    ASSERT_EQ(loops.run.status, 0) << loops.run.out << loops.run.err;
    EXPECT_NE(loops.run.out.find("[  PASSED  ] 1 test"), std::string::npos) << loops.run.out;
    EXPECT_EQ(vmOutput(loops).find("WARNING"), std::string::npos) << vmOutput(loops);
    EXPECT_GE(loops.heapGrowthKb, -64 * 1024) << loops.run.out;
    EXPECT_LT(loops.heapGrowthKb, 4 * 1024) << loops.run.out;
    EXPECT_EQ(loops.localGrowth, 0) << loops.run.out;
    EXPECT_NE(loops.globalGrowth, kNotReported) << loops.run.out;
    EXPECT_LT(loops.globalGrowth, 50) << "one leaked per round would be 100 or more\n" << loops.run.out;
}

} // namespace
} // namespace tavrelo::test
