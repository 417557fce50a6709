#include "knowledge/user_knowledge_impl.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <utility>

#include "base/text.h"
#include "pos/pos.h"

namespace {

constexpr char DELIMITER_NEWLINE[] = "\r\n";
constexpr char DELIMITER_TABSPACE[] = " \t";
constexpr char DELIMITER_RESULT[] = "+";

size_t unitLength(const unsigned short* text) {
  size_t n = 0;
  while (text[n] != 0) ++n;
  return n;
}

// The text as lower-cased 16-bit units (release with free); null when it is
// empty or not valid UTF-8.
unsigned short* toLowerUnits(const char* text) {
  unsigned short* units =
      utf8_touchar(reinterpret_cast<const unsigned char*>(text));
  if (units != nullptr) ustrtolower(units);
  return units;
}

}  // namespace

UserKnowledgeImpl::UserKnowledgeImpl() {}

UserKnowledgeImpl::~UserKnowledgeImpl() { clear(); }

void UserKnowledgeImpl::clear() {
  for (LexiconKey& key : keys_) {
    std::free(const_cast<unsigned short*>(key.units));
  }
  keys_.clear();
  clearStructures();
}

int UserKnowledgeImpl::load(const char* path) {
  char* text = readfile(path);
  if (text == nullptr) return -1;
  int result = loadFromBuffer(text);
  delete[] text;
  return result;
}

int UserKnowledgeImpl::loadFromBuffer(char* text) {
  clear();
  if (text == nullptr) return 0;
  char* save = nullptr;
  for (char* line = strtok_r(text, DELIMITER_NEWLINE, &save); line != nullptr;
       line = strtok_r(nullptr, DELIMITER_NEWLINE, &save)) {
    if (line[0] == ';' || line[0] == ' ') {
      std::fprintf(stderr, "[UserKnowledge::load] skip line: line=[%s]\n",
                   line);
      continue;
    }
    compileLine(line);
  }

  std::vector<TrieUnit> units;
  std::vector<int32_t> index;
  if (!buildLexicon(&keys_, &records(), &units, &index)) {
    // Keys built here are never empty and their records are distinct, so
    // this only happens when memory runs out: keep an empty dictionary.
    std::fprintf(stderr,
                 "[UserKnowledge::load] cannot build the dictionary\n");
    clear();
    return 0;
  }
  if (!units.empty()) setStructures(std::move(units), std::move(index));
  return 0;
}

void UserKnowledgeImpl::compileLine(char* line) {
  char* save = nullptr;
  char* surface = strtok_r(line, DELIMITER_TABSPACE, &save);
  if (surface == nullptr) return;
  char* analysis = strtok_r(nullptr, DELIMITER_TABSPACE, &save);
  if (analysis == nullptr) return;

  unsigned short* key = toLowerUnits(surface);
  if (key == nullptr) {
    std::fprintf(stderr,
                 "[UserKnowledge::load] invalid surface: surface=[%s]\n",
                 surface);
    return;
  }
  size_t keyLength = unitLength(key);
  for (; analysis != nullptr;
       analysis = strtok_r(nullptr, DELIMITER_TABSPACE, &save)) {
    compileAnalysis(surface, key, keyLength, analysis);
  }
  std::free(key);
}

// Writes one record for the analysis and enters it under the key. A record
// that ends up without a morpheme is left unreachable, as is whatever a
// rejected analysis wrote before the fault was found.
void UserKnowledgeImpl::compileAnalysis(const char* surface,
                                        const unsigned short* key,
                                        size_t keyLength, char* analysis) {
  membuf& buf = records();
  size_t record = appendRecordStart(&buf);
  if (record == membuf::npos) return;
  size_t lastTag = membuf::npos;
  bool anyMorph = false;

  char* save = nullptr;
  for (char* morph = strtok_r(analysis, DELIMITER_RESULT, &save);
       morph != nullptr; morph = strtok_r(nullptr, DELIMITER_RESULT, &save)) {
    anyMorph = true;
    char* slash = std::strrchr(morph, '/');
    if (slash == nullptr) {
      std::fprintf(stderr,
                   "[UserKnowledge::load] cannot find morph and POS: "
                   "surface=[%s],result token=[%s]\n",
                   surface, morph);
      return;
    }
    *slash = '\0';
    const char* lexicon = morph;
    const char* posName = slash + 1;
    unsigned int tag = getPosValue(posName);
    if (tag == NA) {
      std::fprintf(stderr,
                   "[UserKnowledge::load] no such POS: "
                   "surface=[%s],morph=[%s],POS=[%s]\n",
                   surface, lexicon, posName);
      break;
    }
    if (tag == NNG) tag = NNU;
    if (tag == NFG) tag = NFU;

    unsigned short* text = toLowerUnits(lexicon);
    if (text == nullptr) {
      std::fprintf(stderr,
                   "[UserKnowledge::load] invalid morph: "
                   "surface=[%s],morph=[%s]\n",
                   surface, lexicon);
      return;
    }
    size_t n = unitLength(text);
    if (n > LEXICON_MAX_UNITS) {
      std::fprintf(stderr,
                   "[UserKnowledge::load] morph too long: "
                   "surface=[%s],morph=[%s],length=[%zu]\n",
                   surface, lexicon, n);
      std::free(text);
      return;
    }
    if (lastTag == membuf::npos) {
      appendRecordAttribute(&buf, LEXICON_FLAG_NONE, 0);
    }
    lastTag = appendRecordMorpheme(&buf, tag, text, n, true);
    std::free(text);
  }
  if (!anyMorph) {
    std::fprintf(stderr, "[UserKnowledge::load] no morph: surface=[%s]\n",
                 surface);
  }
  if (lastTag == membuf::npos) return;

  markLastMorpheme(&buf, lastTag);
  unsigned short* copy = static_cast<unsigned short*>(
      std::malloc((keyLength + 1) * sizeof(unsigned short)));
  if (copy == nullptr) return;
  std::memcpy(copy, key, (keyLength + 1) * sizeof(unsigned short));
  keys_.push_back(LexiconKey{copy, keyLength, static_cast<int32_t>(record)});
}
