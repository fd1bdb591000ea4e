// What the exported entry points of each stand-in library variant call.
#pragma once

#include <jni.h>

namespace tavrelo::standin {

// Called once when the library is loaded: finds the scenario and the log beside the runtime.
void onLoad(void* module);
[[nodiscard]] jint defaultInitArgs(void* args);
[[nodiscard]] jint createVm(JavaVM** pvm, void** penv, void* args);
[[nodiscard]] jint getCreatedVms(JavaVM** buffer, jsize length, jsize* count);

} // namespace tavrelo::standin
