#include "analyzer/analyzer_impl.h"
#include "api/talmoro.h"

Analyzer* Analyzer::createObject() { return new AnalyzerImpl(); }

Analyzer* Analyzer::createObject(const Knowledge* knowledge) {
  return new AnalyzerImpl(knowledge);
}

Analyzer* Analyzer::createObject(const Knowledge* knowledge,
                                 const UserKnowledge* user) {
  return new AnalyzerImpl(knowledge, user);
}

// The interface has no virtual destructor: delete through the implementation.
void Analyzer::destroyObject(Analyzer* analyzer) {
  if (analyzer == nullptr) return;
  delete static_cast<AnalyzerImpl*>(analyzer);
}
