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

// IllegalStateException for a handle whose "object" field is 0.
void throw_no_object(JNIEnv* env, const char* what, const char* reason) {
  char message[160];
  std::snprintf(message, sizeof message, "%s has no native object: %s", what,
                reason);
  throw_by_name(env, "java/lang/IllegalStateException", message);
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

void throw_null_argument(JNIEnv* env, const char* what) {
  char message[128];
  std::snprintf(message, sizeof message, "%s is null", what);
  throw_null_pointer(env, message);
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
    throw_no_object(env, what, "it was destroyed or never created");
    *failed = true;
    return nullptr;
  }
  return reinterpret_cast<void*>(static_cast<intptr_t>(address));
}

void* native_object(JNIEnv* env, jobject handle, const char* what) {
  if (handle == nullptr) {
    throw_null_argument(env, what);
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
    throw_null_argument(env, what);
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

const Use KNOWLEDGE_USE = {"knowledge", "Lcom/quillon/talmoro/Knowledge;",
                           "knowledge"};
const Use USER_KNOWLEDGE_USE = {
    "userKnowledge", "Lcom/quillon/talmoro/UserKnowledge;", "user knowledge"};
const Use MODEL_USE = {"model", "Lcom/quillon/talmoro/Model;", "model"};

bool remember_use(JNIEnv* env, jobject self, const Use& use, jobject used) {
  jfieldID id = field_of(env, self, use.field, use.signature);
  if (id == nullptr) return false;
  env->SetObjectField(self, id, used);
  return true;
}

bool uses_alive(JNIEnv* env, jobject self, std::initializer_list<Use> uses) {
  jclass cls = env->GetObjectClass(self);
  bool alive = true;
  for (const Use& use : uses) {
    jfieldID id = env->GetFieldID(cls, use.field, use.signature);
    if (id == nullptr) {
      alive = false;
      break;
    }
    LocalRef used(env, env->GetObjectField(self, id));
    if (used.get() == nullptr) continue;  // never given
    jlong address = get_object_variable(env, used.get());
    if (env->ExceptionCheck()) {
      alive = false;
      break;
    }
    if (address == 0) {
      throw_no_object(env, use.what, "it was destroyed while still in use");
      alive = false;
      break;
    }
  }
  env->DeleteLocalRef(cls);
  return alive;
}

namespace {

// A new array of `cls` with n elements, element i made by make(i). A null
// element without an exception pending stays null in the array. Null with an
// exception pending on failure.
template <typename Make>
jobjectArray new_array(JNIEnv* env, jclass cls, unsigned long n, Make make) {
  if (n > static_cast<unsigned long>(INT_MAX)) {
    throw_out_of_memory(env, "talmoro: too many elements for a Java array");
    return nullptr;
  }
  LocalRef array(env, env->NewObjectArray(static_cast<jsize>(n), cls, nullptr));
  if (array.get() == nullptr) return nullptr;
  for (unsigned long i = 0; i < n; ++i) {
    // One element at a time: its local references go before the next one.
    LocalRef element(env, make(i));
    if (env->ExceptionCheck()) return nullptr;
    if (element.get() == nullptr) continue;
    env->SetObjectArrayElement(static_cast<jobjectArray>(array.get()),
                               static_cast<jsize>(i), element.get());
    if (env->ExceptionCheck()) return nullptr;
  }
  return static_cast<jobjectArray>(array.release());
}

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
  LocalRef morphs(env, new_array(env, morph_class_, size, [&](unsigned long m) {
                    return newMorph(result, static_cast<int>(m));
                  }));
  if (morphs.get() == nullptr) return nullptr;
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

}  // namespace

jobject new_java_candidate(JNIEnv* env, const Candidate* candidate,
                           unsigned long n) {
  LocalRef java_candidate(env,
                          new_object(env, "com/quillon/talmoro/Candidate"));
  if (java_candidate.get() == nullptr) return nullptr;
  if (n == 0) return java_candidate.release();

  if (env->EnsureLocalCapacity(32) != 0) return nullptr;
  jfieldID origin_field =
      field_of(env, java_candidate.get(), "origin", "Ljava/lang/String;");
  if (origin_field == nullptr) return nullptr;
  jfieldID result_field = field_of(env, java_candidate.get(), "result",
                                   "[Lcom/quillon/talmoro/Result;");
  if (result_field == nullptr) return nullptr;
  ResultTypes types(env);
  if (!types.init(false)) return nullptr;

  if (n > candidate->size()) n = candidate->size();
  LocalRef results(env, new_array(env, types.resultClass(), n,
                                  [&](unsigned long j) -> jobject {
                                    const Result* result = candidate->get(j);
                                    if (result == nullptr) return nullptr;
                                    return types.newResult(result);
                                  }));
  if (results.get() == nullptr) return nullptr;
  bool failed = false;
  LocalRef origin(env, utf8_to_jstring(env, candidate->origin(), &failed));
  if (failed) return nullptr;
  env->SetObjectField(java_candidate.get(), origin_field, origin.get());
  env->SetObjectField(java_candidate.get(), result_field, results.get());
  return java_candidate.release();
}

jobject new_java_sentence(JNIEnv* env, const Sentence* sentence,
                          unsigned long n) {
  LocalRef java_sentence(env, new_object(env, "com/quillon/talmoro/Sentence"));
  if (java_sentence.get() == nullptr) return nullptr;
  if (n == 0) return java_sentence.release();

  if (env->EnsureLocalCapacity(32) != 0) return nullptr;
  jfieldID eojul_field = field_of(env, java_sentence.get(), "eojul",
                                  "[Lcom/quillon/talmoro/Eojul;");
  if (eojul_field == nullptr) return nullptr;
  ResultTypes types(env);
  if (!types.init(true)) return nullptr;

  if (n > sentence->size()) n = sentence->size();
  LocalRef eojuls(env, new_array(env, types.eojulClass(), n,
                                 [&](unsigned long i) -> jobject {
                                   const Eojul* eojul = sentence->get(i);
                                   if (eojul == nullptr) return nullptr;
                                   return types.newEojul(eojul);
                                 }));
  if (eojuls.get() == nullptr) return nullptr;
  env->SetObjectField(java_sentence.get(), eojul_field, eojuls.get());
  return java_sentence.release();
}

}  // namespace talmoro_jni
