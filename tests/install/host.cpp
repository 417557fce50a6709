// A host program built against an installed talmoro: loads the dictionary
// in DIC_DIR, analyses each WORD and prints, per word, every analysis as
// lexicon/tag pairs joined by '+', analyses separated by a space:
//
//   host DIC_DIR WORD...      ->  WORD<TAB>lexicon/tag+lexicon/tag ...
//
// It also checks what the printed text cannot show: the candidate's origin
// is the word, each analysis covers the word from its first unit to its last
// without gap, and each morpheme's tag name and tag code agree.
// Any failed check is reported on standard error with exit status 1.
#include <talmoro/talmoro.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

bool check(bool ok, const char* word, const char* what) {
  if (!ok) std::fprintf(stderr, "host: %s: %s\n", word, what);
  return ok;
}

// Prints the analyses of one word; false when a check fails.
bool analyse(Analyzer* analyzer, Candidate* candidate, const char* word) {
  const unsigned long count = analyzer->process(word, candidate);
  bool ok = check(count > 0 && count == candidate->size(), word,
                  "process returned no analysis or a count unlike size()");
  ok = check(candidate->origin() != nullptr &&
                 std::strcmp(candidate->origin(), word) == 0,
             word, "the candidate's origin is not the word") && ok;
  const unsigned long units =
      utf8_ucharlen(reinterpret_cast<const unsigned char*>(word));

  std::string line = word;
  line += '\t';
  for (unsigned long k = 0; k < candidate->size(); ++k) {
    const Result* r = candidate->get(k);
    if (!check(r != nullptr && r->size() > 0, word, "an empty analysis")) return false;
    if (k > 0) line += ' ';
    unsigned long next = 0;
    for (unsigned long i = 0; i < r->size(); ++i) {
      const int m = static_cast<int>(i);
      if (i > 0) line += '+';
      line += r->lexicon(m);
      line += '/';
      line += r->posTag(m);
      ok = check(r->startOffset(m) == next && r->endOffset(m) > next, word,
                 "morpheme offsets leave a gap or run backwards") && ok;
      next = r->endOffset(m);
      // pos_t comparison leaves out the flag bit that records carry.
      const char* name = getLevel3PosTag(r->pos(m));
      ok = check(r->pos(m) == getPosValue(r->posTag(m)) && name != nullptr &&
                     std::strcmp(name, r->posTag(m)) == 0,
                 word, "a tag name and the morpheme's code disagree") && ok;
    }
    ok = check(next == units, word, "an analysis does not end at the word's end") && ok;
  }
  std::printf("%s\n", line.c_str());
  return ok;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 3) {
    std::fprintf(stderr, "usage: %s DIC_DIR WORD...\n", argv[0]);
    return 2;
  }
  Knowledge* dic = Knowledge::createObject();
  const int loaded = dic->load(argv[1]);
  if (loaded != 0) {
    std::fprintf(stderr, "host: cannot load %s (%d)\n", argv[1], loaded);
    Knowledge::destroyObject(dic);
    return 1;
  }
  Analyzer* analyzer = Analyzer::createObject(dic);
  Candidate* candidate = Candidate::createObject();
  bool ok = true;
  for (int i = 2; i < argc; ++i) ok = analyse(analyzer, candidate, argv[i]) && ok;
  Candidate::destroyObject(candidate);
  Analyzer::destroyObject(analyzer);
  Knowledge::destroyObject(dic);
  return ok ? 0 : 1;
}
