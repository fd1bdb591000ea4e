// A minimal host for the stand-in runtime, for its tests of what ends a process: loads a
// jvm.dll, creates the VM with an exit hook, runs main and destroys the VM.
// Arguments: the jvm.dll path, the main class (slashes), then main's arguments.
// Exit status: 1 after a normal end, 2 when main threw, 10 and up when a step failed.
#include <windows.h>

#include <jni.h>

#include <string>

namespace {

void JNICALL exitHook(jint status) {
    const std::string text = "exit hook " + std::to_string(status) + "\r\n";
    DWORD written = 0;
    WriteFile(GetStdHandle(STD_OUTPUT_HANDLE), text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
}

std::string narrow(const wchar_t* text) {
    const int size = WideCharToMultiByte(CP_UTF8, 0, text, -1, nullptr, 0, nullptr, nullptr);
    std::string out(static_cast<std::size_t>(size > 0 ? size - 1 : 0), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text, -1, out.data(), size, nullptr, nullptr);
    return out;
}

} // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc < 3) return 10;
    HMODULE library = LoadLibraryW(argv[1]);
    if (!library) return 11;
    using Create = jint(JNICALL*)(JavaVM**, void**, void*);
    auto create = reinterpret_cast<Create>(reinterpret_cast<void (*)()>(GetProcAddress(library, "JNI_CreateJavaVM")));
    if (!create) return 12;
    JavaVMOption options[2] = {{const_cast<char*>("-Dhost.name=standin-host"), nullptr},
                               {const_cast<char*>("exit"), reinterpret_cast<void*>(&exitHook)}};
    JavaVMInitArgs args{JNI_VERSION_1_6, 2, options, JNI_TRUE};
    JavaVM* vm = nullptr;
    JNIEnv* env = nullptr;
    if (create(&vm, reinterpret_cast<void**>(&env), &args) != JNI_OK) return 13;
    const std::string className = narrow(argv[2]);
    jclass mainClass = env->FindClass(className.c_str());
    if (!mainClass) {
        env->ExceptionDescribe();
        return 14;
    }
    jmethodID main = env->GetStaticMethodID(mainClass, "main", "([Ljava/lang/String;)V");
    if (!main) {
        env->ExceptionClear();
        return 15;
    }
    jclass stringClass = env->FindClass("java/lang/String");
    jobjectArray arguments = env->NewObjectArray(argc - 3, stringClass, nullptr);
    for (int i = 3; i < argc; ++i) {
        jstring s = env->NewString(reinterpret_cast<const jchar*>(argv[i]), static_cast<jsize>(wcslen(argv[i])));
        env->SetObjectArrayElement(arguments, i - 3, s);
        env->DeleteLocalRef(s);
    }
    env->CallStaticVoidMethod(mainClass, main, arguments);
    if (env->ExceptionCheck()) {
        env->ExceptionDescribe();
        return 2;
    }
    env->DeleteLocalRef(arguments);
    env->DeleteLocalRef(stringClass);
    env->DeleteLocalRef(mainClass);
    vm->DetachCurrentThread();
    vm->DestroyJavaVM();
    return 1;
}
