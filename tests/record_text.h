// Test helper: reads the analysis records of a dictionary back into the
// notation of a source lexicon, so that tests compare whole records as text:
// "가/vv+~ㄹ/etm" (a "~" for a morpheme not spelled in the surface), with
// "[flag:N,0xWORD]" appended when the record carries an attribute word.
#ifndef TALMORO_TESTS_RECORD_TEXT_H_
#define TALMORO_TESTS_RECORD_TEXT_H_

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "base/membuf.h"
#include "base/text.h"
#include "knowledge/knowledge_impl.h"
#include "pos/pos.h"

inline std::string unitsToUtf8(const std::vector<unsigned short>& units) {
  if (units.empty()) return "";
  std::vector<unsigned short> z(units);
  z.push_back(0);
  unsigned char* s = uchar_toutf8(z.data());
  std::string out = s ? reinterpret_cast<char*>(s) : "";
  std::free(s);
  return out;
}

inline std::vector<unsigned short> utf8ToUnits(const char* text) {
  std::vector<unsigned short> units;
  unsigned short* u = utf8_touchar(reinterpret_cast<const unsigned char*>(text));
  for (unsigned short* p = u; p && *p; ++p) units.push_back(*p);
  std::free(u);
  units.push_back(0);
  return units;
}

// The record whose link word is at `offset`; "<damaged>" when its entries
// run past the used bytes.
inline std::string recordText(const membuf& buf, int offset) {
  size_t at = static_cast<size_t>(offset) + 4;
  unsigned flag = buf.read_uint8(at++);
  unsigned word = 0;
  if (flag != 0) {
    word = buf.read_uint32(at);
    at += 4;
  }
  std::string text;
  for (int guard = 0; guard < 200; ++guard) {
    if (at + 5 > buf.size()) return "<damaged>";
    unsigned tag = buf.read_uint32(at);
    unsigned len = buf.read_uint8(at + 4);
    at += 5;
    std::vector<unsigned short> units;
    for (unsigned i = 0; i < len / 2; ++i, at += 2) {
      units.push_back(buf.read_uint16(at));
    }
    if (!text.empty()) text += "+";
    if ((len & 1) == 0) text += "~";
    const char* name = getLevel3PosTag(pos_t(tag & ~1u));
    char hex[16];
    std::snprintf(hex, sizeof hex, "0x%x", tag & ~1u);
    text += unitsToUtf8(units) + "/" + (name ? name : hex);
    if (tag & 1u) break;
  }
  if (flag != 0) {
    char attr[40];
    std::snprintf(attr, sizeof attr, "[flag:%u,0x%x]", flag, word);
    text += attr;
  }
  return text;
}

// Every record of the chain that starts at `offset`, in chain order.
inline std::vector<std::string> chainText(const KnowledgeImpl& dic,
                                          int offset) {
  std::vector<std::string> out;
  for (int r = offset, guard = 0; guard < 1000; ++guard) {
    out.push_back(recordText(*dic.rdata(), r));
    r = dic.next(r);
    if (r == 0) break;
  }
  return out;
}

// The hits of a search as "length:final consonant" strings, and the chain of
// the hit of the given length (empty when there is none).
struct SearchView {
  std::vector<std::string> hits;
  std::vector<std::vector<std::string>> chains;
};

inline SearchView searchText(const KnowledgeImpl& dic, const char* key,
                             bool irregular = false) {
  std::vector<unsigned short> units = utf8ToUnits(key);
  result_pair_type result[KNOWLEDGE_MAX_HITS];
  size_t n = dic.search(units.data(), result, irregular);
  SearchView view;
  for (size_t i = 0; i < n; ++i) {
    view.hits.push_back(std::to_string(result[i].length) + ":" +
                        std::to_string(result[i].final_consonant));
    view.chains.push_back(chainText(dic, result[i].value));
  }
  return view;
}

// The chain of the surface that is exactly `key`, or empty.
inline std::vector<std::string> lookup(const KnowledgeImpl& dic,
                                       const char* key) {
  std::vector<unsigned short> units = utf8ToUnits(key);
  size_t len = units.size() - 1;
  result_pair_type result[KNOWLEDGE_MAX_HITS];
  size_t n = dic.search(units.data(), result, false);
  for (size_t i = 0; i < n; ++i) {
    if (result[i].length == len) return chainText(dic, result[i].value);
  }
  return {};
}

#endif  // TALMORO_TESTS_RECORD_TEXT_H_
