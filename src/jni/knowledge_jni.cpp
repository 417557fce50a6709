// Native methods of com.quillon.talmoro.Knowledge, UserKnowledge and Model:
// the dictionaries and the tagger model, created empty and then loaded.
#include "jni/jni_support.h"

using namespace talmoro_jni;

namespace {

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
      throw_null_argument(env_, what);
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
    return new_handle<Knowledge>(env, cls, [] {
      return Knowledge::createObject();
    });
  });
}

JNIEXPORT void JNICALL Java_com_quillon_talmoro_Knowledge_destroyObject(
    JNIEnv* env, jclass, jobject handle) {
  destroy_handle<Knowledge>(env, handle, "knowledge");
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
    return new_handle<UserKnowledge>(env, cls, [] {
      return UserKnowledge::createObject();
    });
  });
}

JNIEXPORT void JNICALL Java_com_quillon_talmoro_UserKnowledge_destroyObject(
    JNIEnv* env, jclass, jobject handle) {
  destroy_handle<UserKnowledge>(env, handle, "user knowledge");
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
    return new_handle<Model>(env, cls, [] { return Model::createObject(); });
  });
}

JNIEXPORT void JNICALL Java_com_quillon_talmoro_Model_destroyObject(
    JNIEnv* env, jclass, jobject handle) {
  destroy_handle<Model>(env, handle, "model");
}

JNIEXPORT jint JNICALL Java_com_quillon_talmoro_Model_load(JNIEnv* env,
                                                           jobject self,
                                                           jstring directory) {
  return load_path<Model>(env, self, directory, "model");
}

}  // extern "C"
