#include "tagger/tagger_impl.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <new>
#include <utility>

#include "base/revision.h"
#include "base/text.h"
#include "knowledge/knowledge_impl.h"
#include "knowledge/user_knowledge_impl.h"

namespace {

// A path must cost less than this to be taken as a predecessor.
constexpr float PATH_BOUND = 10000.0f;
// The score of a cell without predecessor, and the start of the final choice.
constexpr float NO_PATH_SCORE = 100000.0f;

bool isDelimiter(unsigned short unit) {
  return unit == 0x20 || unit == 0x09 || unit == 0x0A || unit == 0x0D;
}

// N / D in single precision; 1 / fallback when either count is 0.
float ratio(int n, int d, int fallback) {
  if (n == 0 || d == 0) return 1.0f / static_cast<float>(fallback);
  return static_cast<float>(n) / static_cast<float>(d);
}

// The natural logarithm of a ratio, taken in double precision; the macOS
// revision takes it in single precision, which changes the last bits of a
// score.
double ln(float r) {
  if constexpr (revision::SINGLE_PRECISION_LOG) return std::log(r);
  return std::log(static_cast<double>(r));
}

// A result that holds no morpheme (the analyzer never makes one) enters the
// keys as an empty unit.
const ModelUnit EMPTY_UNIT = {"", ""};

// The keys of a unit.
void writeKeys(const ModelUnit& u, std::string* lex, std::string* tag) {
  lex->clear();
  appendLexicalKey(lex, u);
  tag->clear();
  appendTagKey(tag, u);
}

const unsigned char* bytes(const std::string& s) {
  return reinterpret_cast<const unsigned char*>(s.data());
}

// The count of key in a table (0 when absent or empty) and, in *pair, the
// table state after key and the pair separator.
int ownCount(const ModelTrie& table, const std::string& key, int64_t* pair) {
  const unsigned char separator = MODEL_PAIR_SEPARATOR;
  const int64_t state = ModelImpl::tableWalk(
      table, ModelImpl::tableRoot(table), bytes(key), key.size());
  *pair = ModelImpl::tableWalk(table, state, &separator, 1);
  if (key.empty()) return 0;
  const int value = ModelImpl::tableValue(table, state);
  return value < 0 ? 0 : value;
}

// The count of the pair whose left key and separator led to state, the
// right key being right (0 when absent).
int pairCount(const ModelTrie& table, int64_t state, const unsigned char* right,
              size_t length) {
  const int value = ModelImpl::tableValue(
      table, ModelImpl::tableWalk(table, state, right, length));
  return value < 0 ? 0 : value;
}

}  // namespace

TaggerImpl::TaggerImpl() : TaggerImpl(nullptr, nullptr, nullptr) {}

TaggerImpl::TaggerImpl(const Model* model)
    : TaggerImpl(model, nullptr, nullptr) {}

TaggerImpl::TaggerImpl(const Model* model, const Knowledge* knowledge)
    : TaggerImpl(model, knowledge, nullptr) {}

TaggerImpl::TaggerImpl(const Model* model, const Knowledge* knowledge,
                       const UserKnowledge* user)
    : model_(model),
      sys_(knowledge),
      user_(user),
      strict_(false),
      memo_(TAGGER_MEMO_BUDGET),
      signature_{} {
  analyzer_.setSysKnowledge(knowledge);
  analyzer_.setUserKnowledge(user);
}

TaggerImpl::~TaggerImpl() { clear(); }

void TaggerImpl::setModel(const Model* model) { model_ = model; }

void TaggerImpl::setSysKnowledge(const Knowledge* knowledge) {
  sys_ = knowledge;
  analyzer_.setSysKnowledge(knowledge);
}

void TaggerImpl::setUserKnowledge(const UserKnowledge* knowledge) {
  user_ = knowledge;
  analyzer_.setUserKnowledge(knowledge);
}

void TaggerImpl::setStrictAnalysis(bool strict) {
  strict_ = strict;
  analyzer_.setStrictAnalysis(strict);
}

void TaggerImpl::clear() {
  for (CandidateList::Node* node = candidates_.head(); node != nullptr;
       node = node->next)
    delete node->element;
  candidates_.removeAll();
  node_.clear();
  columns_.clear();
}

unsigned long TaggerImpl::process(const char* text, Sentence* sentence) {
  clear();
  SentenceImpl* out = static_cast<SentenceImpl*>(sentence);
  if (out == nullptr) return 0;
  out->clear();
  if (text == nullptr) return 0;
  unsigned short* units =
      utf8_touchar(reinterpret_cast<const unsigned char*>(text));
  if (units == nullptr) return 0;
  unsigned long n = 0;
  while (units[n] != 0) ++n;

  if (process(units, out) == 0) {
    // Nothing was tagged: the whole input stands as one unknown noun.
    out->clear();
    ResultImpl* result = new ResultImpl();
    result->append(reinterpret_cast<const unsigned char*>(text), pos_t(NF), 0,
                   n);
    out->append(new EojulImpl(text, result));
  }
  std::free(units);
  clear();
  return out->size();
}

