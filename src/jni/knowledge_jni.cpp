// Native methods of com.quillon.talmoro.Knowledge, UserKnowledge and Model:
// the dictionaries and the tagger model, created empty and then loaded.
#include <cstdio>

#include "jni/jni_support.h"

using namespace talmoro_jni;

namespace {

// A new handle of `cls` holding a new native object from `create`.
template <typename T, typename Create>
jobject new_loadable(JNIEnv* env, jclass cls, Create create) {
  jobject handle = new_object(env, cls);
  if (handle == nullptr) return nullptr;
  T* object = create();
  if (!set_object_variable(env, handle, reinterpret_cast<jlong>(object))) {
    T::destroyObject(object);
    env->DeleteLocalRef(handle);
    return nullptr;
  }
  return handle;
}

template <typename T>
void destroy_loadable(JNIEnv* env, jobject handle, const char* what) {
  if (handle == nullptr) {
    char message[64];
    std::snprintf(message, sizeof message, "%s is null", what);
    throw_null_pointer(env, message);
    return;
  }
  jlong address = get_object_variable(env, handle);
  if (env->ExceptionCheck()) return;
  // The field is cleared first, so a handle never points at freed memory.
  if (!set_object_variable(env, handle, 0)) return;
  T::destroyObject(reinterpret_cast<T*>(address));
}

// Loads from the file or directory named by a Java string.
template <typename T>
jint load_path(JNIEnv* env, jobject self, jstring jpath, const char* what) {
  return guarded<jint>(env, -1, [&]() -> jint {
    auto* object = native_handle<T>(env, self, what);
    if (object == nullptr) return -1;
    Utf8Text path(jstring_to_utf8(env, jpath, "path"));
    if (path == nullptr) return -1;
    return object->load(path.get());
  });
}

// The elements of a byte array, released (mode 0) at the end of the scope.
class ByteElements {
 public:
  ByteElements(JNIEnv* env, jbyteArray array) : env_(env), array_(array) {}
  ~ByteElements() {
    if (elements_ != nullptr)
      env_->ReleaseByteArrayElements(array_, elements_, 0);
  }
  ByteElements(const ByteElements&) = delete;
  ByteElements& operator=(const ByteElements&) = delete;

  // False with an exception pending when the array is null or unreadable.
  bool get(const char* what) {
    if (array_ == nullptr) {
      char message[64];
      std::snprintf(message, sizeof message, "%s is null", what);
      throw_null_pointer(env_, message);
      return false;
    }
    length_ = env_->GetArrayLength(array_);
    elements_ = env_->GetByteArrayElements(array_, nullptr);
    if (elements_ == nullptr) {
      throw_native_failure(env_, true);
      return false;
    }
    return true;
  }
  const char* data() const { return reinterpret_cast<const char*>(elements_); }
  unsigned long size() const { return static_cast<unsigned long>(length_); }

 private:
  JNIEnv* env_;
  jbyteArray array_;
  jbyte* elements_ = nullptr;
  jsize length_ = 0;
};

}  // namespace

extern "C" {

JNIEXPORT jobject JNICALL
Java_com_quillon_talmoro_Knowledge_createObject(JNIEnv* env, jclass cls) {
  return guarded<jobject>(env, nullptr, [&]() -> jobject {
    return new_loadable<Knowledge>(env, cls, [] {
      return Knowledge::createObject();
    });
  });
}

JNIEXPORT void JNICALL Java_com_quillon_talmoro_Knowledge_destroyObject(
    JNIEnv* env, jclass, jobject handle) {
  destroy_loadable<Knowledge>(env, handle, "knowledge");
}

JNIEXPORT jint JNICALL Java_com_quillon_talmoro_Knowledge_load(
    JNIEnv* env, jobject self, jstring directory) {
  return load_path<Knowledge>(env, self, directory, "knowledge");
}

JNIEXPORT jint JNICALL Java_com_quillon_talmoro_Knowledge_loadFromBuffer(
    JNIEnv* env, jobject self, jbyteArray tri, jbyteArray idx,
    jbyteArray dat) {
  return guarded<jint>(env, -1, [&]() -> jint {
    auto* knowledge = native_handle<Knowledge>(env, self, "knowledge");
    if (knowledge == nullptr) return -1;
    // Declared in this order, released in the reverse one.
    ByteElements t(env, tri), i(env, idx), d(env, dat);
    if (!t.get("sys.tri buffer") || !i.get("sys.idx buffer") ||
        !d.get("sys.dat buffer"))
      return -1;
    return knowledge->loadFromBuffer(t.data(), t.size(), i.data(), i.size(),
                                     d.data(), d.size());
  });
}

JNIEXPORT jobject JNICALL
Java_com_quillon_talmoro_UserKnowledge_createObject(JNIEnv* env, jclass cls) {
  return guarded<jobject>(env, nullptr, [&]() -> jobject {
    return new_loadable<UserKnowledge>(env, cls, [] {
      return UserKnowledge::createObject();
    });
  });
}

JNIEXPORT void JNICALL Java_com_quillon_talmoro_UserKnowledge_destroyObject(
    JNIEnv* env, jclass, jobject handle) {
  destroy_loadable<UserKnowledge>(env, handle, "user knowledge");
}

JNIEXPORT jint JNICALL Java_com_quillon_talmoro_UserKnowledge_load(
    JNIEnv* env, jobject self, jstring path) {
  return load_path<UserKnowledge>(env, self, path, "user knowledge");
}

JNIEXPORT jint JNICALL Java_com_quillon_talmoro_UserKnowledge_loadFromBuffer(
    JNIEnv* env, jobject self, jstring jtext) {
  return guarded<jint>(env, -1, [&]() -> jint {
    auto* user = native_handle<UserKnowledge>(env, self, "user knowledge");
    if (user == nullptr) return -1;
    // The loader modifies the buffer and keeps no pointer into it.
    Utf8Text text(jstring_to_utf8(env, jtext, "text"));
    if (text == nullptr) return -1;
    return user->loadFromBuffer(text.get());
  });
}

JNIEXPORT jobject JNICALL
Java_com_quillon_talmoro_Model_createObject(JNIEnv* env, jclass cls) {
  return guarded<jobject>(env, nullptr, [&]() -> jobject {
    return new_loadable<Model>(env, cls, [] { return Model::createObject(); });
  });
}

JNIEXPORT void JNICALL Java_com_quillon_talmoro_Model_destroyObject(
    JNIEnv* env, jclass, jobject handle) {
  destroy_loadable<Model>(env, handle, "model");
}

JNIEXPORT jint JNICALL Java_com_quillon_talmoro_Model_load(JNIEnv* env,
                                                           jobject self,
                                                           jstring directory) {
  return load_path<Model>(env, self, directory, "model");
}

}  // extern "C"
