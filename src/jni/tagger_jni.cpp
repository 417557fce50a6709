// Native methods of com.quillon.talmoro.Tagger.
#include "jni/jni_support.h"

using namespace talmoro_jni;

extern "C" {

JNIEXPORT jobject JNICALL
Java_com_quillon_talmoro_Tagger_createObject__(JNIEnv* env, jclass cls) {
  return guarded<jobject>(env, nullptr, [&]() -> jobject {
    return new_handle<Tagger>(env, cls, [] { return Tagger::createObject(); });
  });
}

JNIEXPORT jobject JNICALL
Java_com_quillon_talmoro_Tagger_createObject__Lcom_quillon_talmoro_Model_2(
    JNIEnv* env, jclass cls, jobject model) {
  return guarded<jobject>(env, nullptr, [&]() -> jobject {
    auto* m = native_handle<Model>(env, model, "model");
    if (m == nullptr) return nullptr;
    return new_handle<Tagger>(
        env, cls, [&] { return Tagger::createObject(m); },
        {{&MODEL_USE, model}});
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
    return new_handle<Tagger>(
        env, cls, [&] { return Tagger::createObject(m, sys); },
        {{&MODEL_USE, model}, {&KNOWLEDGE_USE, knowledge}});
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
    return new_handle<Tagger>(
        env, cls, [&] { return Tagger::createObject(m, sys, user); },
        {{&MODEL_USE, model},
         {&KNOWLEDGE_USE, knowledge},
         {&USER_KNOWLEDGE_USE, user_knowledge}});
  });
}

JNIEXPORT void JNICALL Java_com_quillon_talmoro_Tagger_destroyObject(
    JNIEnv* env, jclass, jobject handle) {
  destroy_handle<Tagger>(env, handle, "tagger");
}

JNIEXPORT void JNICALL Java_com_quillon_talmoro_Tagger_setModel(
    JNIEnv* env, jobject self, jobject model) {
  set_used<Tagger, Model>(env, self, "tagger", MODEL_USE, model, false,
                          [](Tagger* tagger, const Model* m) {
                            tagger->setModel(m);
                          });
}

JNIEXPORT void JNICALL Java_com_quillon_talmoro_Tagger_setSysKnowledge(
    JNIEnv* env, jobject self, jobject knowledge) {
  set_used<Tagger, Knowledge>(env, self, "tagger", KNOWLEDGE_USE, knowledge,
                              false, [](Tagger* tagger, const Knowledge* sys) {
                                tagger->setSysKnowledge(sys);
                              });
}

JNIEXPORT void JNICALL Java_com_quillon_talmoro_Tagger_setUserKnowledge(
    JNIEnv* env, jobject self, jobject user_knowledge) {
  // A null argument keeps the user dictionary set before.
  set_used<Tagger, UserKnowledge>(
      env, self, "tagger", USER_KNOWLEDGE_USE, user_knowledge, true,
      [](Tagger* tagger, const UserKnowledge* user) {
        tagger->setUserKnowledge(user);
      });
}

JNIEXPORT jobject JNICALL Java_com_quillon_talmoro_Tagger_process(
    JNIEnv* env, jobject self, jstring jtext) {
  return process_text<Tagger, Sentence>(
      env, self, "tagger", {MODEL_USE, KNOWLEDGE_USE, USER_KNOWLEDGE_USE},
      jtext, new_java_sentence);
}

}  // extern "C"
