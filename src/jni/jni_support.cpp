#include "jni/jni_support.h"

#include <atomic>
#include <climits>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace talmoro_jni {

namespace {

// The String class and the two members that convert text, filled on first
// use and kept for the life of the process. Threads that fill them at once
// store equal values; the compare-and-swap only keeps one global reference.
std::atomic<jclass> class_String{nullptr};
std::atomic<jmethodID> mid_getBytesEncoding{nullptr};
std::atomic<jmethodID> mid_newString{nullptr};

const char UTF8[] = "utf-8";

void throw_by_name(JNIEnv* env, const char* class_name, const char* message) {
  if (env->ExceptionCheck()) return;  // keep the first failure
  jclass cls = env->FindClass(class_name);
  if (cls == nullptr) return;  // NoClassDefFoundError is pending instead
  env->ThrowNew(cls, message);
  env->DeleteLocalRef(cls);
}

void throw_out_of_memory(JNIEnv* env, const char* what) {
  throw_by_name(env, "java/lang/OutOfMemoryError", what);
}

// Fills the String cache; false with an exception pending on failure.
bool string_cache(JNIEnv* env) {
  jclass cls = class_String.load(std::memory_order_acquire);
  if (cls == nullptr) {
    jclass local = env->FindClass("java/lang/String");
    if (local == nullptr) return false;
    jclass global = static_cast<jclass>(env->NewGlobalRef(local));
    env->DeleteLocalRef(local);
    if (global == nullptr) {
      throw_out_of_memory(env, "no global reference for java.lang.String");
      return false;
    }
    jclass expected = nullptr;
    if (class_String.compare_exchange_strong(expected, global,
                                             std::memory_order_acq_rel)) {
      cls = global;
    } else {
      env->DeleteGlobalRef(global);
      cls = expected;
    }
  }
  if (mid_getBytesEncoding.load(std::memory_order_acquire) == nullptr) {
    jmethodID id = env->GetMethodID(cls, "getBytes", "(Ljava/lang/String;)[B");
    if (id == nullptr) return false;
    mid_getBytesEncoding.store(id, std::memory_order_release);
  }
  if (mid_newString.load(std::memory_order_acquire) == nullptr) {
    jmethodID id = env->GetMethodID(cls, "<init>", "([BLjava/lang/String;)V");
    if (id == nullptr) return false;
    mid_newString.store(id, std::memory_order_release);
  }
  return true;
}

jfieldID object_field(JNIEnv* env, jobject object) {
  jclass cls = env->GetObjectClass(object);
  jfieldID id = env->GetFieldID(cls, "object", "J");
  env->DeleteLocalRef(cls);
  return id;  // null with NoSuchFieldError pending
}

jclass find_class(JNIEnv* env, const char* name) {
  return env->FindClass(name);  // null with an exception pending
}

}  // namespace

void throw_null_pointer(JNIEnv* env, const char* message) {
  throw_by_name(env, "java/lang/NullPointerException", message);
}

void throw_illegal_state(JNIEnv* env, const char* message) {
  throw_by_name(env, "java/lang/IllegalStateException", message);
}

void throw_native_failure(JNIEnv* env, bool out_of_memory) {
  if (out_of_memory)
    throw_out_of_memory(env, "talmoro: native memory exhausted");
  else
    throw_by_name(env, "java/lang/Error", "talmoro: unexpected native failure");
}

bool set_object_variable(JNIEnv* env, jobject object, jlong value) {
  jfieldID id = object_field(env, object);
  if (id == nullptr) return false;
  env->SetLongField(object, id, value);
  return true;
}

jlong get_object_variable(JNIEnv* env, jobject object) {
  jfieldID id = object_field(env, object);
  if (id == nullptr) return 0;
  return env->GetLongField(object, id);
}

void* optional_native_object(JNIEnv* env, jobject handle, const char* what,
                             bool* failed) {
  *failed = false;
  if (handle == nullptr) return nullptr;
  jlong address = get_object_variable(env, handle);
  if (env->ExceptionCheck()) {
    *failed = true;
    return nullptr;
  }
  if (address == 0) {
    char message[160];
    std::snprintf(message, sizeof message,
                  "%s has no native object: it was destroyed or never created",
                  what);
    throw_illegal_state(env, message);
    *failed = true;
    return nullptr;
  }
  return reinterpret_cast<void*>(static_cast<intptr_t>(address));
}

void* native_object(JNIEnv* env, jobject handle, const char* what) {
  if (handle == nullptr) {
    char message[128];
    std::snprintf(message, sizeof message, "%s is null", what);
    throw_null_pointer(env, message);
    return nullptr;
  }
  bool failed = false;
  return optional_native_object(env, handle, what, &failed);
}

jobject new_object(JNIEnv* env, jclass cls) {
  jmethodID init = env->GetMethodID(cls, "<init>", "()V");
  if (init == nullptr) return nullptr;
  jobject object = env->NewObject(cls, init);
  if (env->ExceptionCheck()) {
    if (object != nullptr) env->DeleteLocalRef(object);
    return nullptr;
  }
  return object;
}

