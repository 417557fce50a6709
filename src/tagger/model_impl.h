// ModelImpl: the tagger model. Two tables of counts and a list of
// tag-sequence patterns, loaded from one directory:
//
//   mtrans.frq   counts of morpheme units and of adjacent morpheme pairs
//                inside one eojeol;
//   etrans.frq   counts of the units at eojeol boundaries and of the pairs
//                that cross a boundary;
//   tagseq.rul   one uwildcard pattern per line (optional).
//
// Both tables are darts double arrays over byte keys (the darts file layout:
// 8-byte units, an int32 base and a uint32 check, no header). Keys are
// written as model_keys.h describes. A loaded model is read-only and may be
// shared by taggers in several threads.
//
// The tables may come from anywhere and may be damaged or truncated: darts'
// own exact-match search reads units without a bounds check, so lookups walk
// the units with a bounded copy of that search (same transitions, same
// values) and treat every step outside the array as a miss.
#ifndef TALMORO_TAGGER_MODEL_IMPL_H_
#define TALMORO_TAGGER_MODEL_IMPL_H_

#include <cstddef>
#include <cstdint>
#include <vector>

#include "api/talmoro.h"
#include "base/file_image.h"
#include "knowledge/darts_trie.h"

// A model table: darts with 8-bit unsigned keys and 32-bit signed values.
typedef Darts::DoubleArrayImpl<unsigned char, unsigned char, int,
                               unsigned int>
    ModelTrie;

// The longest path load() forms; a longer one makes load fail rather than
// open a truncated name.
constexpr size_t MODEL_PATH_MAX = 4095;

class ModelImpl : public Model {
 public:
  ModelImpl();
  ModelImpl(const ModelImpl&) = delete;
  ModelImpl& operator=(const ModelImpl&) = delete;

  // Loads dir/mtrans.frq, dir/etrans.frq and dir/tagseq.rul. Returns 0, or
  // -1 when a table cannot be opened, sized or read whole (a table that
  // failed is left empty; when etrans.frq fails mtrans stays loaded and the
  // cached counts keep their earlier values), when dir is null or when a
  // path would exceed 4,094 characters. A missing or unreadable tagseq.rul
  // only leaves no patterns. Patterns of earlier loads are kept.
  int load(const char* dir) override;
  virtual ~ModelImpl();

  // The count of a key; 0 for an absent, empty or null key and for a table
  // that holds nothing.
  int getMorphemeTransition(const char* key) const;
  int getEojulTransition(const char* key) const;
  // The counts of "BOM" in mtrans and "BOE", "EOE" in etrans, cached by load.
  int getMorphemeTransitionBOM() const { return bomCount_; }
  int getEojulTransitionBOE() const { return boeCount_; }
  int getEojulTransitionEOE() const { return eoeCount_; }

  // Reads a pattern file and appends its patterns: lines end at CR or LF
  // (runs of them are one break); a line starting with ";" or a space is
  // skipped; others lose trailing, then leading spaces, tabs, CR and LF, and
  // what is left, if anything, is a pattern. 0, or -1 when the file cannot
  // be read.
  int loadRuleTagSequence(const char* path);
  // True when some pattern, tried in file order, matches the whole text.
  bool matchTagSequence(const char* text) const;
  size_t ruleCount() const { return rules_.size(); }
  // Changes with every load (generation.h).
  uint64_t generation() const { return generation_; }
  const char* rule(size_t index) const { return rules_[index]; }

  // Points a table at the image of a file, which file then holds; 0, or
  // -1 (table and file left empty).
  static int openTable(ModelTrie* table, FileImage* file, const char* path);
  // The bounded exact-match search: the value of key[0 .. length), or -1
  // when the table holds no such key.
  static int findInTable(const ModelTrie& table, const unsigned char* key,
                         size_t length);

