/* JNI machine-dependent types for the Windows builds: the JDK on the build machines ships only
   its Linux header. Windows' JNI uses __stdcall and a 32-bit long for jint. */
#ifndef _JAVASOFT_JNI_MD_H_
#define _JAVASOFT_JNI_MD_H_

#define JNIEXPORT __declspec(dllexport)
#define JNIIMPORT __declspec(dllimport)
#define JNICALL __stdcall

typedef long jint;
typedef long long jlong;
typedef signed char jbyte;

#endif