jobject new_object(JNIEnv* env, const char* class_name) {
  jclass cls = find_class(env, class_name);
  if (cls == nullptr) return nullptr;
  jobject object = new_object(env, cls);
  env->DeleteLocalRef(cls);
  return object;
}

jfieldID field_of(JNIEnv* env, jobject object, const char* name,
                  const char* signature) {
  jclass cls = env->GetObjectClass(object);
  jfieldID id = env->GetFieldID(cls, name, signature);
  env->DeleteLocalRef(cls);
  return id;
}

jbyteArray java_get_bytes_encoding(JNIEnv* env, jstring string,
                                   const char* encoding) {
  if (!string_cache(env)) return nullptr;
  jstring charset = env->NewStringUTF(encoding);
  if (charset == nullptr) return nullptr;
  jobject bytes =
      env->CallObjectMethod(string, mid_getBytesEncoding.load(), charset);
  bool failed = env->ExceptionCheck();
  env->DeleteLocalRef(charset);
  if (failed) {
    if (bytes != nullptr) env->DeleteLocalRef(bytes);
    return nullptr;
  }
  return static_cast<jbyteArray>(bytes);
}

char* jbyte_to_cstr(JNIEnv* env, jbyteArray bytes) {
  jsize length = env->GetArrayLength(bytes);
  char* text = static_cast<char*>(std::malloc(static_cast<size_t>(length) + 1));
  if (text == nullptr) {
    throw_out_of_memory(env, "talmoro: no memory for a text copy");
    return nullptr;
  }
  jbyte* elements = env->GetByteArrayElements(bytes, nullptr);
  if (elements == nullptr) {
    std::free(text);
    throw_out_of_memory(env, "talmoro: cannot read a byte array");
    return nullptr;
  }
  std::memcpy(text, elements, static_cast<size_t>(length));
  env->ReleaseByteArrayElements(bytes, elements, 0);
  text[length] = '\0';
  return text;
}

jbyteArray cstr_to_jbyte(JNIEnv* env, const char* text) {
  size_t length = std::strlen(text);
  if (length > static_cast<size_t>(INT_MAX)) {
    throw_out_of_memory(env, "talmoro: text too long for a Java array");
    return nullptr;
  }
  jsize size = static_cast<jsize>(length);
  jbyteArray bytes = env->NewByteArray(size);
  if (bytes == nullptr) return nullptr;
  env->SetByteArrayRegion(bytes, 0, size, reinterpret_cast<const jbyte*>(text));
  if (env->ExceptionCheck()) {
    env->DeleteLocalRef(bytes);
    return nullptr;
  }
  return bytes;
}

jstring java_new_string_encoding(JNIEnv* env, jbyteArray bytes,
                                 const char* encoding) {
  if (!string_cache(env)) return nullptr;
  jstring charset = env->NewStringUTF(encoding);
  if (charset == nullptr) return nullptr;
  jobject string = env->NewObject(class_String.load(), mid_newString.load(),
                                  bytes, charset);
  bool failed = env->ExceptionCheck();
  env->DeleteLocalRef(charset);
  if (failed) {
    if (string != nullptr) env->DeleteLocalRef(string);
    return nullptr;
  }
  return static_cast<jstring>(string);
}

char* jstring_to_utf8(JNIEnv* env, jstring string, const char* what) {
  if (string == nullptr) {
    char message[128];
    std::snprintf(message, sizeof message, "%s is null", what);
    throw_null_pointer(env, message);
    return nullptr;
  }
  jbyteArray bytes = java_get_bytes_encoding(env, string, UTF8);
  if (bytes == nullptr) {
    if (!env->ExceptionCheck())
      throw_illegal_state(env, "talmoro: String.getBytes returned null");
    return nullptr;
  }
  char* text = jbyte_to_cstr(env, bytes);
  env->DeleteLocalRef(bytes);
  return text;
}

jstring utf8_to_jstring(JNIEnv* env, const char* text, bool* failed) {
  *failed = false;
  if (text == nullptr) return nullptr;
  jbyteArray bytes = cstr_to_jbyte(env, text);
  if (bytes == nullptr) {
    *failed = true;
    return nullptr;
  }
  jstring string = java_new_string_encoding(env, bytes, UTF8);
  env->DeleteLocalRef(bytes);
  if (string == nullptr) *failed = true;
  return string;
}

ResultTypes::~ResultTypes() {
  if (result_class_ != nullptr) env_->DeleteLocalRef(result_class_);
  if (morph_class_ != nullptr) env_->DeleteLocalRef(morph_class_);
  if (eojul_class_ != nullptr) env_->DeleteLocalRef(eojul_class_);
}