unsigned long TaggerImpl::process(const unsigned short* text,
                                  SentenceImpl* sentence) {
  if (sentence == nullptr) return 0;
  clear();
  sentence->clear();
  if (text == nullptr || text[0] == 0) return 0;

  int status = -1;
  try {
    refreshMemo();
    const ModelImpl* model = usableModel();
    // The words first, then their memo entries fetched from memory in two
    // rounds over all of them, so that the waits overlap; then each word
    // looked up, or analysed when new.
    tokens_.clear();
    unsigned long pos = 0;
    for (;;) {
      while (isDelimiter(text[pos])) ++pos;
      if (text[pos] == 0) break;
      const unsigned long begin = pos;
      while (text[pos] != 0 && !isDelimiter(text[pos])) ++pos;
      tokens_.push_back(Token{begin, pos - begin, {}});
    }
    for (Token& token : tokens_) {
      token.key = WordMemo::key(text + token.begin, token.length);
      memo_.prefetchSlot(token.key);
    }
    for (const Token& token : tokens_) memo_.prefetchWord(token.key);
    // The new words' steps are computed together once all are analysed,
    // with the sentence's transitions (tagColumns).
    newWords_.clear();
    wordIds_.clear();
    for (const Token& token : tokens_)
      columns_.push_back(Column{memoWord(token), token.begin});
    status = tagColumns(model, sentence);
  } catch (const std::bad_alloc&) {
    // New words may be memoised without their costs: forget them all.
    memo_.reset();
    status = -1;
  }
  memo_.releaseAside();
  columns_.clear();
  if (status != 0) {
    sentence->clear();
    return 0;
  }
  return sentence->size();
}

bool TaggerImpl::MemoSignature::operator!=(const MemoSignature& o) const {
  return sys != o.sys || sysGeneration != o.sysGeneration || user != o.user ||
         userGeneration != o.userGeneration || model != o.model ||
         modelGeneration != o.modelGeneration || strict != o.strict;
}

void TaggerImpl::refreshMemo() {
  // Every Knowledge, UserKnowledge and Model handed to a tagger comes from
  // its implementation class.
  const KnowledgeImpl* sys = static_cast<const KnowledgeImpl*>(sys_);
  const KnowledgeImpl* user =
      user_ != nullptr ? static_cast<const KnowledgeImpl*>(
                             static_cast<const UserKnowledgeImpl*>(user_))
                       : nullptr;
  const ModelImpl* model = static_cast<const ModelImpl*>(model_);
  const MemoSignature now{sys,
                          sys != nullptr ? sys->generation() : 0,
                          user,
                          user != nullptr ? user->generation() : 0,
                          model,
                          model != nullptr ? model->generation() : 0,
                          strict_};
  if (now != signature_ || memo_.full()) {
    memo_.reset();
    signature_ = now;
  }
  memo_.trimCosts();
}

const MemoWord* TaggerImpl::memoWord(const Token& token) {
  const MemoWord* known = memo_.find(token.key);
  if (known != nullptr) return known;

  // The analyzer reads a zero-terminated word.
  const unsigned short* units =
      reinterpret_cast<const unsigned short*>(token.key.data);
  token_.assign(units, units + token.length);
  token_.push_back(0);
  analyzer_.process(token_.data(), &scratch_);
  MemoWord* memo = memo_.add(token.key, scratch_);
  scratch_.clear();
  // The unit of every morpheme, from the compact records.
  const MemoSpan<const MemoMorpheme> morphemes = memo->morphemes();
  const size_t at = wordIds_.size();
  wordIds_.resize(at + morphemes.size());
  for (size_t m = 0; m < morphemes.size(); ++m) {
    const uint32_t piece = morphemes[m].piece;
    uint32_t& id = memo_.pieceUnit(piece);
    if (id == WordMemo::NO_UNIT)
      id = unitId(morphemeUnit(memo_.pieceText(piece),
                               pos_t(memo_.pieceCode(piece))));
    wordIds_[at + m] = id;
  }
  const MemoSpan<MemoRow> rows = memo->rows();
  endIds_.resize(2 * rows.size());
  for (size_t r = 0; r < rows.size(); ++r) {
    const uint32_t* ids = wordIds_.data() + at + rows[r].begin;
    const uint32_t count = rows[r].count;
    endIds_[r] = count > 0 ? ids[0] : unitId(EMPTY_UNIT);
    endIds_[rows.size() + r] = count > 0 ? ids[count - 1] : unitId(EMPTY_UNIT);
  }
  memo->setEndUnits(endIds_.data(), endIds_.data() + rows.size());
  newWords_.push_back(NewWord{memo, at});
  return memo;
}

namespace {

// The value a memo step holds while the step is pending at index i: a
// quiet NaN whose payload carries i, told apart from the memo's unknown
// value (a NaN without payload) and from any NaN arithmetic makes.
constexpr uint32_t HELD_BITS = 0x7FE00000u;
constexpr uint32_t HELD_MASK = 0xFFE00000u;
constexpr uint32_t HELD_LIMIT = 0x00200000u;  // indexes below it

float heldStep(uint32_t i) {
  const uint32_t bits = HELD_BITS | i;
  float value;
  std::memcpy(&value, &bits, sizeof value);
  return value;
}

bool heldIndex(float value, uint32_t* i) {
  uint32_t bits;
  std::memcpy(&bits, &value, sizeof bits);
  if ((bits & HELD_MASK) != HELD_BITS) return false;
  *i = bits & (HELD_LIMIT - 1);
  return true;
}

constexpr uint32_t KNOWN_STEP = 0xFFFFFFFFu;

}  // namespace