  // The search in steps, for keys that share a prefix: a state is the node
  // reached after the bytes walked so far, TABLE_MISS once a byte has no
  // transition. Walking a key's bytes from tableRoot() and taking
  // tableValue() gives what findInTable gives.
  static constexpr int64_t TABLE_MISS = -1;
  static int64_t tableRoot(const ModelTrie& table);
  static int64_t tableWalk(const ModelTrie& table, int64_t state,
                           const unsigned char* key, size_t length);
  static int tableValue(const ModelTrie& table, int64_t state);
  // Several walks at once, one byte of each per round: a walk's bytes lie
  // far apart in the table and each waits on memory, but the waits of
  // different walks overlap. Each walk's state becomes what tableWalk()
  // returns for it.
  struct TableWalk {
    int64_t state;
    const unsigned char* key;
    size_t length;
  };
  static void tableWalks(const ModelTrie& table, TableWalk* walks, size_t n);
  // The same over two tables at once: walks [0, split) through `first`, the
  // rest through `second`.
  static void tableWalks(const ModelTrie& first, size_t split,
                         const ModelTrie& second, TableWalk* walks, size_t n);
  const ModelTrie& morphemeTable() const { return mtrans_; }
  const ModelTrie& eojulTable() const { return etrans_; }

 private:
  static int lookup(const ModelTrie& table, const char* key);

  ModelTrie mtrans_;              // read mtransFile_ and etransFile_
  ModelTrie etrans_;
  FileImage mtransFile_;
  FileImage etransFile_;
  std::vector<char*> rules_;      // point into the buffers of ruleTexts_
  std::vector<char*> ruleTexts_;  // every pattern file read, owned
  int bomCount_;
  int boeCount_;
  int eoeCount_;
  uint64_t generation_;
};

// Whole-string wildcard match: "?" matches one character, "*" any run.
// Characters compare exactly. A "*" that is not the pattern's last
// character is followed by at least one character of the text: the rest of
// the pattern is tried at every offset of the remaining text but never at
// its end, so "a*b" does not match "a" and "*?" does not match "".
//
// The stars split the pattern into segments. Working from the last segment
// back, `after[j]` tells whether the pattern from the current segment on
// matches the text from offset j; a star then needs that for some offset
// in [j, n). This takes time in proportion to the pattern's length times
// the text's, where trying every offset for every star took exponential
// time ("*?*?*?*?*?Z" over a line).
template <typename T>
bool uwildcard(const T* pattern, const T* text) {
  const T star = static_cast<T>('*');
  const T any = static_cast<T>('?');
  size_t n = 0;
  while (text[n] != static_cast<T>(0)) ++n;
  // Segment bounds: segment s runs from begin[s] to end[s] (exclusive);
  // segment 0 is the text before the first star.
  std::vector<size_t> begin(1, 0), end;
  size_t m = 0;
  for (; pattern[m] != static_cast<T>(0); ++m) {
    if (pattern[m] == star) {
      end.push_back(m);
      begin.push_back(m + 1);
    }
  }
  end.push_back(m);
  const size_t last = begin.size() - 1;
  // Whether segment s matches the text at offset j, character by character.
  auto fits = [&](size_t s, size_t j) {
    const size_t length = end[s] - begin[s];
    if (j > n || n - j < length) return false;
    for (size_t k = 0; k < length; ++k) {
      const T c = pattern[begin[s] + k];
      if (c != any && c != text[j + k]) return false;
    }
    return true;
  };
  // A final star matches whatever remains.
  const bool finalStar = last > 0 && begin[last] == m;

  // anyAfter[j]: some offset i in [j, n) at which the pattern from segment
  // s + 1 on matches, for the segment s being computed.
  std::vector<char> anyAfter(n + 1, 0);
  std::vector<char> here(n + 1, 0);
  for (size_t s = last; s >= 1; --s) {
    if (s == last && finalStar) {
      // Not used: the star before it returns true at once.
    } else {
      const size_t length = end[s] - begin[s];
      for (size_t j = 0; j <= n; ++j) {
        bool ok = fits(s, j);
        if (ok) {
          const size_t next = j + length;
          if (s == last) {
            ok = next == n;
          } else if (s + 1 == last && finalStar) {
            ok = true;
          } else {
            ok = next < n && anyAfter[next] != 0;
          }
        }
        here[j] = ok ? 1 : 0;
      }
      // Suffix OR over [j, n) for the star before segment s.
      char seen = 0;
      anyAfter[n] = 0;
      for (size_t j = n; j-- > 0;) {
        seen = static_cast<char>(seen | here[j]);
        anyAfter[j] = seen;
      }
    }
  }
  if (!fits(0, 0)) return false;
  const size_t next = end[0] - begin[0];
  if (last == 0) return next == n;
  if (last == 1 && finalStar) return true;
  return next < n && anyAfter[next] != 0;
}

#endif  // TALMORO_TAGGER_MODEL_IMPL_H_