bool ResultTypes::init(bool with_eojul) {
  JNIEnv* env = env_;
  result_class_ = find_class(env, "com/quillon/talmoro/Result");
  if (result_class_ == nullptr) return false;
  morph_class_ = find_class(env, "com/quillon/talmoro/Morph");
  if (morph_class_ == nullptr) return false;
  if ((result_init_ = env->GetMethodID(result_class_, "<init>", "()V")) ==
          nullptr ||
      (morph_init_ = env->GetMethodID(morph_class_, "<init>", "()V")) ==
          nullptr ||
      (result_score_ = env->GetFieldID(result_class_, "score", "F")) ==
          nullptr ||
      (result_morph_ = env->GetFieldID(result_class_, "morph",
                                       "[Lcom/quillon/talmoro/Morph;")) ==
          nullptr ||
      (morph_lexicon_ = env->GetFieldID(morph_class_, "lexicon",
                                        "Ljava/lang/String;")) == nullptr ||
      (morph_pos_tag_ = env->GetFieldID(morph_class_, "posTag",
                                        "Ljava/lang/String;")) == nullptr ||
      (morph_start_ = env->GetFieldID(morph_class_, "startOffset", "I")) ==
          nullptr ||
      (morph_end_ = env->GetFieldID(morph_class_, "endOffset", "I")) ==
          nullptr)
    return false;
  if (!with_eojul) return true;
  eojul_class_ = find_class(env, "com/quillon/talmoro/Eojul");
  if (eojul_class_ == nullptr) return false;
  return (eojul_init_ = env->GetMethodID(eojul_class_, "<init>", "()V")) !=
             nullptr &&
         (eojul_eojul_ = env->GetFieldID(eojul_class_, "eojul",
                                         "Ljava/lang/String;")) != nullptr &&
         (eojul_result_ = env->GetFieldID(eojul_class_, "result",
                                          "Lcom/quillon/talmoro/Result;")) !=
             nullptr;
}

jobject ResultTypes::newMorph(const Result* result, int index) {
  JNIEnv* env = env_;
  LocalRef morph(env, env->NewObject(morph_class_, morph_init_));
  if (env->ExceptionCheck() || morph.get() == nullptr) return nullptr;
  bool failed = false;
  LocalRef lexicon(env, utf8_to_jstring(env, result->lexicon(index), &failed));
  if (failed) return nullptr;
  env->SetObjectField(morph.get(), morph_lexicon_, lexicon.get());
  LocalRef tag(env, utf8_to_jstring(env, result->posTag(index), &failed));
  if (failed) return nullptr;
  env->SetObjectField(morph.get(), morph_pos_tag_, tag.get());
  // Offsets are cut to the 32 bits of a Java int.
  env->SetIntField(morph.get(), morph_start_,
                   static_cast<jint>(static_cast<uint32_t>(
                       result->startOffset(index))));
  env->SetIntField(morph.get(), morph_end_,
                   static_cast<jint>(static_cast<uint32_t>(
                       result->endOffset(index))));
  return morph.release();
}

jobject ResultTypes::newResult(const Result* result) {
  JNIEnv* env = env_;
  unsigned long size = result->size();
  if (size > static_cast<unsigned long>(INT_MAX)) {
    throw_out_of_memory(env, "talmoro: too many morphemes for a Java array");
    return nullptr;
  }
  jsize count = static_cast<jsize>(size);
  LocalRef morphs(env, env->NewObjectArray(count, morph_class_, nullptr));
  if (morphs.get() == nullptr) return nullptr;
  for (jsize m = 0; m < count; ++m) {
    // One morph at a time: its local references go before the next one.
    LocalRef morph(env, newMorph(result, m));
    if (morph.get() == nullptr) return nullptr;
    env->SetObjectArrayElement(static_cast<jobjectArray>(morphs.get()), m,
                               morph.get());
    if (env->ExceptionCheck()) return nullptr;
  }
  LocalRef object(env, env->NewObject(result_class_, result_init_));
  if (env->ExceptionCheck() || object.get() == nullptr) return nullptr;
  env->SetFloatField(object.get(), result_score_, result->score());
  env->SetObjectField(object.get(), result_morph_, morphs.get());
  return object.release();
}

jobject ResultTypes::newEojul(const Eojul* eojul) {
  JNIEnv* env = env_;
  LocalRef object(env, env->NewObject(eojul_class_, eojul_init_));
  if (env->ExceptionCheck() || object.get() == nullptr) return nullptr;
  bool failed = false;
  LocalRef text(env, utf8_to_jstring(env, eojul->eojul(), &failed));
  if (failed) return nullptr;
  env->SetObjectField(object.get(), eojul_eojul_, text.get());
  const Result* result = eojul->result();
  if (result != nullptr) {
    LocalRef java_result(env, newResult(result));
    if (java_result.get() == nullptr) return nullptr;
    env->SetObjectField(object.get(), eojul_result_, java_result.get());
  }
  return object.release();
}

}  // namespace talmoro_jni
