// What the service-control natives share: the service a call names, opened with the access it
// needs, and the result conventions. Windows builds only; any Java thread.
#pragma once

#include <jni.h>

#include "service/service_manager.h"

namespace tavrelo {

// The manager and the service of one call, closed (service first) when the call ends. `error`
// is 0 when both are open, else the error of the open that failed (ERROR_INVALID_NAME for a
// null name outside a service-side process, or a name holding a NUL).
struct OpenedService {
    ScmHandle manager;
    ScmHandle service;
    unsigned long error = 0;
};

// The service a call names into `name`: 0, or ERROR_INVALID_NAME for a null name outside a
// service-side process or a name holding a NUL (ERROR_NOT_ENOUGH_MEMORY when unreadable).
[[nodiscard]] unsigned long serviceNameOf(JNIEnv* env, jstring given, Text& name) noexcept;
// A null name stands for this launcher's own service in its service and companion processes.
[[nodiscard]] OpenedService openNamedService(JNIEnv* env, jstring name, unsigned long managerAccess,
                                             unsigned long serviceAccess) noexcept;

// The result of a call made on an open service: 0 on success, also for ERROR_INVALID_LEVEL
// (systems without the information level) and ERROR_MORE_DATA; else the last error.
[[nodiscard]] jint serviceCallResult(bool succeeded) noexcept;

// The thread's last error, or ERROR_GEN_FAILURE when a failing call set none.
[[nodiscard]] unsigned long lastErrorOrFailure() noexcept;

// The natives that read (service_queries_win.cpp); the manager is opened only to connect or to
// enumerate, and services only for reading, so they need no administrator rights.
jobjectArray JNICALL scmEnumServices(JNIEnv* env, jclass, jint type, jint state, jboolean details) noexcept;
jobjectArray JNICALL scmEnumDependentServices(JNIEnv* env, jclass, jstring name, jint state, jboolean details) noexcept;
jobjectArray JNICALL scmQueryConfig(JNIEnv* env, jclass, jstring name) noexcept;
jstring JNICALL scmGetDescription(JNIEnv* env, jclass, jstring name) noexcept;
jstring JNICALL scmGetNameSvc(JNIEnv* env, jclass, jstring displayName) noexcept;
jstring JNICALL scmGetNameLong(JNIEnv* env, jclass, jstring name) noexcept;
jobjectArray JNICALL scmGetFailures(JNIEnv* env, jclass, jstring name) noexcept;
jboolean JNICALL scmIsDelayedAutoStart(JNIEnv* env, jclass, jstring name) noexcept;
jobjectArray JNICALL scmQueryStatus(JNIEnv* env, jclass, jstring name) noexcept;

} // namespace tavrelo
