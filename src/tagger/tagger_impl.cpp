#include "tagger/tagger_impl.h"

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

// left ":" right into pair.
const char* joinPair(std::string* pair, const std::string& left,
                     const std::string& right) {
  pair->assign(left);
  pair->push_back(MODEL_PAIR_SEPARATOR);
  pair->append(right);
  return pair->c_str();
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
    unsigned long pos = 0;
    for (;;) {
      while (isDelimiter(text[pos])) ++pos;
      if (text[pos] == 0) break;
      const unsigned long begin = pos;
      while (text[pos] != 0 && !isDelimiter(text[pos])) ++pos;
      columns_.push_back(
          Column{memoWord(model, text + begin, pos - begin), begin});
    }
    status = tagColumns(model, sentence);
  } catch (const std::bad_alloc&) {
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
  pieces_.clear();
}

const MemoWord* TaggerImpl::memoWord(const ModelImpl* model,
                                     const unsigned short* token,
                                     unsigned long length) {
  wordKey_.assign(reinterpret_cast<const char*>(token),
                  length * sizeof(unsigned short));
  const MemoWord* known = memo_.find(wordKey_);
  if (known != nullptr) return known;

  // The analyzer reads a zero-terminated word.
  token_.assign(token, token + length);
  token_.push_back(0);
  analyzer_.process(token_.data(), &scratch_);
  pieces_.clear();
  std::unique_ptr<MemoWord> memo(new MemoWord());
  memo->assign(scratch_);
  size_t j = 0;
  for (const CandidateImpl::ResultList::Node* row = scratch_.results().head();
       row != nullptr; row = row->next, ++j) {
    const ResultImpl* r = row->element;
    if (model != nullptr) memo->rows[j].within = withinCost(model, r);
    memo->rows[j].first = firstUnitId(r);
    memo->rows[j].last = lastUnitId(r);
  }
  scratch_.clear();
  return memo_.insert(wordKey_, std::move(memo));
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
    counts.morphemeLex = model->getMorphemeTransition(keys.lex.c_str());
    counts.morphemeTag = model->getMorphemeTransition(keys.tag.c_str());
    counts.morpheme = true;
  }
  return counts;
}

const UnitCounts& TaggerImpl::eojulCounts(const ModelImpl* model, uint32_t u) {
  UnitCounts& counts = memo_.counts(u);
  if (!counts.eojul) {
    const UnitKeys& keys = memo_.unit(u);
    counts.eojulLex = model->getEojulTransition(keys.lex.c_str());
    counts.eojulTag = model->getEojulTransition(keys.tag.c_str());
    counts.eojul = true;
  }
  return counts;
}

float TaggerImpl::morphemeStep(const ModelImpl* model, uint32_t p,
                               uint32_t c) {
  const int bom = model->getMorphemeTransitionBOM();
  const UnitCounts& counts = morphemeCounts(model, p);
  const UnitKeys& pk = memo_.unit(p);
  const UnitKeys& ck = memo_.unit(c);
  const float lexical = ratio(
      model->getMorphemeTransition(joinPair(&pair_, pk.lex, ck.lex)),
      counts.morphemeLex, bom);
  const float tagged = ratio(
      model->getMorphemeTransition(joinPair(&pair_, pk.tag, ck.tag)),
      counts.morphemeTag, bom);
  return static_cast<float>(-ln(lexical) - ln(tagged));
}

float TaggerImpl::eojulTransition(const ModelImpl* model, uint32_t u,
                                  uint32_t c) {
  const int boe = model->getEojulTransitionBOE();
  const UnitCounts& counts = eojulCounts(model, u);
  const UnitKeys& uk = memo_.unit(u);
  const UnitKeys& ck = memo_.unit(c);
  const float lexical =
      ratio(model->getEojulTransition(joinPair(&pair_, uk.lex, ck.lex)),
            counts.eojulLex, boe);
  const float mixed =
      ratio(model->getEojulTransition(joinPair(&pair_, uk.tag, ck.lex)),
            counts.eojulTag, boe);
  const float tagged =
      ratio(model->getEojulTransition(joinPair(&pair_, uk.tag, ck.tag)),
            counts.eojulTag, boe);
  return static_cast<float>(-ln(lexical) - 0.5 * ln(mixed) - ln(tagged));
}

float TaggerImpl::endCost(const ModelImpl* model, uint32_t z) {
  const int boe = model->getEojulTransitionBOE();
  const UnitCounts& counts = eojulCounts(model, z);
  const UnitKeys& zk = memo_.unit(z);
  const std::string eoe(END_OF_EOJUL);
  const float lexical =
      ratio(model->getEojulTransition(joinPair(&pair_, zk.lex, eoe)),
            counts.eojulLex, boe);
  const float tagged =
      ratio(model->getEojulTransition(joinPair(&pair_, zk.tag, eoe)),
            counts.eojulTag, boe);
  return static_cast<float>(-ln(lexical) - ln(tagged));
}

uint32_t TaggerImpl::unitId(const ModelUnit& unit) {
  writeKeys(unit, &left_.lex, &left_.tag);
  return memo_.unitId(left_);
}

uint32_t TaggerImpl::morphemeUnitId(const ResultImpl* r, int t) {
  const unsigned code = static_cast<unsigned>(r->pos(t));
  const char* lexicon = r->lexicon(t);
  for (const Piece& piece : pieces_)
    if (piece.code == code && piece.text == lexicon) return piece.id;
  const uint32_t id = unitId(morphemeUnit(lexicon, r->pos(t)));
  pieces_.push_back(Piece{code, lexicon, id});
  return id;
}

