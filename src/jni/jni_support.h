// Helpers shared by the Java native methods: the "object" field of the
// handle classes, handle creation and destruction, setters, text conversion
// between Java strings and UTF-8, and the copying of native results into the
// Java result classes.
//
// Every helper that can fail returns null (or false) with a Java exception
// pending; the caller releases what it holds and returns at once, so the
// exception reaches the Java caller. No helper calls into the virtual machine
// while an exception is pending.
#ifndef TALMORO_JNI_JNI_SUPPORT_H_
#define TALMORO_JNI_JNI_SUPPORT_H_

#include <jni.h>

#include <cstdlib>
#include <initializer_list>
#include <memory>
#include <new>

#include "api/talmoro.h"

namespace talmoro_jni {

// Raise java.lang.NullPointerException or IllegalStateException.
void throw_null_pointer(JNIEnv* env, const char* message);
void throw_illegal_state(JNIEnv* env, const char* message);
// NullPointerException with the message "<what> is null".
void throw_null_argument(JNIEnv* env, const char* what);

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

// A dictionary or model that an analyzer or tagger uses without owning it.
// The Java handle of the analyzer or tagger keeps it in a field, so that a
// call made after it was destroyed raises IllegalStateException instead of
// reading freed memory.
struct Use {
  const char* field;      // field of the analyzer or tagger handle
  const char* signature;  // its JNI type
  const char* what;       // the argument's name in messages
};
extern const Use KNOWLEDGE_USE;
extern const Use USER_KNOWLEDGE_USE;
extern const Use MODEL_USE;

// Stores `used` in the field of `self` named by `use`; false with an
// exception pending.
bool remember_use(JNIEnv* env, jobject self, const Use& use, jobject used);

// False with IllegalStateException pending when one of the handles stored
// in the fields of `self` named by `uses` has been destroyed.
bool uses_alive(JNIEnv* env, jobject self, std::initializer_list<Use> uses);

// A handle argument of a createObject overload, with the field of the new
// handle that keeps it.
struct UsedHandle {
  const Use* use;
  jobject handle;
};

// A new handle of `cls` that keeps `uses` and holds the native object made
// by `create`. When the handle cannot take the object, the object is
// destroyed again. Null with an exception pending on failure.
template <typename T, typename Create>
jobject new_handle(JNIEnv* env, jclass cls, Create create,
                   std::initializer_list<UsedHandle> uses = {}) {
  jobject handle = new_object(env, cls);
  if (handle == nullptr) return nullptr;
  for (const UsedHandle& used : uses) {
    if (!remember_use(env, handle, *used.use, used.handle)) {
      env->DeleteLocalRef(handle);
      return nullptr;
    }
  }
  T* object = create();
  if (!set_object_variable(env, handle, reinterpret_cast<jlong>(object))) {
    T::destroyObject(object);
    env->DeleteLocalRef(handle);
    return nullptr;
  }
  return handle;
}

// destroyObject of every handle class: the native object is destroyed and
// the field set to 0; a field already 0 is harmless. A null handle raises
// NullPointerException naming `what`.
template <typename T>
void destroy_handle(JNIEnv* env, jobject handle, const char* what) {
  if (handle == nullptr) {
    throw_null_argument(env, what);
    return;
  }
  jlong address = get_object_variable(env, handle);
  if (env->ExceptionCheck()) return;
  // The field is cleared first, so a handle never points at freed memory.
  if (!set_object_variable(env, handle, 0)) return;
  T::destroyObject(reinterpret_cast<T*>(address));
}

// A setter of an analyzer or tagger: hands the native object of `argument`
// to `set` and keeps the argument in the field named by `use`. A null or
// destroyed `self` or `argument` raises an exception and changes nothing,
// except that a null argument is ignored when `optional`.
template <typename T, typename A, typename Set>
void set_used(JNIEnv* env, jobject self, const char* what, const Use& use,
              jobject argument, bool optional, Set set) {
  auto* object = native_handle<T>(env, self, what);
  if (object == nullptr) return;
  A* value;
  if (optional) {
    bool failed = false;
    value = static_cast<A*>(
        optional_native_object(env, argument, use.what, &failed));
    if (failed || value == nullptr) return;
  } else {
    value = native_handle<A>(env, argument, use.what);
    if (value == nullptr) return;
  }
  if (!remember_use(env, self, use, argument)) return;
  set(object, value);
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

// A new Java Candidate holding the first n results of `candidate`, in order,
// and its origin; when n is 0 both fields stay null.
jobject new_java_candidate(JNIEnv* env, const Candidate* candidate,
                           unsigned long n);
// A new Java Sentence holding the first n words of `sentence`, in order, each
// with its chosen Result; when n is 0 its field stays null.
jobject new_java_sentence(JNIEnv* env, const Sentence* sentence,
                          unsigned long n);

// process of an analyzer or tagger: checks that the handle and the
// dictionaries and model it uses are alive, runs the native engine on the
// UTF-8 text of `jtext` into a fresh native container and returns
// build(env, container, count). The native container is destroyed before
// returning.
template <typename Engine, typename Container, typename Build>
jobject process_text(JNIEnv* env, jobject self, const char* what,
                     std::initializer_list<Use> uses, jstring jtext,
                     Build build) {
  return guarded<jobject>(env, nullptr, [&]() -> jobject {
    auto* engine = native_handle<Engine>(env, self, what);
    if (engine == nullptr) return nullptr;
    if (!uses_alive(env, self, uses)) return nullptr;
    Utf8Text text(jstring_to_utf8(env, jtext, "text"));
    if (text == nullptr) return nullptr;

    auto destroy = [](Container* container) {
      Container::destroyObject(container);
    };
    std::unique_ptr<Container, decltype(destroy)> container(
        Container::createObject(), destroy);
    unsigned long n = engine->process(text.get(), container.get());
    text.reset();
    return build(env, container.get(), n);
  });
}

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
