#include "mecab_silver.h"

#include <cerrno>
#include <cstring>
#include <fstream>
#include <iostream>

#include "base/text.h"
#include "lexicon_convert.h"

namespace {

// The eight features of mecab-ko-dic (tag, semantic class, final consonant,
// reading, type, first tag, last tag, expression); commas beyond the
// seventh belong to the expression.
std::vector<std::string> featureFields(const std::string& feature) {
  std::vector<std::string> f;
  size_t start = 0;
  while (f.size() < 7) {
    const size_t comma = feature.find(',', start);
    if (comma == std::string::npos) break;
    f.push_back(feature.substr(start, comma - start));
    start = comma + 1;
  }
  f.push_back(feature.substr(start));
  while (f.size() < 8) f.push_back("*");
  return f;
}

// A form as the analyzer writes it: compatibility jamo, Latin and other
// letters lower-cased, Chinese characters replaced by their reading.
std::string analyzerForm(const std::u16string& form) {
  std::vector<unsigned short> buf;
  buf.reserve(form.size() + 1);
  for (char16_t c : form) buf.push_back(toCompatibilityJamo(c));
  buf.push_back(0);
  ustrtolower(buf.data());
  ustrtohangul(buf.data());
  std::u16string out;
  for (size_t i = 0; buf[i] != 0; ++i) out.push_back(static_cast<char16_t>(buf[i]));
  return unitsToUtf8(out);
}

bool isBlank(char c) { return c == ' ' || c == '\t' || c == '\r'; }

}  // namespace

bool silverTokenMorphemes(const std::string& surface,
                          const std::string& feature,
                          std::vector<SilverMorpheme>* out,
                          std::string* reason) {
  out->clear();
  const std::u16string units = utf8ToUnits(surface);
  if (surface.empty() || units.empty()) {
    *reason = "surface empty or not UTF-8 inside the BMP";
    return false;
  }
  const std::vector<std::string> f = featureFields(feature);
  const std::string& tag = f[0];
  const std::string& type = f[4];
  const std::string& expression = f[7];
  const bool multiTag = tag.find('+') != std::string::npos;
  const bool useExpression =
      type == "Inflect" || (type == "Preanalysis" && multiTag) ||
      (multiTag && expression != "*");
  if (useExpression) {
    if (expression == "*" || expression.empty()) {
      *reason = "no expression for " + tag;
      return false;
    }
    std::vector<ConvMorpheme> morphemes;
    if (!LexiconConverter::convertExpression(units, expression, &morphemes,
                                             reason))
      return false;
    for (const ConvMorpheme& m : morphemes)
      out->push_back(SilverMorpheme{analyzerForm(m.form), m.tag});
    return true;
  }
  const std::string ours = LexiconConverter::mapTag(tag);
  if (ours.empty()) {
    *reason = "unknown tag " + tag;
    return false;
  }
  out->push_back(SilverMorpheme{
      analyzerForm(units), LexiconConverter::conventionTag(units, ours)});
  return true;
}

void markOpenFinalEnding(std::vector<SilverMorpheme>* eojeol) {
  if (!eojeol->empty() && eojeol->back().tag == "ef") eojeol->back().tag = "ec";
}

std::string formatSilverEojeol(const std::vector<SilverMorpheme>& morphemes) {
  std::string text;
  for (size_t i = 0; i < morphemes.size(); ++i) {
    if (i > 0) text.push_back('+');
    text += morphemes[i].form;
    text.push_back('/');
    text += morphemes[i].tag;
  }
  return text;
}

void SilverConverter::endSentence(std::string* out) {
  if (!open_) {
    out->push_back('\n');  // an empty sentence keeps its line
    eojeols_.clear();
    return;
  }
  if (!failure_.empty()) {
    ++stats_.dropped;
    ++stats_.dropReasons[failure_];
  } else {
    ++stats_.sentences;
    for (std::vector<SilverMorpheme>& e : eojeols_) markOpenFinalEnding(&e);
    for (size_t i = 0; i < eojeols_.size(); ++i) {
      if (i > 0) out->push_back(' ');
      *out += formatSilverEojeol(eojeols_[i]);
      stats_.morphemes += eojeols_[i].size();
    }
    stats_.eojeols += eojeols_.size();
  }
  out->push_back('\n');
  eojeols_.clear();
  failure_.clear();
  open_ = false;
}