void TaggerImpl::setWithinCosts(const ModelImpl* model, bool noted) {
  if (!noted) {
    for (const NewWord& word : newWords_) {
      for (MemoRow& row : word.word->rows())
        row.within = withinCost(model, wordIds_.data() + word.ids + row.begin,
                                row.count);
    }
    return;
  }
  // Each row's steps in order, as withinCost adds them.
  size_t k = 0;
  for (const NewWord& word : newWords_) {
    for (MemoRow& row : word.word->rows()) {
      float within = 0.0f;
      for (size_t t = 0; t <= row.count; ++t, ++k)
        within += stepPending_[k] == KNOWN_STEP
                      ? stepCosts_[k]
                      : newStepCosts_[stepPending_[k]];
      row.within = within;
    }
  }
}

bool TaggerImpl::collectSteps() {
  // The steps of every row listed once, each one's memo slot fetched from
  // memory as it is listed; then read from the list, which notes every
  // step's cost or, when new, its place among the pending ones.
  stepPairs_.clear();
  for (const NewWord& word : newWords_) {
    for (const MemoRow& row : word.word->rows()) {
      const uint32_t* ids = wordIds_.data() + word.ids + row.begin;
      uint32_t p = bomId_;
      for (size_t t = 0; t <= row.count; ++t) {
        const uint32_t c = t < row.count ? ids[t] : eomId_;
        memo_.prefetchStep(p, c);
        stepPairs_.push_back({p, c});
        p = c;
      }
    }
  }
  pendingSteps_.clear();
  stepCosts_.resize(stepPairs_.size());
  stepPending_.resize(stepPairs_.size());
  bool noted = true;
  for (size_t k = 0; k < stepPairs_.size(); ++k) {
    float& step = memo_.step(stepPairs_[k].left, stepPairs_[k].right);
    uint32_t held;
    if (heldIndex(step, &held)) {
      // New to an earlier row or word of this batch.
      stepCosts_[k] = 0.0f;
      stepPending_[k] = held;
    } else if (std::isnan(step)) {
      // Held until computed, so that a step new to several rows or words
      // is computed once. A failure before then empties the memo
      // (process). Past the held indexes, the costs are read from the memo
      // once computed.
      const size_t index = pendingSteps_.size();
      pendingSteps_.push_back(stepPairs_[k]);
      if (index < HELD_LIMIT) {
        step = heldStep(static_cast<uint32_t>(index));
      } else {
        step = 0.0f;
        noted = false;
      }
      stepCosts_[k] = 0.0f;
      stepPending_[k] = static_cast<uint32_t>(index);
    } else {
      stepCosts_[k] = step;
      stepPending_[k] = KNOWN_STEP;
    }
  }
  return noted;
}

void TaggerImpl::storeSteps() {
  for (size_t k = 0; k < pendingSteps_.size(); ++k)
    memo_.step(pendingSteps_[k].left, pendingSteps_[k].right) =
        newStepCosts_[k];
}

void TaggerImpl::resolveCosts(const ModelImpl* model, size_t n,
                              size_t count) {
  const bool newWords = !newWords_.empty();
  bool noted = true;
  pendingSteps_.clear();
  if (newWords) {
    bomId_ = memo_.pseudoId(BEGIN_OF_MORPHEME);
    eomId_ = memo_.pseudoId(END_OF_MORPHEME);
    noted = collectSteps();
  }
  collectTransitions(n, count);
  // The walks of both kinds of cost in one batch: a sentence has few of
  // each, and the more walks go at once, the more of their waits overlap.
  walks_.clear();
  terms_.clear();
  startSteps(model, pendingSteps_.data(), pendingSteps_.size());
  const size_t split = walks_.size();
  const size_t transitionTerms = terms_.size();
  startTransitions(model, pending_.data(), pending_.size());
  ModelImpl::tableWalks(model->morphemeTable(), split, model->eojulTable(),
                        walks_.data(), walks_.size());
  newStepCosts_.resize(pendingSteps_.size());
  finishSteps(model, pendingSteps_.data(), pendingSteps_.size(),
              terms_.data(), newStepCosts_.data());
  costs_.resize(pending_.size());
  finishTransitions(model, pending_.data(), pending_.size(),
                    terms_.data() + transitionTerms, costs_.data());
  storeSteps();
  storeTransitions();
  if (newWords) setWithinCosts(model, noted);
}

void TaggerImpl::moveBaseOffset(unsigned long base, CandidateImpl* candidate) {
  if (candidate == nullptr) return;
  for (CandidateImpl::ResultList::Node* node = candidate->results().head();
       node != nullptr; node = node->next) {
    ResultImpl* r = node->element;
    const unsigned long k = r->size();
    for (unsigned long m = 0; m < k; ++m) {
      r->startOffsetIncr(static_cast<int>(m), base);
      r->endOffsetIncr(static_cast<int>(m), base);
    }
  }
}

const char* TaggerImpl::normalizedPOS(pos_t tag) { return modelClassTag(tag); }

