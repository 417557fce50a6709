// Native methods of com.quillon.talmoro.Analyzer.
#include <memory>

#include "jni/jni_support.h"

using namespace talmoro_jni;

namespace {

struct CandidateDeleter {
  void operator()(Candidate* candidate) const {
    Candidate::destroyObject(candidate);
  }
};

jobject new_analyzer(JNIEnv* env, jclass cls, const Knowledge* knowledge,
                     const UserKnowledge* user, int arguments) {
  jobject handle = new_object(env, cls);
  if (handle == nullptr) return nullptr;
  Analyzer* analyzer = arguments == 0   ? Analyzer::createObject()
                       : arguments == 1 ? Analyzer::createObject(knowledge)
                                        : Analyzer::createObject(knowledge, user);
  if (!set_object_variable(env, handle, reinterpret_cast<jlong>(analyzer))) {
    Analyzer::destroyObject(analyzer);
    env->DeleteLocalRef(handle);
    return nullptr;
  }
  return handle;
}

}  // namespace

extern "C" {

JNIEXPORT jobject JNICALL
Java_com_quillon_talmoro_Analyzer_createObject__(JNIEnv* env, jclass cls) {
  return guarded<jobject>(env, nullptr, [&]() -> jobject {
    return new_analyzer(env, cls, nullptr, nullptr, 0);
  });
}

JNIEXPORT jobject JNICALL
Java_com_quillon_talmoro_Analyzer_createObject__Lcom_quillon_talmoro_Knowledge_2(
    JNIEnv* env, jclass cls, jobject knowledge) {
  return guarded<jobject>(env, nullptr, [&]() -> jobject {
    auto* sys = native_handle<Knowledge>(env, knowledge, "knowledge");
    if (sys == nullptr) return nullptr;
    return new_analyzer(env, cls, sys, nullptr, 1);
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
    return new_analyzer(env, cls, sys, user, 2);
  });
}

JNIEXPORT void JNICALL Java_com_quillon_talmoro_Analyzer_destroyObject(
    JNIEnv* env, jclass, jobject handle) {
  if (handle == nullptr) {
    throw_null_pointer(env, "analyzer is null");
    return;
  }
  jlong address = get_object_variable(env, handle);
  if (env->ExceptionCheck()) return;
  // The field is cleared first, so a handle never points at freed memory.
  if (!set_object_variable(env, handle, 0)) return;
  Analyzer::destroyObject(reinterpret_cast<Analyzer*>(address));
}

JNIEXPORT void JNICALL Java_com_quillon_talmoro_Analyzer_setSysKnowledge(
    JNIEnv* env, jobject self, jobject knowledge) {
  auto* analyzer = native_handle<Analyzer>(env, self, "analyzer");
  if (analyzer == nullptr) return;
  auto* sys = native_handle<Knowledge>(env, knowledge, "knowledge");
  if (sys == nullptr) return;
  analyzer->setSysKnowledge(sys);
}

JNIEXPORT void JNICALL Java_com_quillon_talmoro_Analyzer_setUserKnowledge(
    JNIEnv* env, jobject self, jobject user_knowledge) {
  auto* analyzer = native_handle<Analyzer>(env, self, "analyzer");
  if (analyzer == nullptr) return;
  // A null argument keeps the user dictionary set before.
  bool failed = false;
  auto* user = static_cast<UserKnowledge*>(optional_native_object(
      env, user_knowledge, "user knowledge", &failed));
  if (failed || user == nullptr) return;
  analyzer->setUserKnowledge(user);
}

JNIEXPORT void JNICALL Java_com_quillon_talmoro_Analyzer_setStrictAnalysis(
    JNIEnv* env, jobject self, jboolean strict) {
  auto* analyzer = native_handle<Analyzer>(env, self, "analyzer");
  if (analyzer == nullptr) return;
  analyzer->setStrictAnalysis(strict != 0);
}

JNIEXPORT jobject JNICALL Java_com_quillon_talmoro_Analyzer_process(
    JNIEnv* env, jobject self, jstring jtext) {
  return guarded<jobject>(env, nullptr, [&]() -> jobject {
    auto* analyzer = native_handle<Analyzer>(env, self, "analyzer");
    if (analyzer == nullptr) return nullptr;
    Utf8Text text(jstring_to_utf8(env, jtext, "text"));
    if (text == nullptr) return nullptr;

    std::unique_ptr<Candidate, CandidateDeleter> candidate(
        Candidate::createObject());
    unsigned long n = analyzer->process(text.get(), candidate.get());
    text.reset();

    LocalRef java_candidate(env,
                            new_object(env, "com/quillon/talmoro/Candidate"));
    if (java_candidate.get() == nullptr) return nullptr;
    if (n == 0) return java_candidate.release();

    if (env->EnsureLocalCapacity(32) != 0) return nullptr;
    jfieldID origin_field = field_of(env, java_candidate.get(), "origin",
                                     "Ljava/lang/String;");
    if (origin_field == nullptr) return nullptr;
    jfieldID result_field = field_of(env, java_candidate.get(), "result",
                                     "[Lcom/quillon/talmoro/Result;");
    if (result_field == nullptr) return nullptr;
    ResultTypes types(env);
    if (!types.init(false)) return nullptr;

    if (n > candidate->size()) n = candidate->size();
    LocalRef results(env, env->NewObjectArray(static_cast<jsize>(n),
                                              types.resultClass(), nullptr));
    if (results.get() == nullptr) return nullptr;
    for (unsigned long j = 0; j < n; ++j) {
      const Result* result = candidate->get(j);
      if (result == nullptr) continue;
      LocalRef java_result(env, types.newResult(result));
      if (java_result.get() == nullptr) return nullptr;
      env->SetObjectArrayElement(static_cast<jobjectArray>(results.get()),
                                 static_cast<jsize>(j), java_result.get());
      if (env->ExceptionCheck()) return nullptr;
    }
    bool failed = false;
    LocalRef origin(env, utf8_to_jstring(env, candidate->origin(), &failed));
    if (failed) return nullptr;
    env->SetObjectField(java_candidate.get(), origin_field, origin.get());
    env->SetObjectField(java_candidate.get(), result_field, results.get());
    return java_candidate.release();
  });
}

}  // extern "C"
