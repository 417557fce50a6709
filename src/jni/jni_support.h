// Helpers shared by the Java native methods: the "object" field of the
// handle classes, text conversion between Java strings and UTF-8, and the
// copying of native results into the Java result classes.
//
// Every helper that can fail returns null (or false) with a Java exception
// pending; the caller releases what it holds and returns at once, so the
// exception reaches the Java caller. No helper calls into the virtual machine
// while an exception is pending.
#ifndef TALMORO_JNI_JNI_SUPPORT_H_
#define TALMORO_JNI_JNI_SUPPORT_H_

#include <jni.h>

#include <cstdlib>
#include <memory>
#include <new>

#include "api/talmoro.h"

namespace talmoro_jni {

// Raise java.lang.NullPointerException or IllegalStateException.
void throw_null_pointer(JNIEnv* env, const char* message);
void throw_illegal_state(JNIEnv* env, const char* message);

// The "object" field of a handle. get_object_variable returns 0 with an
// exception pending when the lookup fails.
bool set_object_variable(JNIEnv* env, jobject object, jlong value);
jlong get_object_variable(JNIEnv* env, jobject object);

// The native object behind a handle argument. A null handle raises
// NullPointerException and a handle whose object is 0 (never created or
// already destroyed) IllegalStateException; `what` names the argument in
// the message. Returns null with the exception pending.
void* native_object(JNIEnv* env, jobject handle, const char* what);

template <typename T>
T* native_handle(JNIEnv* env, jobject handle, const char* what) {
  return static_cast<T*>(native_object(env, handle, what));
}

// Like native_handle, but a null handle gives null without an exception
// (for setters that ignore a null argument). Sets *failed when an exception
// is pending.
void* optional_native_object(JNIEnv* env, jobject handle, const char* what,
                             bool* failed);

// A new object of `cls` (or of the class named `class_name`) made by its
// no-argument constructor; null with an exception pending on failure.
jobject new_object(JNIEnv* env, jclass cls);
jobject new_object(JNIEnv* env, const char* class_name);

// The ID of an instance field of the object's class; null with
// NoSuchFieldError pending.
jfieldID field_of(JNIEnv* env, jobject object, const char* name,
                  const char* signature);

// Raises OutOfMemoryError, or Error for any other C++ exception that
// escaped the engine.
void throw_native_failure(JNIEnv* env, bool out_of_memory);

// Runs `body`, turning a C++ exception into a Java one: no C++ exception
// may unwind into the virtual machine. Returns `fallback` then.
template <typename R, typename F>
R guarded(JNIEnv* env, R fallback, F&& body) {
  try {
    return body();
  } catch (const std::bad_alloc&) {
    throw_native_failure(env, true);
  } catch (...) {
    throw_native_failure(env, false);
  }
  return fallback;
}

template <typename F>
void guarded_void(JNIEnv* env, F&& body) {
  try {
    body();
  } catch (const std::bad_alloc&) {
    throw_native_failure(env, true);
  } catch (...) {
    throw_native_failure(env, false);
  }
}

// The bytes of `string` in `encoding`, as a Java byte array; null when the
// String class or its method cannot be found.
jbyteArray java_get_bytes_encoding(JNIEnv* env, jstring string,
                                   const char* encoding);
// A new zero-terminated malloc'd copy of the array; the caller frees it.
char* jbyte_to_cstr(JNIEnv* env, jbyteArray bytes);
// A new Java byte array with the bytes of `text`, without the terminator.
jbyteArray cstr_to_jbyte(JNIEnv* env, const char* text);
// A new Java string decoded from `bytes` in `encoding`.
jstring java_new_string_encoding(JNIEnv* env, jbyteArray bytes,
                                 const char* encoding);

// A Java string argument as a malloc'd zero-terminated UTF-8 copy (the caller
// frees it). A null string raises NullPointerException naming `what`.
char* jstring_to_utf8(JNIEnv* env, jstring string, const char* what);

struct FreeDeleter {
  void operator()(char* text) const { std::free(text); }
};
using Utf8Text = std::unique_ptr<char, FreeDeleter>;

// A native UTF-8 text as a new Java string. A null text gives null without
// an exception; *failed is set when an exception is pending.
jstring utf8_to_jstring(JNIEnv* env, const char* text, bool* failed);

// The Java result classes that a process call fills, looked up once per
// call. Every reference is local and released by the destructor.
class ResultTypes {
 public:
  explicit ResultTypes(JNIEnv* env) : env_(env) {}
  ~ResultTypes();
  ResultTypes(const ResultTypes&) = delete;
  ResultTypes& operator=(const ResultTypes&) = delete;

  // Looks up Result and Morph, and Eojul too when `with_eojul`; false with
  // an exception pending when a class or member is missing.
  bool init(bool with_eojul);

  // A new Java Result holding every morpheme of `result`, in order.
  jobject newResult(const Result* result);
  // A new Java Eojul with the word's text and its Result.
  jobject newEojul(const Eojul* eojul);

  jclass resultClass() const { return result_class_; }
  jclass eojulClass() const { return eojul_class_; }

 private:
  jobject newMorph(const Result* result, int index);

  JNIEnv* env_;
  jclass result_class_ = nullptr;
  jclass morph_class_ = nullptr;
  jclass eojul_class_ = nullptr;
  jmethodID result_init_ = nullptr;
  jmethodID morph_init_ = nullptr;
  jmethodID eojul_init_ = nullptr;
  jfieldID result_score_ = nullptr;
  jfieldID result_morph_ = nullptr;
  jfieldID morph_lexicon_ = nullptr;
  jfieldID morph_pos_tag_ = nullptr;
  jfieldID morph_start_ = nullptr;
  jfieldID morph_end_ = nullptr;
  jfieldID eojul_eojul_ = nullptr;
  jfieldID eojul_result_ = nullptr;
};

// Releases a local reference at the end of a scope.
class LocalRef {
 public:
  LocalRef(JNIEnv* env, jobject ref) : env_(env), ref_(ref) {}
  ~LocalRef() {
    if (ref_ != nullptr) env_->DeleteLocalRef(ref_);
  }
  LocalRef(const LocalRef&) = delete;
  LocalRef& operator=(const LocalRef&) = delete;
  jobject get() const { return ref_; }
  // Hands the reference to the caller, which then releases it.
  jobject release() {
    jobject ref = ref_;
    ref_ = nullptr;
    return ref;
  }

 private:
  JNIEnv* env_;
  jobject ref_;
};

}  // namespace talmoro_jni

#endif  // TALMORO_JNI_JNI_SUPPORT_H_