const ModelImpl* TaggerImpl::usableModel() const {
  const ModelImpl* model = static_cast<const ModelImpl*>(model_);
  if (model == nullptr || model->getMorphemeTransitionBOM() == 0 ||
      model->getEojulTransitionBOE() == 0)
    return nullptr;
  return model;
}

const UnitCounts& TaggerImpl::morphemeCounts(const ModelImpl* model,
                                             uint32_t u) {
  UnitCounts& counts = memo_.counts(u);
  if (!counts.morpheme) {
    const UnitKeys& keys = memo_.unit(u);
    const ModelTrie& table = model->morphemeTable();
    counts.morphemeLex = ownCount(table, keys.lex, &counts.morphemeLexPair);
    counts.morphemeTag = ownCount(table, keys.tag, &counts.morphemeTagPair);
    counts.morpheme = true;
  }
  return counts;
}

const UnitCounts& TaggerImpl::eojulCounts(const ModelImpl* model, uint32_t u) {
  UnitCounts& counts = memo_.counts(u);
  if (!counts.eojul) {
    const UnitKeys& keys = memo_.unit(u);
    const ModelTrie& table = model->eojulTable();
    counts.eojulLex = ownCount(table, keys.lex, &counts.eojulLexPair);
    counts.eojulTag = ownCount(table, keys.tag, &counts.eojulTagPair);
    counts.eojul = true;
  }
  return counts;
}

float TaggerImpl::morphemeStep(const ModelImpl* model, uint32_t p,
                               uint32_t c) {
  const UnitPair pair{p, c};
  float step;
  morphemeSteps(model, &pair, 1, &step);
  return step;
}

float TaggerImpl::eojulTransition(const ModelImpl* model, uint32_t u,
                                  uint32_t c) {
  const UnitPair pair{u, c};
  float transition;
  eojulTransitions(model, &pair, 1, &transition);
  return transition;
}

size_t TaggerImpl::addWalk(int64_t state, const std::string& right) {
  walks_.push_back(ModelImpl::TableWalk{state, bytes(right), right.size()});
  return walks_.size() - 1;
}

int TaggerImpl::walkCount(const ModelTrie& table, size_t walk) const {
  const int value = ModelImpl::tableValue(table, walks_[walk].state);
  return value < 0 ? 0 : value;
}

void TaggerImpl::startLog(WordMemo::LogKind kind, uint32_t a, uint32_t b,
                          int64_t state, const std::string& right,
                          LogTerm* term) {
  term->value = memo_.tagLog(kind, a, b);
  if (std::isnan(term->value)) term->walk = addWalk(state, right);
}

void TaggerImpl::finishLog(WordMemo::LogKind kind, uint32_t a, uint32_t b,
                           const ModelTrie& table, int count, int fallback,
                           LogTerm* term) {
  if (term->walk == LogTerm::KNOWN) return;
  term->value = ln(ratio(walkCount(table, term->walk), count, fallback));
  // Written at once: a slot moves when the next one makes the table grow.
  memo_.tagLog(kind, a, b) = term->value;
}

void TaggerImpl::morphemeSteps(const ModelImpl* model, const UnitPair* pairs,
                               size_t n, float* steps) {
  walks_.clear();
  terms_.clear();
  startSteps(model, pairs, n);
  ModelImpl::tableWalks(model->morphemeTable(), walks_.data(), walks_.size());
  finishSteps(model, pairs, n, terms_.data(), steps);
}

void TaggerImpl::startSteps(const ModelImpl* model, const UnitPair* pairs,
                            size_t n) {
  // The pair counts looked up together; the tag pair's term depends on the
  // two tags only and is memoised by them. The memo entries each pair reads
  // are fetched from memory first, all at once.
  for (size_t k = 0; k < n; ++k) {
    memo_.prefetchCounts(pairs[k].left);
    memo_.prefetchUnit(pairs[k].right);
    memo_.prefetchTagLog(WordMemo::LOG_MORPHEME_TAGS, pairs[k].left,
                         pairs[k].right);
  }
  for (size_t k = 0; k < n; ++k) {
    const uint32_t p = pairs[k].left, c = pairs[k].right;
    const UnitCounts& counts = morphemeCounts(model, p);
    const UnitKeys& ck = memo_.unit(c);
    PairTerms terms;
    terms.lexicalWalk = addWalk(counts.morphemeLexPair, ck.lex);
    startLog(WordMemo::LOG_MORPHEME_TAGS, p, c, counts.morphemeTagPair, ck.tag,
             &terms.tagged);
    terms_.push_back(terms);
  }
}

void TaggerImpl::finishSteps(const ModelImpl* model, const UnitPair* pairs,
                             size_t n, PairTerms* terms, float* steps) {
  const int bom = model->getMorphemeTransitionBOM();
  const ModelTrie& table = model->morphemeTable();
  for (size_t k = 0; k < n; ++k) {
    const uint32_t p = pairs[k].left, c = pairs[k].right;
    const UnitCounts& counts = memo_.counts(p);
    PairTerms& t = terms[k];
    const float lexical =
        ratio(walkCount(table, t.lexicalWalk), counts.morphemeLex, bom);
    finishLog(WordMemo::LOG_MORPHEME_TAGS, p, c, table, counts.morphemeTag,
              bom, &t.tagged);
    steps[k] = static_cast<float>(-ln(lexical) - t.tagged.value);
  }
}