float TaggerImpl::withinCost(const ModelImpl* model, const ResultImpl* r) {
  const unsigned long k = r->size();
  uint32_t p = memo_.pseudoId(BEGIN_OF_MORPHEME);
  float s = 0.0f;
  for (unsigned long t = 0; t <= k; ++t) {
    const uint32_t c = t < k ? morphemeUnitId(r, static_cast<int>(t))
                             : memo_.pseudoId(END_OF_MORPHEME);
    float& step = memo_.step(p, c);
    if (std::isnan(step)) step = morphemeStep(model, p, c);
    s += step;
    p = c;
  }
  return s;
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
    pieces_.clear();
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

// The distinct values of ids[0 .. n) in order of first appearance, and the
// index of each id among them.
void distinctUnits(const uint32_t* ids, size_t n, std::vector<uint32_t>* units,
                   std::vector<uint32_t>* indexOf) {
  units->clear();
  indexOf->clear();
  for (size_t r = 0; r < n; ++r) {
    size_t u = 0;
    while (u < units->size() && (*units)[u] != ids[r]) ++u;
    if (u == units->size()) units->push_back(ids[r]);
    indexOf->push_back(static_cast<uint32_t>(u));
  }
}

}  // namespace

unsigned long TaggerImpl::search(const ModelImpl* model) {
  const size_t n = rowStart_.size() - 1;
  // Column 0's predecessor: BOE with score 0.
  const uint32_t boe = memo_.pseudoId(BEGIN_OF_EOJUL);
  distinctUnits(&boe, 1, &lastUnits_, &lastOf_);
  float finalScore = NO_PATH_SCORE;
  unsigned long finalIndex = 0;
  for (size_t i = 0; i < n; ++i) {
    const bool last = i == n - 1;
    const size_t rows = rowStart_[i + 1] - rowStart_[i];
    const size_t predecessors = lastOf_.size();
    // The transitions between the distinct last units of column i - 1 and
    // the distinct first units of column i.
    distinctUnits(&firstIds_[rowStart_[i]], rows, &firstUnits_, &firstOf_);
    const size_t firsts = firstUnits_.size();
    transitions_.resize(lastUnits_.size() * firsts);
    for (size_t a = 0; a < lastUnits_.size(); ++a) {
      for (size_t b = 0; b < firsts; ++b) {
        float& t = memo_.transition(lastUnits_[a], firstUnits_[b]);
        if (std::isnan(t))
          t = eojulTransition(model, lastUnits_[a], firstUnits_[b]);
        transitions_[a * firsts + b] = t;
      }
    }
    for (size_t j = 0; j < rows; ++j) {
      const float p = node_.getProbability(i, j);
      const uint32_t b = firstOf_[j];
      float bound = PATH_BOUND;
      TagChoice best{0, NO_PATH_SCORE};
      for (size_t k = 0; k < predecessors; ++k) {
        const float transition = transitions_[lastOf_[k] * firsts + b];
        const float score = i == 0 ? 0.0f : node_.getScore(i - 1, k);
        const float total = (score + p) + transition;
        if (bound > total) {
          bound = total;
          best.score = total;
          best.index = static_cast<unsigned int>(k);
        }
      }
      if (last) {
        const uint32_t z = lastIds_[rowStart_[i] + j];
        float& end = memo_.endCost(z);
        if (std::isnan(end)) end = endCost(model, z);
        best.score += end;
      }
      node_.setEdge(i, j, static_cast<int>(best.index), best.score);
      if (last && finalScore > node_.getScore(i, j)) {
        finalScore = node_.getScore(i, j);
        finalIndex = j;
      }
    }
    distinctUnits(&lastIds_[rowStart_[i]], rows, &lastUnits_, &lastOf_);
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
    pieces_.clear();
    for (const CandidateImpl::ResultList::Node* row =
             column->element->results().head();
         row != nullptr; row = row->next) {
      firstIds_.push_back(firstUnitId(row->element));
      lastIds_.push_back(lastUnitId(row->element));
    }
    rowStart_.push_back(firstIds_.size());
  }

  // Back-trace from the cheapest cell of the last column.
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
      if (w->rows.empty()) continue;
      ResultImpl* r = w->result(0, column.base);
      if (r == nullptr) return -1;
      sentence->append(
          new EojulImpl(w->hasOrigin ? w->origin.c_str() : nullptr, r));
    }
    return 0;
  }
  if (n == 0) return 0;

  size_t width = 0;
  rowStart_.assign(1, 0);
  firstIds_.clear();
  lastIds_.clear();
  for (const Column& column : columns_) {
    const MemoWord* w = column.word;
    if (w->rows.size() > width) width = w->rows.size();
    for (const MemoRow& row : w->rows) {
      firstIds_.push_back(row.first);
      lastIds_.push_back(row.last);
    }
    rowStart_.push_back(firstIds_.size());
  }
  if (node_.init(width, n) != 0) return -1;
  for (size_t i = 0; i < n; ++i) {
    const MemoWord* w = columns_[i].word;
    for (size_t j = 0; j < w->rows.size(); ++j)
      node_.setProbability(i, j, w->rows[j].within);
  }

  // Back-trace from the cheapest cell of the last column.
  unsigned long j = search(model);
  for (size_t i = n; i-- > 0;) {
    const MemoWord* w = columns_[i].word;
    if (j >= w->rows.size()) {
      j = 0;
      continue;
    }
    ResultImpl* r = w->result(j, columns_[i].base);
    if (r == nullptr) return -1;
    j = static_cast<unsigned long>(node_.getEdge(i, j));
    sentence->prepend(
        new EojulImpl(w->hasOrigin ? w->origin.c_str() : nullptr, r));
  }
  return 0;
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
