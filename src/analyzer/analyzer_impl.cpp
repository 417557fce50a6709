// The analyzer's front end: construction, the driver process(), text
// normalization, symbol runs and the per-word working memory.
#include "analyzer/analyzer_impl.h"

#include <cstdlib>
#include <new>

#include "base/revision.h"
#include "base/text.h"
#include "knowledge/knowledge_impl.h"
#include "knowledge/user_knowledge_impl.h"
#include "result/candidate_impl.h"
#include "result/result_impl.h"

namespace {

// The record buffer starts large enough for every made-up record of a word.
constexpr size_t RECORD_BUFFER_INITIAL = 102400;
constexpr size_t RECORD_BUFFER_BLOCK = 1024;

// Pass words of the connection rules: strict first pass, relaxed second.
constexpr unsigned int MODE_STRICT = 3;
constexpr unsigned int MODE_RELAXED = 6;

constexpr unsigned int LAST_ENTRY_BIT = 1;

bool isHangulSyllable(unsigned short unit) {
  return unit >= 0xAC00 && unit <= 0xD7AF;
}

unsigned long unitLength(const unsigned short* text) {
  unsigned long len = 0;
  while (text[len] != 0) ++len;
  return len;
}

}  // namespace

AnalyzerImpl::AnalyzerImpl() : AnalyzerImpl(nullptr, nullptr) {}

AnalyzerImpl::AnalyzerImpl(const Knowledge* knowledge)
    : AnalyzerImpl(knowledge, nullptr) {}

AnalyzerImpl::AnalyzerImpl(const Knowledge* knowledge,
                           const UserKnowledge* user)
    : sys_(knowledge),
      user_(user),
      readingsSys_(nullptr),
      readingsUser_(nullptr),
      readingsSysGeneration_(0),
      readingsUserGeneration_(0),
      usedPositions_(0),
      records_(RECORD_BUFFER_INITIAL, RECORD_BUFFER_BLOCK),
      strict_(false) {
  setDefaultOptions();
}

// Every process() ends with clear(), so the lists are empty here; clearing
// once more also covers an analyzer whose steps were driven one by one.
AnalyzerImpl::~AnalyzerImpl() {
  clear();
  for (uint64_t i = 0; i < spare_.size(); ++i) delete spare_.at(i);
  spare_.empty();
}

void AnalyzerImpl::checkReadings() {
  const KnowledgeImpl* sys = sysKnowledge();
  const KnowledgeImpl* user = userKnowledge();
  const uint64_t sysGeneration = sys != nullptr ? sys->generation() : 0;
  const uint64_t userGeneration = user != nullptr ? user->generation() : 0;
  if (!readings_.empty() && sys == readingsSys_ && user == readingsUser_ &&
      sysGeneration == readingsSysGeneration_ &&
      userGeneration == readingsUserGeneration_)
    return;
  const size_t slots = size_t{1} << READING_SLOT_BITS;
  if (readings_.empty()) {
    try {
      BlockArray<CachedReading>(slots, CachedReading{}).swap(readings_);
    } catch (const std::bad_alloc&) {
      return;  // no cache: records are parsed every time
    }
  }
  for (size_t k = 0; k < slots; ++k) readings_[k].buf = nullptr;
  readingsSys_ = sys;
  readingsUser_ = user;
  readingsSysGeneration_ = sysGeneration;
  readingsUserGeneration_ = userGeneration;
}

void AnalyzerImpl::setSysKnowledge(const Knowledge* knowledge) {
  sys_ = knowledge;
}

void AnalyzerImpl::setUserKnowledge(const UserKnowledge* knowledge) {
  user_ = knowledge;
}

void AnalyzerImpl::setDefaultOptions() { strict_ = false; }

void AnalyzerImpl::setStrictAnalysis(bool strict) { strict_ = strict; }

// Every Knowledge handed to an analyzer comes from a KnowledgeImpl.
const KnowledgeImpl* AnalyzerImpl::sysKnowledge() const {
  return static_cast<const KnowledgeImpl*>(sys_);
}

// The user dictionary's searchable part is its KnowledgeImpl base, reached
// through the implementation class (the two bases sit at different addresses).
const KnowledgeImpl* AnalyzerImpl::userKnowledge() const {
  if (user_ == nullptr) return nullptr;
  const UserKnowledgeImpl* impl = static_cast<const UserKnowledgeImpl*>(user_);
  return static_cast<const KnowledgeImpl*>(impl);
}

unsigned long AnalyzerImpl::process(const char* text, Candidate* candidate) {
  if (text == nullptr || candidate == nullptr) return 0;
  CandidateImpl* out = static_cast<CandidateImpl*>(candidate);
  out->clear();
  unsigned short* units =
      utf8_touchar(reinterpret_cast<const unsigned char*>(text));
  if (units == nullptr) return 0;
  const unsigned long count = unitLength(units);
  const unsigned long r = process(units, out);
  std::free(units);
  if (r == 0) {
    ResultImpl* result = new ResultImpl();
    result->append(reinterpret_cast<const unsigned char*>(text), pos_t(NF), 0,
                   count);
    out->append(result);
    out->origin(text);
  }
  return out->size();
}

