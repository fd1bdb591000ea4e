// What one liveness test of the desktop thread costs on the real JVM: the thread listing and the
// collection it asks for, with a small heap and with about 200 MB of live data. Prints
//   liveness: heap <MB> MB live, <n> tests, median <ms> ms CPU (<ms> ms wall) per test
// Used by scripts/bench-idle.sh. Usage: liveness_cost <libjvm.so> <live MB> [tests]
#include <dlfcn.h>
#include <jni.h>
#include <time.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "launcher/java_runtime.h"

namespace {

double seconds(clockid_t clock) {
    timespec now{};
    clock_gettime(clock, &now);
    return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) / 1e9;
}

double median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 3) {
        std::fprintf(stderr, "usage: liveness_cost <libjvm.so> <live MB> [tests]\n");
        return 2;
    }
    const int liveMb = std::atoi(argv[2]);
    const int tests = argc > 3 ? std::atoi(argv[3]) : 21;
    void* library = dlopen(argv[1], RTLD_NOW);
    auto create = library ? reinterpret_cast<jint(JNICALL*)(JavaVM**, void**, void*)>(dlsym(library, "JNI_CreateJavaVM"))
                          : nullptr;
    if (!create) {
        std::fprintf(stderr, "liveness: cannot load %s\n", argv[1]);
        return 1;
    }
    std::string heap = "-Xmx" + std::to_string(liveMb + 256) + "m";
    JavaVMOption options[] = {{heap.data(), nullptr}};
    JavaVMInitArgs arguments{JNI_VERSION_1_8, 1, options, JNI_TRUE};
    JavaVM* vm = nullptr;
    JNIEnv* env = nullptr;
    if (create(&vm, reinterpret_cast<void**>(&env), &arguments) != JNI_OK) {
        std::fprintf(stderr, "liveness: the VM did not start\n");
        return 1;
    }
    tavrelo::javaRuntime().vm.store(vm);
    // Live data the collection has to trace: 1 MB arrays held by global references.
    for (int i = 0; i < liveMb; ++i) {
        jbyteArray block = env->NewByteArray(1 << 20);
        if (!block) return 1;
        env->NewGlobalRef(block);
        env->DeleteLocalRef(block);
    }
    std::vector<double> cpu, wall;
    for (int i = 0; i < tests; ++i) {
        const double cpu0 = seconds(CLOCK_PROCESS_CPUTIME_ID), wall0 = seconds(CLOCK_MONOTONIC);
        if (!tavrelo::isApplicationAlive(true)) {
            std::fprintf(stderr, "liveness: the launching thread should count as alive\n");
            return 1;
        }
        cpu.push_back((seconds(CLOCK_PROCESS_CPUTIME_ID) - cpu0) * 1000);
        wall.push_back((seconds(CLOCK_MONOTONIC) - wall0) * 1000);
    }
    std::printf("liveness: heap %d MB live, %d tests, median %.2f ms CPU (%.2f ms wall) per test\n", liveMb, tests,
                median(cpu), median(wall));
    return 0;
}
