/* The machine-dependent part of jni.h for Win32 (both widths): the JVM's own calling
 * convention and type sizes, so that the launcher's calls match what jvm.dll expects. */
#ifndef TAVRELO_JNI_MD_H
#define TAVRELO_JNI_MD_H

#define JNIEXPORT __declspec(dllexport)
#define JNIIMPORT __declspec(dllimport)
#define JNICALL __stdcall

typedef long jint;
typedef long long jlong;
typedef signed char jbyte;

#endif
