// A smoke run of the engine through its public interface, built natively
// and for Windows from the same sources: the two must write the same
// analyses and taggings, byte for byte, scores as their bits.
//
//   talmoro-smoke DICTIONARY_DIR USER_DICTIONARY MODEL_DIR OUTPUT
#include <cstdint>
#include <cstdio>
#include <cstring>

#include "api/talmoro.h"

namespace {

// Words and a sentence in UTF-8 (not on the command line, whose encoding
// differs between the systems).
const char* const kWords[] = {
    "학교에서", "책을", "사람은", "먹고", "가다", "漢字와", "ABC123",
    "a\xF0\x9F\x98\x80나", "톨모로", "갑니다", "없는말이에요", "개가",
};
const char kSentence[] = "나는 학교에서 책을 먹고 가다.";

unsigned int bits(float f) {
  std::uint32_t u;
  std::memcpy(&u, &f, sizeof u);
  return u;
}

void writeResult(FILE* out, const Result* r) {
  std::fprintf(out, "  %08x", bits(r->score()));
  for (unsigned long i = 0; i < r->size(); ++i) {
    const int k = static_cast<int>(i);
    std::fprintf(out, " %s/%s(%lu,%lu)", r->lexicon(k), r->posTag(k),
                 r->startOffset(k), r->endOffset(k));
  }
  std::fputc('\n', out);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 5) {
    std::fprintf(stderr,
                 "usage: talmoro-smoke DICTIONARY_DIR USER_DICTIONARY "
                 "MODEL_DIR OUTPUT\n");
    return 2;
  }
  Knowledge* dic = Knowledge::createObject();
  UserKnowledge* user = UserKnowledge::createObject();
  Model* model = Model::createObject();
  int status = 0;
  if (dic->load(argv[1]) != 0 || user->load(argv[2]) != 0 ||
      model->load(argv[3]) != 0) {
    std::fprintf(stderr, "talmoro-smoke: cannot load the dictionaries or the model\n");
    status = 1;
  }
  // Binary mode: the same line ends on both systems.
  FILE* out = status == 0 ? std::fopen(argv[4], "wb") : nullptr;
  if (status == 0 && out == nullptr) {
    std::fprintf(stderr, "talmoro-smoke: cannot write %s\n", argv[4]);
    status = 1;
  }

  if (status == 0) {
    Analyzer* analyzer = Analyzer::createObject(dic, user);
    Candidate* candidate = Candidate::createObject();
    for (const char* word : kWords) {
      const unsigned long n = analyzer->process(word, candidate);
      std::fprintf(out, "%s %lu\n", candidate->origin(), n);
      for (unsigned long k = 0; k < candidate->size(); ++k)
        writeResult(out, candidate->get(k));
    }
    Candidate::destroyObject(candidate);
    Analyzer::destroyObject(analyzer);

    Tagger* tagger = Tagger::createObject(model, dic, user);
    Sentence* sentence = Sentence::createObject();
    const unsigned long n = tagger->process(kSentence, sentence);
    std::fprintf(out, "%s %lu\n", kSentence, n);
    for (unsigned long i = 0; i < sentence->size(); ++i) {
      std::fprintf(out, " %s\n", sentence->get(i)->eojul());
      writeResult(out, sentence->get(i)->result());
    }
    Sentence::destroyObject(sentence);
    Tagger::destroyObject(tagger);
    if (std::fclose(out) != 0) status = 1;
  }

  Model::destroyObject(model);
  UserKnowledge::destroyObject(user);
  Knowledge::destroyObject(dic);
  return status;
}
