// The invocation entry points a Java runtime library exports. The variant without
// JNI_GetCreatedJavaVMs is built with STANDIN_WITHOUT_CREATED_VMS.
#include <windows.h>

#define _JNI_IMPLEMENTATION_
#include "runtime/entry.h"

extern "C" {

JNIEXPORT jint JNICALL JNI_GetDefaultJavaVMInitArgs(void* args) {
    return tavrelo::standin::defaultInitArgs(args);
}

JNIEXPORT jint JNICALL JNI_CreateJavaVM(JavaVM** pvm, void** penv, void* args) {
    return tavrelo::standin::createVm(pvm, penv, args);
}

#ifndef STANDIN_WITHOUT_CREATED_VMS
JNIEXPORT jint JNICALL JNI_GetCreatedJavaVMs(JavaVM** buffer, jsize length, jsize* count) {
    return tavrelo::standin::getCreatedVms(buffer, length, count);
}
#endif

BOOL WINAPI DllMain(HINSTANCE module, DWORD reason, LPVOID) {
    if (reason == DLL_PROCESS_ATTACH) tavrelo::standin::onLoad(module);
    return TRUE;
}

} // extern "C"
