// Native methods of com.quillon.talmoro.Analyzer.
#include "jni/jni_support.h"

using namespace talmoro_jni;

extern "C" {

JNIEXPORT jobject JNICALL
Java_com_quillon_talmoro_Analyzer_createObject__(JNIEnv* env, jclass cls) {
  return guarded<jobject>(env, nullptr, [&]() -> jobject {
    return new_handle<Analyzer>(env, cls, [] {
      return Analyzer::createObject();
    });
  });
}

JNIEXPORT jobject JNICALL
Java_com_quillon_talmoro_Analyzer_createObject__Lcom_quillon_talmoro_Knowledge_2(
    JNIEnv* env, jclass cls, jobject knowledge) {
  return guarded<jobject>(env, nullptr, [&]() -> jobject {
    auto* sys = native_handle<Knowledge>(env, knowledge, "knowledge");
    if (sys == nullptr) return nullptr;
    return new_handle<Analyzer>(
        env, cls, [&] { return Analyzer::createObject(sys); },
        {{&KNOWLEDGE_USE, knowledge}});
  });
}

JNIEXPORT jobject JNICALL
Java_com_quillon_talmoro_Analyzer_createObject__Lcom_quillon_talmoro_Knowledge_2Lcom_quillon_talmoro_UserKnowledge_2(
    JNIEnv* env, jclass cls, jobject knowledge, jobject user_knowledge) {
  return guarded<jobject>(env, nullptr, [&]() -> jobject {
    auto* sys = native_handle<Knowledge>(env, knowledge, "knowledge");
    if (sys == nullptr) return nullptr;
    auto* user =
        native_handle<UserKnowledge>(env, user_knowledge, "user knowledge");
    if (user == nullptr) return nullptr;
    return new_handle<Analyzer>(
        env, cls, [&] { return Analyzer::createObject(sys, user); },
        {{&KNOWLEDGE_USE, knowledge}, {&USER_KNOWLEDGE_USE, user_knowledge}});
  });
}

JNIEXPORT void JNICALL Java_com_quillon_talmoro_Analyzer_destroyObject(
    JNIEnv* env, jclass, jobject handle) {
  destroy_handle<Analyzer>(env, handle, "analyzer");
}

JNIEXPORT void JNICALL Java_com_quillon_talmoro_Analyzer_setSysKnowledge(
    JNIEnv* env, jobject self, jobject knowledge) {
  set_used<Analyzer, Knowledge>(
      env, self, "analyzer", KNOWLEDGE_USE, knowledge, false,
      [](Analyzer* analyzer, const Knowledge* sys) {
        analyzer->setSysKnowledge(sys);
      });
}

JNIEXPORT void JNICALL Java_com_quillon_talmoro_Analyzer_setUserKnowledge(
    JNIEnv* env, jobject self, jobject user_knowledge) {
  // A null argument keeps the user dictionary set before.
  set_used<Analyzer, UserKnowledge>(
      env, self, "analyzer", USER_KNOWLEDGE_USE, user_knowledge, true,
      [](Analyzer* analyzer, const UserKnowledge* user) {
        analyzer->setUserKnowledge(user);
      });
}

JNIEXPORT void JNICALL Java_com_quillon_talmoro_Analyzer_setStrictAnalysis(
    JNIEnv* env, jobject self, jboolean strict) {
  auto* analyzer = native_handle<Analyzer>(env, self, "analyzer");
  if (analyzer == nullptr) return;
  analyzer->setStrictAnalysis(strict != 0);
}

JNIEXPORT jobject JNICALL Java_com_quillon_talmoro_Analyzer_process(
    JNIEnv* env, jobject self, jstring jtext) {
  return process_text<Analyzer, Candidate>(
      env, self, "analyzer", {KNOWLEDGE_USE, USER_KNOWLEDGE_USE}, jtext,
      new_java_candidate);
}

}  // extern "C"