void TaggerImpl::eojulTransitions(const ModelImpl* model,
                                  const UnitPair* pairs, size_t n,
                                  float* transitions) {
  walks_.clear();
  terms_.clear();
  startTransitions(model, pairs, n);
  ModelImpl::tableWalks(model->eojulTable(), walks_.data(), walks_.size());
  finishTransitions(model, pairs, n, terms_.data(), transitions);
}

void TaggerImpl::startTransitions(const ModelImpl* model,
                                  const UnitPair* pairs, size_t n) {
  // The pair counts looked up together. The terms of u's tag depend on it,
  // not on u: memoised by tag. The memo entries first fetched, as above.
  for (size_t k = 0; k < n; ++k) {
    const uint32_t u = pairs[k].left, c = pairs[k].right;
    memo_.prefetchCounts(u);
    memo_.prefetchUnit(c);
    memo_.prefetchTagLog(WordMemo::LOG_EOJUL_TAG_UNIT, u, c);
    memo_.prefetchTagLog(WordMemo::LOG_EOJUL_TAGS, u, c);
  }
  for (size_t k = 0; k < n; ++k) {
    const uint32_t u = pairs[k].left, c = pairs[k].right;
    const UnitCounts& counts = eojulCounts(model, u);
    const UnitKeys& ck = memo_.unit(c);
    PairTerms terms;
    terms.lexicalWalk = addWalk(counts.eojulLexPair, ck.lex);
    startLog(WordMemo::LOG_EOJUL_TAG_UNIT, u, c, counts.eojulTagPair, ck.lex,
             &terms.mixed);
    startLog(WordMemo::LOG_EOJUL_TAGS, u, c, counts.eojulTagPair, ck.tag,
             &terms.tagged);
    terms_.push_back(terms);
  }
}

void TaggerImpl::finishTransitions(const ModelImpl* model,
                                   const UnitPair* pairs, size_t n,
                                   PairTerms* terms, float* transitions) {
  const int boe = model->getEojulTransitionBOE();
  const ModelTrie& table = model->eojulTable();
  for (size_t k = 0; k < n; ++k) {
    const uint32_t u = pairs[k].left, c = pairs[k].right;
    const UnitCounts& counts = memo_.counts(u);
    PairTerms& t = terms[k];
    const float lexical =
        ratio(walkCount(table, t.lexicalWalk), counts.eojulLex, boe);
    finishLog(WordMemo::LOG_EOJUL_TAG_UNIT, u, c, table, counts.eojulTag, boe,
              &t.mixed);
    finishLog(WordMemo::LOG_EOJUL_TAGS, u, c, table, counts.eojulTag, boe,
              &t.tagged);
    transitions[k] = static_cast<float>(-ln(lexical) - 0.5 * t.mixed.value -
                                        t.tagged.value);
  }
}

float TaggerImpl::endCost(const ModelImpl* model, uint32_t z) {
  const int boe = model->getEojulTransitionBOE();
  const ModelTrie& table = model->eojulTable();
  const UnitCounts& counts = eojulCounts(model, z);
  const unsigned char* eoe =
      reinterpret_cast<const unsigned char*>(END_OF_EOJUL);
  const size_t length = std::strlen(END_OF_EOJUL);
  const float lexical =
      ratio(pairCount(table, counts.eojulLexPair, eoe, length),
            counts.eojulLex, boe);
  const float tagged =
      ratio(pairCount(table, counts.eojulTagPair, eoe, length),
            counts.eojulTag, boe);
  return static_cast<float>(-ln(lexical) - ln(tagged));
}

uint32_t TaggerImpl::unitId(const ModelUnit& unit) {
  writeKeys(unit, &left_.lex, &left_.tag);
  return memo_.unitId(left_);
}

uint32_t TaggerImpl::morphemeUnitId(unsigned code, const char* lexicon) {
  uint32_t& id = memo_.pieceId(code, lexicon);
  if (id == WordMemo::NO_UNIT) id = unitId(morphemeUnit(lexicon, pos_t(code)));
  return id;
}

uint32_t TaggerImpl::morphemeUnitId(const ResultImpl* r, int t) {
  return morphemeUnitId(static_cast<unsigned>(r->pos(t)), r->lexicon(t));
}

float TaggerImpl::withinCost(const ModelImpl* model, const uint32_t* ids,
                             size_t k) {
  uint32_t p = bomId_;
  float s = 0.0f;
  for (size_t t = 0; t <= k; ++t) {
    const uint32_t c = t < k ? ids[t] : eomId_;
    float& step = memo_.step(p, c);
    if (std::isnan(step)) step = morphemeStep(model, p, c);
    s += step;
    p = c;
  }
  return s;
}

float TaggerImpl::withinCost(const ModelImpl* model, const ResultImpl* r) {
  const unsigned long k = r->size();
  ids_.clear();
  for (unsigned long t = 0; t < k; ++t)
    ids_.push_back(morphemeUnitId(r, static_cast<int>(t)));
  bomId_ = memo_.pseudoId(BEGIN_OF_MORPHEME);
  eomId_ = memo_.pseudoId(END_OF_MORPHEME);
  return withinCost(model, ids_.data(), ids_.size());
}

