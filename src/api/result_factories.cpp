// Factories of the result containers: callers create and destroy them here
// so that allocation and release stay inside the library.
#include "api/talmoro.h"
#include "result/candidate_impl.h"
#include "result/sentence_impl.h"

Candidate* Candidate::createObject() { return new CandidateImpl(); }

void Candidate::destroyObject(Candidate* candidate) {
  delete static_cast<CandidateImpl*>(candidate);
}

Sentence* Sentence::createObject() { return new SentenceImpl(); }

void Sentence::destroyObject(Sentence* sentence) {
  delete static_cast<SentenceImpl*>(sentence);
}
