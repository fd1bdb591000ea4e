// Which classes the launcher's object streams may read. Objects arrive from other processes
// (pipes, the session files), and a local user must not get a service running as SYSTEM to
// build objects of any class on the class path: every stream gets a filter before it reads.
//
// The filter is "-Dtavrelo.serialFilter=<pattern>" when given (the JVM's own pattern syntax);
// otherwise, when the JVM has a process-wide filter ("-Djdk.serialFilter" or the security
// property), that one stays in charge; otherwise the default pattern below. A runtime without
// a filter API, or a pattern the JVM does not accept, reads no object at all.
#pragma once

#include <jni.h>

#include <string>

namespace tavrelo {

// Bounds on depth, references, bytes and array lengths; the java.lang, java.util, java.time and
// java.math classes; the main class's package with its subpackages (the class and its nested
// classes for a class without a package); nothing else.
[[nodiscard]] std::string defaultObjectFilter(const std::string& mainClass);

// Gives a new, unread ObjectInputStream its filter. False when the stream must not be read.
[[nodiscard]] bool filterObjectStream(JNIEnv* env, jobject stream) noexcept;

} // namespace tavrelo