uint32_t TaggerImpl::firstUnitId(const ResultImpl* r) {
  if (r->size() == 0) return unitId(EMPTY_UNIT);
  return morphemeUnitId(r, 0);
}

uint32_t TaggerImpl::lastUnitId(const ResultImpl* r) {
  const unsigned long k = r->size();
  if (k == 0) return unitId(EMPTY_UNIT);
  return morphemeUnitId(r, static_cast<int>(k - 1));
}

void TaggerImpl::computeMorphemeTransition() {
  const ModelImpl* model = usableModel();
  if (model == nullptr) return;
  unsigned long i = 0;
  for (CandidateList::Node* column = candidates_.head();
       column != nullptr && i < node_.count(); column = column->next, ++i) {
    unsigned long j = 0;
    for (CandidateImpl::ResultList::Node* row =
             column->element->results().head();
         row != nullptr && j < node_.width(); row = row->next, ++j)
      node_.setProbability(i, j, withinCost(model, row->element));
  }
}

TagChoice TaggerImpl::probability(unsigned long i, unsigned long j,
                                  bool last) {
  const ModelImpl* model = usableModel();
  const CandidateList::Node* current = candidates_.at(i);
  if (model == nullptr || current == nullptr) return TagChoice{0, 0.0f};
  if (i >= node_.count() || j >= node_.width())
    return TagChoice{0, NO_PATH_SCORE};
  const CandidateList::Node* previous = i > 0 ? current->prev : nullptr;
  return probability(model, previous != nullptr ? previous->element : nullptr,
                     current->element, i, j, last);
}

TagChoice TaggerImpl::probability(const ModelImpl* model,
                                  const CandidateImpl* previous,
                                  const CandidateImpl* current,
                                  unsigned long i, unsigned long j,
                                  bool last) {
  const ResultImpl* r = current->at(j);
  if (r == nullptr) return TagChoice{0, NO_PATH_SCORE};
  const float p = node_.getProbability(i, j);

  const uint32_t c = firstUnitId(r);

  float bound = PATH_BOUND;
  TagChoice best{0, NO_PATH_SCORE};
  // Column 0 has the one pseudo predecessor BOE with score 0.
  const unsigned long predecessors =
      i == 0 ? 1 : (previous != nullptr ? previous->size() : 0);
  const CandidateImpl::ResultList::Node* row =
      i == 0 || previous == nullptr ? nullptr : previous->results().head();
  for (unsigned long k = 0; k < predecessors; ++k) {
    uint32_t u;
    float score;
    if (i == 0) {
      u = unitId(pseudoUnit(BEGIN_OF_EOJUL));
      score = 0.0f;
    } else {
      u = lastUnitId(row->element);
      score = node_.getScore(i - 1, k);
      row = row->next;
    }
    const float total = (score + p) + eojulTransition(model, u, c);
    if (bound > total) {
      bound = total;
      best.score = total;
      best.index = static_cast<unsigned int>(k);
    }
  }

  if (last) best.score += endCost(model, lastUnitId(r));
  return best;
}

void TaggerImpl::chooseFirstResults(SentenceImpl* sentence) {
  for (CandidateList::Node* column = candidates_.head(); column != nullptr;
       column = column->next) {
    CandidateImpl* candidate = column->element;
    ResultImpl* r = candidate->at(0);
    if (r == nullptr) continue;
    candidate->remove(r, false);
    sentence->append(new EojulImpl(candidate->origin(), r));
  }
}

namespace {

// The distinct values of ids[0 .. n) in order of first appearance into
// units, and the index of each id among them into indexOf; returns their
// number.
size_t distinctUnits(const uint32_t* ids, size_t n, uint32_t* units,
                     uint32_t* indexOf) {
  size_t count = 0;
  for (size_t r = 0; r < n; ++r) {
    size_t k = 0;
    while (k < count && units[k] != ids[r]) ++k;
    if (k == count) units[count++] = ids[r];
    indexOf[r] = static_cast<uint32_t>(k);
  }
  return count;
}

}  // namespace

size_t TaggerImpl::distinctColumnUnits(size_t n) {
  const size_t rows = rowStart_[n];
  firstOf_.resize(rows);
  lastOf_.resize(rows);
  firstUnits_.resize(rows);
  lastUnits_.resize(rows);
  firsts_.clear();
  lasts_.clear();
  size_t transitions = 0;
  size_t lasts = 1;  // BOE before column 0
  size_t firstAt = 0;
  size_t lastAt = 0;
  for (size_t i = 0; i < n; ++i) {
    const size_t at = rowStart_[i];
    const size_t count = rowStart_[i + 1] - at;
    const size_t firstCount = distinctUnits(
        &firstIds_[at], count, &firstUnits_[firstAt], &firstOf_[at]);
    const size_t lastCount = distinctUnits(
        &lastIds_[at], count, &lastUnits_[lastAt], &lastOf_[at]);
    firsts_.push_back(UnitList{&firstUnits_[firstAt], firstCount});
    lasts_.push_back(UnitList{&lastUnits_[lastAt], lastCount});
    firstAt += firstCount;
    lastAt += lastCount;
    transitions += lasts * firstCount;
    lasts = lastCount;
  }
  return transitions;
}