unsigned long AnalyzerImpl::process(const unsigned short* text,
                                    CandidateImpl* candidate) {
  clear();
  if (candidate == nullptr) return 0;
  candidate->clear();
  if (text == nullptr || text[0] == 0) return 0;

  const unsigned long len = unitLength(text);
  const unsigned long n = len < ANALYZER_MAX_UNITS ? len : ANALYZER_MAX_UNITS;
  unsigned short norm[ANALYZER_MAX_UNITS + 1];
  normalize(text, n, norm);

  searchTrie(norm, n);
  searchSymbol(norm, n);
  sortStack();

  analysis(MODE_STRICT, text, n, candidate);
  if (candidate->size() == 0 && !strict_)
    analysis(MODE_RELAXED, text, n, candidate);
  const bool latticeFound = candidate->size() != 0;
  if (latticeFound) removeResult(candidate);

  // The macOS and reduced revisions decompose whenever the lattice gave
  // results, also when pruning removed them all; then nothing is guessed and
  // the word gets the fallback result.
  const bool decompose =
      candidate->size() != 0 ||
      (revision::DECOMPOSE_AFTER_PRUNING_EMPTIED && latticeFound);
  if (decompose) {
    decomposeCompoundNoun(text, false, candidate);
  } else {
    // Unknown-word route: guessed nouns join the lattice, which is searched
    // again from scratch.
    guessNF(norm, n);
    sortStack();
    analysis(MODE_STRICT, text, n, candidate);
    if (candidate->size() == 0 && !strict_)
      analysis(MODE_RELAXED, text, n, candidate);
    if (candidate->size() != 0) {
      removeResult(candidate);
      decomposeCompoundNoun(text, true, candidate);
    }
  }

  candidate->scoring();

  // The origin is the whole word, also beyond the analysed prefix.
  unsigned char* utf8 = uchar_toutf8(text);
  candidate->origin(reinterpret_cast<const char*>(utf8));
  if (candidate->size() == 0) {
    ResultImpl* result = new ResultImpl();
    result->append(utf8, pos_t(NF), 0, n);
    candidate->append(result);
  }
  std::free(utf8);
  clear();
  return candidate->size();
}

void AnalyzerImpl::normalize(const unsigned short* text, unsigned long n,
                             unsigned short* out) {
  unsigned long i = 0;
  if (text != nullptr) {
    for (; i < n && text[i] != 0; ++i) out[i] = text[i];
  }
  for (; i <= n; ++i) out[i] = 0;
  ustrtolower(out);
  ustrtohangul(out);
}

pos_t AnalyzerImpl::getPosType(unsigned short unit) {
  switch (unit) {
    case '!': case '.': case '?':
      return pos_t(SF);
    case ',': case '/': case ';': case 0xA4A1: case 0xFDA4:
      return pos_t(SP);
    case '"': case '\'': case '(': case ')': case '<': case '>':
    case '[': case ']': case '{': case '}':
      return pos_t(SS);
    case 0xA6A1:
      return pos_t(SE);
    case '-': case '_': case '~':
      return pos_t(SO);
    default:
      break;
  }
  if ((unit >= 'A' && unit <= 'Z') || (unit >= 'a' && unit <= 'z'))
    return pos_t(SL);
  if (unit >= '0' && unit <= '9') return pos_t(SN);
  if ((unit >= 0x2E80 && unit <= 0x2FDF) || (unit >= 0x3400 && unit <= 0x4DBF) ||
      (unit >= 0x4E00 && unit <= 0x9FFF) || (unit >= 0xF900 && unit <= 0xFAFF))
    return pos_t(SH);
  if (isHangulSyllable(unit)) return pos_t(POS_ZERO);
  return pos_t(SW);
}

unsigned long AnalyzerImpl::hanlength(const unsigned short* text) {
  if (text == nullptr) return 0;
  unsigned long len = 0;
  while (isHangulSyllable(text[len])) ++len;
  return len;
}

unsigned long AnalyzerImpl::boundedLength(const unsigned short* text,
                                          unsigned long n) const {
  if (text == nullptr) return 0;
  if (n > ANALYZER_MAX_UNITS) n = ANALYZER_MAX_UNITS;
  unsigned long len = 0;
  while (len < n && text[len] != 0) ++len;
  return len;
}

void AnalyzerImpl::searchSymbol(const unsigned short* text, unsigned long n) {
  n = boundedLength(text, n);
  unsigned long i = 0;
  while (i < n) {
    const pos_t t = getPosType(text[i]);
    if (t == POS_ZERO) {
      ++i;
      continue;
    }
    unsigned long j = i + 1;
    while (j < n && getPosType(text[j]) == t) ++j;
    const unsigned long k = j - i;  // at most 99: fits the 7-bit count

    const size_t recpos = records_.size();
    records_.append_uint8(0);
    records_.append_uint32(static_cast<unsigned int>(t) | LAST_ENTRY_BIT);
    records_.append_uint8(static_cast<uint8_t>(k * 2));
    for (unsigned long u = i; u < j; ++u) records_.append_uint16(text[u]);
    pushNode(i, k, &records_, static_cast<int>(recpos), text + i);
    i = j;
  }
}

InterResult* AnalyzerImpl::pushNode(unsigned long offset, unsigned long length,
                                    const membuf* rdata, int recpos,
                                    const unsigned short* text) {
  if (offset >= ANALYZER_POSITIONS) return nullptr;
  InterResult* node = newNode();
  node->offset(offset);
  node->length(length);
  node->parse(rdata, recpos, text, length);
  if (!adopt(offset, node)) return nullptr;
  return node;
}

void AnalyzerImpl::releaseNode(InterResult* node) {
  if (node == nullptr) return;
  const uint64_t before = spare_.size();
  spare_.push(node);
  if (spare_.size() == before) delete node;  // the spare list could not grow
}

void AnalyzerImpl::clear() {
  // A list's nodes go back in one copy, or one by one when the spare list
  // cannot take them all.
  auto releaseAll = [this](OpStack<InterResult*>& list) {
    if (!spare_.pushAll(list))
      for (uint64_t i = 0; i < list.size(); ++i) releaseNode(list.at(i));
    list.empty();
  };
  for (unsigned long p = 0; p < usedPositions_; ++p) releaseAll(positions_[p]);
  usedPositions_ = 0;
  releaseAll(pool_);
  records_.clear();
}
