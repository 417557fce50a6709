/* The machine-dependent part of the JNI header for Windows x64, in place of
 * the one a Windows JDK ships: the Linux JDK whose jni.h the cross build
 * reads carries only its own. The types are those of the LLP64 model. */
#ifndef TALMORO_WINDOWS_JNI_MD_H_
#define TALMORO_WINDOWS_JNI_MD_H_

#define JNIEXPORT __declspec(dllexport)
#define JNIIMPORT __declspec(dllimport)
#define JNICALL __stdcall

typedef long jint;  /* 32 bits on Windows */
typedef long long jlong;
typedef signed char jbyte;

#endif /* TALMORO_WINDOWS_JNI_MD_H_ */