template <typename F>
void TaggerImpl::forEachTransition(size_t n, F&& f) {
  const uint32_t boe = memo_.pseudoId(BEGIN_OF_EOJUL);
  for (size_t i = 0; i < n; ++i) {
    const UnitList lasts = i == 0 ? UnitList{&boe, 1} : lasts_[i - 1];
    const UnitList firsts = firsts_[i];
    for (size_t a = 0; a < lasts.count; ++a)
      for (size_t b = 0; b < firsts.count; ++b)
        f(lasts.units[a], firsts.units[b]);
  }
}

void TaggerImpl::resolveTransitions(const ModelImpl* model, size_t n,
                                    size_t count) {
  collectTransitions(n, count);
  if (pending_.empty()) return;
  costs_.resize(pending_.size());
  eojulTransitions(model, pending_.data(), pending_.size(), costs_.data());
  storeTransitions();
}

void TaggerImpl::collectTransitions(size_t n, size_t count) {
  // The pairs listed once, each one's memo slot fetched from memory as it
  // is listed, and read in a second pass over the list, so that the waits
  // overlap.
  sentencePairs_.resize(count);
  size_t at = 0;
  forEachTransition(n, [this, &at](uint32_t a, uint32_t b) {
    memo_.prefetchTransition(a, b);
    sentencePairs_[at++] = UnitPair{a, b};
  });
  pending_.clear();
  pendingAt_.clear();
  sentenceTransitions_.resize(count);
  for (size_t k = 0; k < count; ++k) {
    const UnitPair pair = sentencePairs_[k];
    const float t = memo_.transition(pair.left, pair.right);
    if (std::isnan(t)) {
      pending_.push_back(pair);
      pendingAt_.push_back(k);
    }
    sentenceTransitions_[k] = t;
  }
}

void TaggerImpl::storeTransitions() {
  for (size_t k = 0; k < pending_.size(); ++k) {
    memo_.transition(pending_[k].left, pending_[k].right) = costs_[k];
    sentenceTransitions_[pendingAt_[k]] = costs_[k];
  }
}

unsigned long TaggerImpl::search(const ModelImpl* model) {
  const size_t n = rowStart_.size() - 1;
  const size_t width = std::max<size_t>(1, node_.width());
  previousScores_.resize(width);
  scores_.resize(width);
  // It holds at most width x width costs.
  if (fromRow_.size() < width * width) fromRow_.resize(width * width);
  // The transitions in the order the search meets them.
  const float* next = sentenceTransitions_.data();
  // Column 0's predecessor: BOE with score 0.
  const uint32_t boeOf = 0;
  previousScores_[0] = 0.0f;
  size_t predecessors = 1;
  float finalScore = NO_PATH_SCORE;
  unsigned long finalIndex = 0;
  for (size_t i = 0; i < n; ++i) {
    const bool last = i == n - 1;
    const size_t rows = rowStart_[i + 1] - rowStart_[i];
    // The transitions between the distinct last units of column i - 1 and
    // the distinct first units of column i, then, for each first unit, the
    // transition from every predecessor row.
    const size_t lasts = i == 0 ? 1 : lasts_[i - 1].count;
    const size_t firsts = firsts_[i].count;
    const uint32_t* lastOf = i == 0 ? &boeOf : &lastOf_[rowStart_[i - 1]];
    const uint32_t* firstOf = &firstOf_[rowStart_[i]];
    const float* transitions = next;
    next += lasts * firsts;
    for (size_t b = 0; b < firsts; ++b)
      for (size_t k = 0; k < predecessors; ++k)
        fromRow_[b * predecessors + k] = transitions[lastOf[k] * firsts + b];

    const float* scores = previousScores_.data();
    for (size_t j = 0; j < rows; ++j) {
      const float p = node_.getProbability(i, j);
      const float* transition = &fromRow_[firstOf[j] * predecessors];
      // The first predecessor of least total below the bound, chosen
      // without a branch (which the data would mispredict): a total only
      // lowers the bound when it is below it, so a bound still at
      // PATH_BOUND means that no predecessor was taken.
      float bound = PATH_BOUND;
      unsigned int index = 0;
      for (size_t k = 0; k < predecessors; ++k) {
        const float total = (scores[k] + p) + transition[k];
        const bool lower = bound > total;
        bound = lower ? total : bound;
        index = lower ? static_cast<unsigned int>(k) : index;
      }
      TagChoice best{index, bound < PATH_BOUND ? bound : NO_PATH_SCORE};
      if (last) {
        const uint32_t z = lasts_[i].units[lastOf_[rowStart_[i] + j]];
        float& end = memo_.endCost(z);
        if (std::isnan(end)) end = endCost(model, z);
        best.score += end;
      }
      node_.setEdge(i, j, static_cast<int>(best.index), best.score);
      scores_[j] = best.score;
      if (last && finalScore > best.score) {
        finalScore = best.score;
        finalIndex = j;
      }
    }
    previousScores_.swap(scores_);
    predecessors = rows;
  }
  return finalIndex;
}

