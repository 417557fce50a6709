// Native methods of com.quillon.talmoro.Tagger.
#include <climits>
#include <memory>

#include "jni/jni_support.h"

using namespace talmoro_jni;

namespace {

struct SentenceDeleter {
  void operator()(Sentence* sentence) const {
    Sentence::destroyObject(sentence);
  }
};

jobject new_tagger(JNIEnv* env, jclass cls, const Model* model,
                   const Knowledge* knowledge, const UserKnowledge* user,
                   int arguments) {
  jobject handle = new_object(env, cls);
  if (handle == nullptr) return nullptr;
  Tagger* tagger;
  switch (arguments) {
    case 0: tagger = Tagger::createObject(); break;
    case 1: tagger = Tagger::createObject(model); break;
    case 2: tagger = Tagger::createObject(model, knowledge); break;
    default: tagger = Tagger::createObject(model, knowledge, user); break;
  }
  if (!set_object_variable(env, handle, reinterpret_cast<jlong>(tagger))) {
    Tagger::destroyObject(tagger);
    env->DeleteLocalRef(handle);
    return nullptr;
  }
  return handle;
}

}  // namespace

extern "C" {

JNIEXPORT jobject JNICALL
Java_com_quillon_talmoro_Tagger_createObject__(JNIEnv* env, jclass cls) {
  return guarded<jobject>(env, nullptr, [&]() -> jobject {
    return new_tagger(env, cls, nullptr, nullptr, nullptr, 0);
  });
}

JNIEXPORT jobject JNICALL
Java_com_quillon_talmoro_Tagger_createObject__Lcom_quillon_talmoro_Model_2(
    JNIEnv* env, jclass cls, jobject model) {
  return guarded<jobject>(env, nullptr, [&]() -> jobject {
    auto* m = native_handle<Model>(env, model, "model");
    if (m == nullptr) return nullptr;
    return new_tagger(env, cls, m, nullptr, nullptr, 1);
  });
}

JNIEXPORT jobject JNICALL
Java_com_quillon_talmoro_Tagger_createObject__Lcom_quillon_talmoro_Model_2Lcom_quillon_talmoro_Knowledge_2(
    JNIEnv* env, jclass cls, jobject model, jobject knowledge) {
  return guarded<jobject>(env, nullptr, [&]() -> jobject {
    auto* m = native_handle<Model>(env, model, "model");
    if (m == nullptr) return nullptr;
    auto* sys = native_handle<Knowledge>(env, knowledge, "knowledge");
    if (sys == nullptr) return nullptr;
    return new_tagger(env, cls, m, sys, nullptr, 2);
  });
}

JNIEXPORT jobject JNICALL
Java_com_quillon_talmoro_Tagger_createObject__Lcom_quillon_talmoro_Model_2Lcom_quillon_talmoro_Knowledge_2Lcom_quillon_talmoro_UserKnowledge_2(
    JNIEnv* env, jclass cls, jobject model, jobject knowledge,
    jobject user_knowledge) {
  return guarded<jobject>(env, nullptr, [&]() -> jobject {
    auto* m = native_handle<Model>(env, model, "model");
    if (m == nullptr) return nullptr;
    auto* sys = native_handle<Knowledge>(env, knowledge, "knowledge");
    if (sys == nullptr) return nullptr;
    auto* user =
        native_handle<UserKnowledge>(env, user_knowledge, "user knowledge");
    if (user == nullptr) return nullptr;
    return new_tagger(env, cls, m, sys, user, 3);
  });
}

JNIEXPORT void JNICALL Java_com_quillon_talmoro_Tagger_destroyObject(
    JNIEnv* env, jclass, jobject handle) {
  if (handle == nullptr) {
    throw_null_pointer(env, "tagger is null");
    return;
  }
  jlong address = get_object_variable(env, handle);
  if (env->ExceptionCheck()) return;
  if (!set_object_variable(env, handle, 0)) return;
  Tagger::destroyObject(reinterpret_cast<Tagger*>(address));
}

JNIEXPORT void JNICALL Java_com_quillon_talmoro_Tagger_setModel(
    JNIEnv* env, jobject self, jobject model) {
  auto* tagger = native_handle<Tagger>(env, self, "tagger");
  if (tagger == nullptr) return;
  auto* m = native_handle<Model>(env, model, "model");
  if (m == nullptr) return;
  tagger->setModel(m);
}

JNIEXPORT void JNICALL Java_com_quillon_talmoro_Tagger_setSysKnowledge(
    JNIEnv* env, jobject self, jobject knowledge) {
  auto* tagger = native_handle<Tagger>(env, self, "tagger");
  if (tagger == nullptr) return;
  auto* sys = native_handle<Knowledge>(env, knowledge, "knowledge");
  if (sys == nullptr) return;
  tagger->setSysKnowledge(sys);
}

JNIEXPORT void JNICALL Java_com_quillon_talmoro_Tagger_setUserKnowledge(
    JNIEnv* env, jobject self, jobject user_knowledge) {
  auto* tagger = native_handle<Tagger>(env, self, "tagger");
  if (tagger == nullptr) return;
  // A null argument keeps the user dictionary set before.
  bool failed = false;
  auto* user = static_cast<UserKnowledge*>(optional_native_object(
      env, user_knowledge, "user knowledge", &failed));
  if (failed || user == nullptr) return;
  tagger->setUserKnowledge(user);
}

JNIEXPORT jobject JNICALL Java_com_quillon_talmoro_Tagger_process(
    JNIEnv* env, jobject self, jstring jtext) {
  return guarded<jobject>(env, nullptr, [&]() -> jobject {
    auto* tagger = native_handle<Tagger>(env, self, "tagger");
    if (tagger == nullptr) return nullptr;
    Utf8Text text(jstring_to_utf8(env, jtext, "text"));
    if (text == nullptr) return nullptr;

    std::unique_ptr<Sentence, SentenceDeleter> sentence(
        Sentence::createObject());
    unsigned long n = tagger->process(text.get(), sentence.get());
    text.reset();

    LocalRef java_sentence(env,
                           new_object(env, "com/quillon/talmoro/Sentence"));
    if (java_sentence.get() == nullptr) return nullptr;
    if (n == 0) return java_sentence.release();

    if (env->EnsureLocalCapacity(32) != 0) return nullptr;
    jfieldID eojul_field = field_of(env, java_sentence.get(), "eojul",
                                    "[Lcom/quillon/talmoro/Eojul;");
    if (eojul_field == nullptr) return nullptr;
    ResultTypes types(env);
    if (!types.init(true)) return nullptr;

    if (n > sentence->size()) n = sentence->size();
    if (n > static_cast<unsigned long>(INT_MAX)) {
      throw_native_failure(env, true);
      return nullptr;
    }
    LocalRef eojuls(env, env->NewObjectArray(static_cast<jsize>(n),
                                             types.eojulClass(), nullptr));
    if (eojuls.get() == nullptr) return nullptr;
    for (unsigned long i = 0; i < n; ++i) {
      const Eojul* eojul = sentence->get(i);
      if (eojul == nullptr) continue;
      LocalRef java_eojul(env, types.newEojul(eojul));
      if (java_eojul.get() == nullptr) return nullptr;
      env->SetObjectArrayElement(static_cast<jobjectArray>(eojuls.get()),
                                 static_cast<jsize>(i), java_eojul.get());
      if (env->ExceptionCheck()) return nullptr;
    }
    env->SetObjectField(java_sentence.get(), eojul_field, eojuls.get());
    return java_sentence.release();
  });
}

}  // extern "C"