void SilverConverter::addLine(const std::string& raw, std::string* out) {
  std::string line = raw;
  if (!line.empty() && line.back() == '\r') line.pop_back();
  if (line == "EOS") {
    endSentence(out);
    return;
  }
  if (line.empty()) return;
  const size_t tab = line.find('\t');
  size_t start = 0;
  while (start < line.size() && start != tab && isBlank(line[start])) ++start;
  const bool spaced = start > 0;
  const std::string surface =
      tab == std::string::npos ? line.substr(start)
                               : line.substr(start, tab - start);
  const std::string feature =
      tab == std::string::npos ? std::string() : line.substr(tab + 1);
  const bool first = !open_;
  open_ = true;
  ++stats_.tokens;
  if (!failure_.empty()) return;
  std::vector<SilverMorpheme> morphemes;
  std::string reason;
  if (tab == std::string::npos) {
    failure_ = "line without a tab";
    return;
  }
  if (!silverTokenMorphemes(surface, feature, &morphemes, &reason)) {
    failure_ = reason;
    return;
  }
  if (first || spaced || eojeols_.empty())
    eojeols_.emplace_back();
  std::vector<SilverMorpheme>& e = eojeols_.back();
  if (!e.empty() && !morphemes.empty() &&
      LexiconConverter::isHaStem(utf8ToUnits(e.back().form), e.back().tag)) {
    // 하 and its ending as separate tokens (하 여, 하 였): the ending is
    // written in its 아-form, as inside one entry.
    SilverMorpheme& m = morphemes.front();
    const std::string& t = m.tag;
    if (t == "ep" || t == "ef" || t == "ec" || t == "etm" || t == "etn")
      m.form = unitsToUtf8(LexiconConverter::haEndingForm(utf8ToUnits(m.form)));
  }
  e.insert(e.end(), morphemes.begin(), morphemes.end());
}

void SilverConverter::finish(std::string* out) {
  if (open_) endSentence(out);
}

int convertMecabOutputFile(const std::string& input, const std::string& output,
                           FILE* err) {
  std::ifstream file;
  std::istream* in = &std::cin;
  if (input != "-") {
    file.open(input, std::ios::binary);
    if (!file) {
      std::fprintf(err, "%s: cannot read: %s\n", input.c_str(),
                   std::strerror(errno));
      return 1;
    }
    in = &file;
  }
  const std::string temporary = output + ".tmp";
  FILE* o = std::fopen(temporary.c_str(), "wb");
  if (o == nullptr) {
    std::fprintf(err, "%s: cannot create: %s\n", temporary.c_str(),
                 std::strerror(errno));
    return 1;
  }
  SilverConverter converter;
  std::string line, text;
  bool written = true;
  while (std::getline(*in, line)) {
    converter.addLine(line, &text);
    if (text.size() > (1u << 16)) {
      written = written && std::fwrite(text.data(), 1, text.size(), o) == text.size();
      text.clear();
    }
  }
  converter.finish(&text);
  written = written && std::fwrite(text.data(), 1, text.size(), o) == text.size();
  const bool readFailed = in->bad();
  if (std::fclose(o) != 0 || !written || readFailed) {
    std::fprintf(err, "%s: cannot %s\n", readFailed ? input.c_str() : temporary.c_str(),
                 readFailed ? "read" : "write");
    std::remove(temporary.c_str());
    return 1;
  }
  if (std::rename(temporary.c_str(), output.c_str()) != 0) {
    std::fprintf(err, "cannot replace %s: %s\n", output.c_str(),
                 std::strerror(errno));
    std::remove(temporary.c_str());
    return 1;
  }
  const SilverStats& s = converter.stats();
  std::fprintf(err,
               "%zu sentences (%zu eojeol, %zu tokens, %zu morphemes); "
               "%zu left out\n",
               s.sentences, s.eojeols, s.tokens, s.morphemes, s.dropped);
  for (const auto& r : s.dropReasons)
    std::fprintf(err, "  left out: %s: %zu\n", r.first.c_str(), r.second);
  return 0;
}