int TaggerImpl::tagging(SentenceImpl* sentence) {
  if (sentence == nullptr) return 0;
  refreshMemo();
  const ModelImpl* model = usableModel();
  if (model == nullptr) {
    node_.clear();
    chooseFirstResults(sentence);
    return 0;
  }
  if (node_.init(&candidates_) != 0) return -1;
  computeMorphemeTransition();
  const unsigned long n = candidates_.size();
  if (n == 0) return 0;

  rowStart_.assign(1, 0);
  firstIds_.clear();
  lastIds_.clear();
  for (CandidateList::Node* column = candidates_.head(); column != nullptr;
       column = column->next) {
    for (const CandidateImpl::ResultList::Node* row =
             column->element->results().head();
         row != nullptr; row = row->next) {
      firstIds_.push_back(firstUnitId(row->element));
      lastIds_.push_back(lastUnitId(row->element));
    }
    rowStart_.push_back(firstIds_.size());
  }

  // Back-trace from the cheapest cell of the last column.
  resolveTransitions(model, n, distinctColumnUnits(n));
  unsigned long j = search(model);
  unsigned long i = n;
  for (CandidateList::Node* column = candidates_.tail(); column != nullptr;
       column = column->prev) {
    --i;
    CandidateImpl* candidate = column->element;
    ResultImpl* r = candidate->at(j);
    if (r == nullptr) {
      j = 0;
      continue;
    }
    j = static_cast<unsigned long>(node_.getEdge(i, j));
    candidate->remove(r, false);
    sentence->prepend(new EojulImpl(candidate->origin(), r));
  }
  return 0;
}

int TaggerImpl::tagColumns(const ModelImpl* model, SentenceImpl* sentence) {
  const size_t n = columns_.size();
  if (model == nullptr) {
    for (const Column& column : columns_) {
      const MemoWord* w = column.word;
      if (w->rows().empty()) continue;
      EojulImpl* e = wordOf(column, 0, sentence);
      if (e == nullptr) return -1;
      sentence->append(e);
    }
    return 0;
  }
  if (n == 0) return 0;

  // The rows of every column and the units they begin and end with, as
  // the memo holds them for each word.
  size_t width = 0;
  size_t transitions = 0;
  size_t lasts = 1;  // BOE before column 0
  rowStart_.assign(1, 0);
  firstOf_.clear();
  lastOf_.clear();
  firsts_.clear();
  lasts_.clear();
  for (const Column& column : columns_) {
    const MemoWord* w = column.word;
    const MemoSpan<const MemoRow> rows = w->rows();
    if (rows.size() > width) width = rows.size();
    for (const MemoRow& row : rows) {
      firstOf_.push_back(row.firstOf);
      lastOf_.push_back(row.lastOf);
    }
    rowStart_.push_back(firstOf_.size());
    firsts_.push_back(UnitList{w->firstUnits(), w->firstCount()});
    lasts_.push_back(UnitList{w->lastUnits(), w->lastCount()});
    transitions += lasts * w->firstCount();
    lasts = w->lastCount();
  }
  resolveCosts(model, n, transitions);
  if (node_.init(width, n) != 0) return -1;
  for (size_t i = 0; i < n; ++i) {
    const MemoSpan<const MemoRow> rows = columns_[i].word->rows();
    for (size_t j = 0; j < rows.size(); ++j)
      node_.setProbability(i, j, rows[j].within);
  }

  // Back-trace from the cheapest cell of the last column.
  unsigned long j = search(model);
  for (size_t i = n; i-- > 0;) {
    const MemoWord* w = columns_[i].word;
    if (j >= w->rows().size()) {
      j = 0;
      continue;
    }
    EojulImpl* e = wordOf(columns_[i], j, sentence);
    if (e == nullptr) return -1;
    j = static_cast<unsigned long>(node_.getEdge(i, j));
    sentence->prepend(e);
  }
  return 0;
}

EojulImpl* TaggerImpl::wordOf(const Column& column, size_t row,
                              SentenceImpl* sentence) {
  const MemoWord* w = column.word;
  EojulImpl* e = sentence->spareEojul();
  if (e == nullptr) return nullptr;
  ResultImpl* r = e->resultImpl();
  if (r == nullptr) {
    r = new (std::nothrow) ResultImpl();
    if (r == nullptr) {
      delete e;
      return nullptr;
    }
    e->result(r);
  }
  e->eojul(w->origin(), w->originLength());
  w->fill(row, column.base, memo_, r);
  return e;
}

void TaggerImpl::printCandidates() const {
  std::printf("===== candidates =====\n");
  size_t i = 0;
  for (const CandidateList::Node* column = candidates_.head();
       column != nullptr; column = column->next, ++i) {
    size_t j = 0;
    for (const CandidateImpl::ResultList::Node* row =
             column->element->results().head();
         row != nullptr; row = row->next, ++j) {
      const ResultImpl* r = row->element;
      std::printf("[%zu,%zu] ", i, j);
      const unsigned long k = r->size();
      for (unsigned long m = 0; m < k; ++m) {
        if (m > 0) std::fputc('+', stdout);
        std::printf("%s/%s", r->lexicon(static_cast<int>(m)),
                    r->posTag(static_cast<int>(m)));
      }
      std::printf(" (%f)\n", static_cast<double>(r->score()));
    }
    std::fputc('\n', stdout);
  }
  std::fputc('\n', stdout);
  std::fflush(stdout);
}
