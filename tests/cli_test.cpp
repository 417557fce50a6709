// The talmoro program's writer, driver and error reporting, over a
// dictionary compiled from tests/data/basic.lex when the tests start.
#include "cli.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <system_error>
#include <utility>
#include <vector>

#include "knowledge/lexicon_source.h"
#include "writer.h"

namespace {

std::vector<std::string>& tempDirs() {
  static std::vector<std::string> dirs;
  return dirs;
}

// A fresh directory under the temporary folder, removed after the tests.
std::string makeTempDir() {
  char pattern[] = "/tmp/talmoro-cli-test-XXXXXX";
  const char* dir = mkdtemp(pattern);
  if (dir == nullptr) return "";
  tempDirs().push_back(dir);
  return dir;
}

class TempDirCleanup : public ::testing::Environment {
 public:
  void TearDown() override {
    for (const std::string& d : tempDirs()) {
      std::error_code ignored;
      std::filesystem::remove_all(d, ignored);
    }
  }
};
const ::testing::Environment* const kCleanup =
    ::testing::AddGlobalTestEnvironment(new TempDirCleanup);

void writeFile(const std::string& path, const std::string& content) {
  FILE* fp = std::fopen(path.c_str(), "wb");
  ASSERT_NE(fp, nullptr) << path;
  std::fwrite(content.data(), 1, content.size(), fp);
  std::fclose(fp);
}

std::string readAll(FILE* fp) {
  std::fflush(fp);
  std::rewind(fp);
  std::string s;
  char buffer[4096];
  size_t n;
  while ((n = std::fread(buffer, 1, sizeof buffer, fp)) > 0) s.append(buffer, n);
  return s;
}

std::string readFile(const std::string& path) {
  FILE* fp = std::fopen(path.c_str(), "rb");
  if (fp == nullptr) return "<missing>";
  std::string s = readAll(fp);
  std::fclose(fp);
  return s;
}

// A temporary stream holding `content`, positioned at its start.
FILE* streamOf(const std::string& content) {
  FILE* fp = std::tmpfile();
  std::fwrite(content.data(), 1, content.size(), fp);
  std::rewind(fp);
  return fp;
}

// The dictionary of basic.lex, compiled once for all tests.
const std::string& fixtureDictionary() {
  static const std::string dir = [] {
    const std::string d = makeTempDir();
    if (d.empty() ||
        compileSourceFile(TALMORO_TEST_DATA "/basic.lex", d.c_str(), stderr) != 0)
      return std::string();
    return d;
  }();
  return dir;
}

class CliTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_FALSE(fixtureDictionary().empty()) << "basic.lex does not compile";
    std::string error;
    ASSERT_TRUE(engine_.loadDictionary(fixtureDictionary(), &error)) << error;
  }

  // Output and messages of the driver over `input`.
  std::string run(const std::string& input, const RunSettings& settings,
                  std::string* errors = nullptr, int* status = nullptr) {
    FILE* in = streamOf(input);
    FILE* out = std::tmpfile();
    FILE* err = std::tmpfile();
    const int rc = runLines(in, out, err, engine_, settings);
    std::string text = readAll(out);
    if (errors != nullptr) *errors = readAll(err);
    if (status != nullptr) *status = rc;
    std::fclose(in);
    std::fclose(out);
    std::fclose(err);
    return text;
  }

  std::string run(const std::string& input, OutputFormat format,
                  bool analyze = false) {
    RunSettings settings;
    settings.format = format;
    settings.analyze = analyze;
    return run(input, settings);
  }

  // The score the engine gives the best analysis of a word, as written.
  std::string bestScore(const char* word) {
    Analyzer* a = Analyzer::createObject(engine_.knowledge());
    Candidate* c = Candidate::createObject();
    a->process(word, c);
    char buffer[32];
    std::snprintf(buffer, sizeof buffer, "%.6g", c->get(0)->score());
    Candidate::destroyObject(c);
    Analyzer::destroyObject(a);
    return buffer;
  }

  Engine engine_;
};

// The program as a whole: status, output and messages.
struct CliRun {
  int status;
  std::string out;
  std::string err;
};

CliRun runProgram(std::vector<const char*> argv, const std::string& input = "") {
  argv.insert(argv.begin(), "talmoro");
  FILE* in = streamOf(input);
  FILE* out = std::tmpfile();
  FILE* err = std::tmpfile();
  CliRun r;
  r.status = runCli(static_cast<int>(argv.size()), argv.data(), in, out, err);
  r.out = readAll(out);
  r.err = readAll(err);
  std::fclose(in);
  std::fclose(out);
  std::fclose(err);
  return r;
}

TEST_F(CliTest, FourFormatsOfATaggedSentence) {
  const std::string line = "학교에 사람이\n";
  EXPECT_EQ(run(line, OutputFormat::kText),
            "학교에\t학교/nng+에/jkb\n사람이\t사람/nng+이/jks\n\n");
  EXPECT_EQ(run(line, OutputFormat::kMorphs),
            "학교/nng 에/jkb 사람/nng 이/jks\n");
  // Offsets count units of the whole line.
  EXPECT_EQ(run(line, OutputFormat::kJson),
            "{\"text\":\"학교에 사람이\",\"eojeols\":["
            "{\"eojeol\":\"학교에\",\"morphemes\":["
            "{\"lexicon\":\"학교\",\"tag\":\"nng\",\"start\":0,\"end\":2},"
            "{\"lexicon\":\"에\",\"tag\":\"jkb\",\"start\":2,\"end\":3}],"
            "\"score\":" + bestScore("학교에") + "},"
            "{\"eojeol\":\"사람이\",\"morphemes\":["
            "{\"lexicon\":\"사람\",\"tag\":\"nng\",\"start\":4,\"end\":6},"
            "{\"lexicon\":\"이\",\"tag\":\"jks\",\"start\":6,\"end\":7}],"
            "\"score\":" + bestScore("사람이") + "}]}\n");
  EXPECT_EQ(run(line + line, OutputFormat::kConllu),
            "# sent_id = 1\n# text = 학교에 사람이\n"
            "1\t학교에\t학교+에\t_\tNNG+JKB\t_\t_\t_\t_\t_\n"
            "2\t사람이\t사람+이\t_\tNNG+JKS\t_\t_\t_\t_\t_\n\n"
            "# sent_id = 2\n# text = 학교에 사람이\n"
            "1\t학교에\t학교+에\t_\tNNG+JKB\t_\t_\t_\t_\t_\n"
            "2\t사람이\t사람+이\t_\tNNG+JKS\t_\t_\t_\t_\t_\n\n");
}

TEST_F(CliTest, EmptyAndBlankLinesKeepTheirPlace) {
  const std::string input = "책\n\n \t \r\n책\n";
  EXPECT_EQ(run(input, OutputFormat::kMorphs), "책/nng\n\n\n책/nng\n");
  EXPECT_EQ(run(input, OutputFormat::kText), "책\t책/nng\n\n\n\n책\t책/nng\n\n");
  EXPECT_EQ(run("\n", OutputFormat::kJson), "{\"text\":\"\",\"eojeols\":[]}\n");
  // A line without a final line break is a line; a CR before LF is dropped.
  EXPECT_EQ(run("책\r\n책", OutputFormat::kJson),
            "{\"text\":\"책\",\"eojeols\":[{\"eojeol\":\"책\",\"morphemes\":["
            "{\"lexicon\":\"책\",\"tag\":\"nng\",\"start\":0,\"end\":1}],"
            "\"score\":" + bestScore("책") + "}]}\n"
            "{\"text\":\"책\",\"eojeols\":[{\"eojeol\":\"책\",\"morphemes\":["
            "{\"lexicon\":\"책\",\"tag\":\"nng\",\"start\":0,\"end\":1}],"
            "\"score\":" + bestScore("책") + "}]}\n");
}

TEST_F(CliTest, AnalyzeModeListsEveryAnalysis) {
  Analyzer* a = Analyzer::createObject(engine_.knowledge());
  Candidate* c = Candidate::createObject();
  ASSERT_EQ(a->process("나는", c), 2u);
  char first[32], second[32];
  std::snprintf(first, sizeof first, "%.6g", c->get(0)->score());
  std::snprintf(second, sizeof second, "%.6g", c->get(1)->score());
  Candidate::destroyObject(c);
  Analyzer::destroyObject(a);

  EXPECT_EQ(run("책 나는\n", OutputFormat::kText, true),
            "책\t1\t책/nng\t" + bestScore("책") + "\n" +
            "나는\t1\t나/np+는/jx\t" + first + "\n" +
            "나는\t2\t나/vv+는/etm\t" + second + "\n\n");
  // json: candidates per word, offsets moved to the line.
  EXPECT_EQ(run("책  나는\n", OutputFormat::kJson, true),
            "{\"text\":\"책  나는\",\"eojeols\":["
            "{\"eojeol\":\"책\",\"candidates\":[{\"rank\":1,\"morphemes\":["
            "{\"lexicon\":\"책\",\"tag\":\"nng\",\"start\":0,\"end\":1}],"
            "\"score\":" + bestScore("책") + "}]},"
            "{\"eojeol\":\"나는\",\"candidates\":["
            "{\"rank\":1,\"morphemes\":["
            "{\"lexicon\":\"나\",\"tag\":\"np\",\"start\":3,\"end\":4},"
            "{\"lexicon\":\"는\",\"tag\":\"jx\",\"start\":4,\"end\":5}],"
            "\"score\":" + first + "},"
            "{\"rank\":2,\"morphemes\":["
            "{\"lexicon\":\"나\",\"tag\":\"vv\",\"start\":3,\"end\":4},"
            "{\"lexicon\":\"는\",\"tag\":\"etm\",\"start\":4,\"end\":5}],"
            "\"score\":" + second + "}]}]}\n");
  // One analysis per word where the format has room for one: the best.
  EXPECT_EQ(run("책 나는\n", OutputFormat::kMorphs, true), "책/nng 나/np 는/jx\n");
}

// Output longer than the writer's gathering buffer (a few KiB) comes out
// whole and in order: a word's analysis does not depend on its neighbours,
// so a long line in analyse mode is the lines of its words, joined.
TEST_F(CliTest, LongLinesAreWrittenWhole) {
  const char* const words[] = {"학교에", "사람이", "나는", "책을", "ABC"};
  std::string line;
  std::string morphs;
  std::string text;
  for (int i = 0; i < 3000; ++i) {
    const std::string word = words[i % 5];
    if (i > 0) {
      line += ' ';
      morphs += ' ';
    }
    line += word;
    std::string one = run(word + "\n", OutputFormat::kMorphs, true);
    one.pop_back();
    morphs += one;
    std::string block = run(word + "\n", OutputFormat::kText, true);
    block.pop_back();  // the blank line that ends the line's block
    text += block;
  }
  ASSERT_GT(morphs.size(), 40000u);
  EXPECT_EQ(run(line + "\n", OutputFormat::kMorphs, true), morphs + "\n");
  EXPECT_EQ(run(line + "\n", OutputFormat::kText, true), text + "\n");
  const std::string tagged = run(line + "\n", OutputFormat::kText);
  EXPECT_EQ(std::count(tagged.begin(), tagged.end(), '\n'), 3001);
  EXPECT_EQ(tagged.substr(tagged.size() - 2), "\n\n");
}

TEST_F(CliTest, InvalidUtf8LineIsReportedAndKeepsAlignment) {
  const std::string input = "책\n\xff\xfe 학교\n나\xC0\xAF\n책\n\xED\xA0\x80\n";
  std::string errors;
  int status = -1;
  RunSettings settings;
  settings.format = OutputFormat::kMorphs;
  EXPECT_EQ(run(input, settings, &errors, &status),
            "책/nng\n\n\n책/nng\n\n");
  EXPECT_EQ(status, 0);
  EXPECT_EQ(errors,
            "talmoro: line 2: not valid UTF-8\n"
            "talmoro: line 3: not valid UTF-8\n"
            "talmoro: line 5: not valid UTF-8\n");

  // json still writes one valid object per line, and says why it is empty.
  settings.format = OutputFormat::kJson;
  const std::string json = run("\xff" "a\"\n", settings, &errors);
  EXPECT_EQ(json,
            "{\"text\":\"\xEF\xBF\xBD" "a\\\"\",\"eojeols\":[],"
            "\"error\":\"not valid UTF-8\"}\n");
  EXPECT_TRUE(isValidUtf8(json.substr(0, json.size() - 1)));

  // A NUL byte is named as such.
  settings.format = OutputFormat::kMorphs;
  EXPECT_EQ(run(std::string("책\0책\n책\n", 12), settings, &errors),
            "\n책/nng\n");
  EXPECT_EQ(errors, "talmoro: line 1: contains a NUL byte\n");
}

TEST_F(CliTest, ThreadsGiveTheOutputOfOneThread) {
  const char* const lines[] = {"학교에 사람이", "", "나는 책을 먹고",
                               "\xff", "ABC 123 漢字!", "것 개 에서",
                               "   ", "가다 갈 는데"};
  std::string input;
  for (int i = 0; i < 1500; ++i) {
    input += lines[i % 8];
    if (i % 97 == 0) input += " 사람";  // lines differ along the input
    input += "\n";
  }
  for (OutputFormat format : {OutputFormat::kText, OutputFormat::kMorphs,
                              OutputFormat::kJson, OutputFormat::kConllu}) {
    for (bool analyze : {false, true}) {
      RunSettings one;
      one.format = format;
      one.analyze = analyze;
      std::string oneErrors;
      const std::string expected = run(input, one, &oneErrors);
      RunSettings many = one;
      many.threads = 4;
      many.chunkLines = 7;  // many chunks finishing out of order
      std::string manyErrors;
      EXPECT_EQ(run(input, many, &manyErrors), expected)
          << "format " << static_cast<int>(format) << " analyze " << analyze;
      EXPECT_EQ(manyErrors, oneErrors);
    }
  }
  RunSettings morphs;
  morphs.format = OutputFormat::kMorphs;
  morphs.threads = 3;
  const std::string out = run(input, morphs);
  EXPECT_EQ(std::count(out.begin(), out.end(), '\n'), 1500);
}

TEST(WriterTest, JsonStringsAreEscapedAndValidUtf8) {
  std::string s;
  appendJsonString(&s, std::string("a\"b\\c/\n\r\t\b\f\x01\x1f\x7f"));
  EXPECT_EQ(s, "\"a\\\"b\\\\c/\\n\\r\\t\\b\\f\\u0001\\u001f\x7f\"");

  s.clear();
  appendJsonString(&s, std::string("한\xF0\x9F\x98\x80 \xE2\x80\xA8"));
  EXPECT_EQ(s, "\"한\xF0\x9F\x98\x80 \xE2\x80\xA8\"");

  // Each byte that is not part of a well-formed sequence becomes U+FFFD:
  // a stray continuation, a truncated sequence, overlong forms, surrogates
  // and a code point past U+10FFFF.
  const std::string bad[] = {"\x80",         "\xE2\x82",         "\xC0\xAF",
                             "\xE0\x9F\xBF", "\xED\xA0\x80",     "\xED\xBF\xBF",
                             "\xF4\x90\x80\x80"};
  for (const std::string& b : bad) {
    s.clear();
    appendJsonString(&s, "x" + b + "y");
    std::string expected = "\"x";
    for (size_t i = 0; i < b.size(); ++i) expected += "\xEF\xBF\xBD";
    EXPECT_EQ(s, expected + "y\"") << "bytes of length " << b.size();
    EXPECT_TRUE(isValidUtf8(s));
    EXPECT_FALSE(isValidUtf8(b));
  }
  // An embedded NUL is escaped, never cut.
  s.clear();
  appendJsonString(&s, std::string("a\0b", 3));
  EXPECT_EQ(s, "\"a\\u0000b\"");
  EXPECT_FALSE(isValidUtf8(std::string("a\0b", 3)));
  EXPECT_TRUE(isValidUtf8(""));
  // The three-byte forms next to the overlong ones and the surrogates.
  EXPECT_TRUE(isValidUtf8("\xE0\xA0\x80\xED\x9F\xBF\xEE\x80\x80"));
}

// A sentence built by hand: the writer sees only the interfaces.
class FakeResult : public Result {
 public:
  struct M {
    std::string lexicon, tag;
    unsigned long start, end;
  };
  FakeResult(std::vector<M> ms, float score) : ms_(std::move(ms)), score_(score) {}
  unsigned long size() const override { return ms_.size(); }
  const char* lexicon(int i) const override { return ms_[i].lexicon.c_str(); }
  const char* posTag(int i) const override { return ms_[i].tag.c_str(); }
  pos_t pos(int) const override { return pos_t(0); }
  unsigned long startOffset(int i) const override { return ms_[i].start; }
  unsigned long endOffset(int i) const override { return ms_[i].end; }
  unsigned long length(int i) const override { return ms_[i].end - ms_[i].start; }
  float score() const override { return score_; }

 private:
  std::vector<M> ms_;
  float score_;
};

class FakeEojul : public Eojul {
 public:
  FakeEojul(std::string word, FakeResult result)
      : word_(std::move(word)), result_(std::move(result)) {}
  const char* eojul() const override { return word_.c_str(); }
  const Result* result() const override { return &result_; }

 private:
  std::string word_;
  FakeResult result_;
};

class FakeSentence : public Sentence {
 public:
  void clear() override { words_.clear(); }
  unsigned long size() const override { return words_.size(); }
  const Eojul* get(unsigned long i) const override {
    return i < words_.size() ? &words_[i] : nullptr;
  }
  std::vector<FakeEojul> words_;
};

TEST(WriterTest, SymbolsInMorphemesStayReadable) {
  FakeSentence s;
  s.words_.emplace_back("\"a\"", FakeResult({{"\"", "sso", 0, 1},
                                             {"a", "sl", 1, 2},
                                             {"\"", "ssc", 2, 3}},
                                            1.5f));
  s.words_.emplace_back("1/2", FakeResult({{"1/2", "sn", 4, 7}},
                                          std::nanf("")));
  std::string out;
  Writer(OutputFormat::kJson).writeTagged("\"a\" 1/2", 1, s, &out);
  EXPECT_EQ(out,
            "{\"text\":\"\\\"a\\\" 1/2\",\"eojeols\":["
            "{\"eojeol\":\"\\\"a\\\"\",\"morphemes\":["
            "{\"lexicon\":\"\\\"\",\"tag\":\"sso\",\"start\":0,\"end\":1},"
            "{\"lexicon\":\"a\",\"tag\":\"sl\",\"start\":1,\"end\":2},"
            "{\"lexicon\":\"\\\"\",\"tag\":\"ssc\",\"start\":2,\"end\":3}],"
            "\"score\":1.5},"
            "{\"eojeol\":\"1/2\",\"morphemes\":["
            "{\"lexicon\":\"1/2\",\"tag\":\"sn\",\"start\":4,\"end\":7}],"
            "\"score\":null}]}\n");  // JSON has no NaN

  out.clear();
  Writer(OutputFormat::kConllu).writeTagged("\"a\"\t1/2", 7, s, &out);
  EXPECT_EQ(out,
            "# sent_id = 7\n# text = \"a\" 1/2\n"  // the tab kept on one line
            "1\t\"a\"\t\"+a+\"\t_\tSSO+SL+SSC\t_\t_\t_\t_\t_\n"
            "2\t1/2\t1/2\t_\tSN\t_\t_\t_\t_\t_\n\n");
}

TEST(WriterTest, LatinMorphemesKeepTheCaseOfTheLine) {
  // The analyzer reads lower-cased text; an sl morpheme is written as the
  // line spells it at its offsets (counted past a code point outside the
  // BMP, one unit), other tags and mismatching text keep their lexicon.
  FakeSentence s;
  s.words_.emplace_back("FAQ는", FakeResult({{"faq", "sl", 2, 5},
                                              {"는", "jx", 5, 6}},
                                             1.0f));
  s.words_.emplace_back("Rim", FakeResult({{"rim", "nng", 7, 10}}, 1.0f));
  s.words_.emplace_back("TV", FakeResult({{"xy", "sl", 11, 13}}, 1.0f));
  std::string out;
  Writer(OutputFormat::kMorphs).writeTagged("\xF0\x9D\x90\x80 FAQ\xEB\x8A\x94 Rim TV", 1,
                                            s, &out);
  EXPECT_EQ(out, "FAQ/sl \xEB\x8A\x94/jx rim/nng xy/sl\n");
  out.clear();
  Writer(OutputFormat::kConllu).writeTagged("\xF0\x9D\x90\x80 FAQ\xEB\x8A\x94 Rim TV", 1,
                                            s, &out);
  EXPECT_NE(out.find("\tFAQ+\xEB\x8A\x94\t"), std::string::npos) << out;
  // Offsets beyond the line leave the lexicon as it is.
  FakeSentence far;
  far.words_.emplace_back("AB", FakeResult({{"ab", "sl", 5, 7}}, 1.0f));
  out.clear();
  Writer(OutputFormat::kText).writeTagged("AB", 1, far, &out);
  EXPECT_EQ(out, "AB\tab/sl\n\n");
}

TEST(WriterTest, WordsSplitWhereTheTaggerSplits) {
  using Words = std::vector<std::pair<std::string, unsigned long>>;
  EXPECT_EQ(splitWords(" 학교에\t\t사람 \r\nx"),
            (Words{{"학교에", 1}, {"사람", 6}, {"x", 11}}));
  // Above U+FFFF the engine reads a space: the word ends there.
  EXPECT_EQ(splitWords("가\xF0\x9F\x98\x80나"), (Words{{"가", 0}, {"나", 2}}));
  // No-break and ideographic spaces are inside words.
  EXPECT_EQ(splitWords("가\xC2\xA0나\xE3\x80\x80다"),
            (Words{{"가\xC2\xA0나\xE3\x80\x80다", 0}}));
  EXPECT_TRUE(splitWords(" \t ").empty());
  // hasWords agrees with splitWords.
  for (const char* line : {" \t ", "", "\xF0\x9F\x98\x80 \r\n", " x",
                           "\xC2\xA0", " 학교에 "})
    EXPECT_EQ(hasWords(line), !splitWords(line).empty()) << line;

  OutputFormat f;
  EXPECT_TRUE(parseOutputFormat("conllu", &f));
  EXPECT_EQ(f, OutputFormat::kConllu);
  EXPECT_FALSE(parseOutputFormat("JSON", &f));
  EXPECT_FALSE(parseOutputFormat("", &f));
}

TEST_F(CliTest, LoadFailuresNameThePathAndTheFile) {
  CliRun r = runProgram({"-d", "/nonexistent/dic"});
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.err, "talmoro: cannot load dictionary /nonexistent/dic: no such directory\n");
  EXPECT_EQ(r.out, "");

  const std::string dir = makeTempDir();
  ASSERT_FALSE(dir.empty());
  r = runProgram({"-d", dir.c_str()});
  EXPECT_EQ(r.err, "talmoro: cannot load dictionary " + dir + ": sys.tri cannot be opened\n");

  const std::string tri = readFile(fixtureDictionary() + "/sys.tri");
  writeFile(dir + "/sys.tri", tri);
  r = runProgram({"-d", dir.c_str()});
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.err, "talmoro: cannot load dictionary " + dir + ": sys.idx cannot be opened\n");

  writeFile(dir + "/sys.idx", "12345");
  r = runProgram({"-d", dir.c_str()});
  EXPECT_EQ(r.err, "talmoro: cannot load dictionary " + dir +
                       ": sys.idx is damaged (its size is not a multiple of 4)\n");

  writeFile(dir + "/sys.idx", readFile(fixtureDictionary() + "/sys.idx"));
  r = runProgram({"-d", dir.c_str()});
  EXPECT_EQ(r.err, "talmoro: cannot load dictionary " + dir + ": sys.dat cannot be opened\n");

  // Model and user dictionary, given but missing.
  const char* fixture = fixtureDictionary().c_str();
  r = runProgram({"-d", fixture, "-m", dir.c_str()});
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.err, "talmoro: cannot load model " + dir + ": mtrans.frq cannot be opened\n");
  writeFile(dir + "/mtrans.frq", "");
  r = runProgram({"-d", fixture, "-m", dir.c_str()});
  EXPECT_EQ(r.err, "talmoro: cannot load model " + dir + ": etrans.frq cannot be opened\n");
  r = runProgram({"-d", fixture, "-m", "/nonexistent/model"});
  EXPECT_EQ(r.err, "talmoro: cannot load model /nonexistent/model: no such directory\n");
  r = runProgram({"-d", fixture, "-u", "/nonexistent/user.dic"});
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.err, "talmoro: cannot load user dictionary /nonexistent/user.dic: "
                   "it cannot be opened\n");

  // An unreadable input, and no output file left behind.
  const std::string output = dir + "/out.txt";
  r = runProgram({"-d", fixture, "-a", "-i", "/nonexistent/in.txt", "-o",
                  output.c_str()});
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.err, "talmoro: cannot open input /nonexistent/in.txt: "
                   "No such file or directory\n");
  struct stat info;
  EXPECT_NE(stat(output.c_str(), &info), 0);
  r = runProgram({"-d", fixture, "-a", "-i", dir.c_str()});
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.err, "talmoro: cannot read " + dir + ": Is a directory\n");
}

TEST_F(CliTest, ProgramReadsFilesAndOptions) {
  const std::string dir = makeTempDir();
  const std::string input = dir + "/in.txt";
  const std::string output = dir + "/out.txt";
  writeFile(input, "학교에\n책\n");
  CliRun r = runProgram({"-d", fixtureDictionary().c_str(), "-a", "-s", "-f",
                         "morphs", "-t", "2", "-i", input.c_str(), "-o",
                         output.c_str()});
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.err, "");
  EXPECT_EQ(r.out, "");
  EXPECT_EQ(readFile(output), "학교/nng 에/jkb\n책/nng\n");

  // Standard input when no -i is given.
  r = runProgram({"--dic", fixtureDictionary().c_str(), "--analyze",
                  "--format", "morphs"}, "책\n");
  EXPECT_EQ(r.out, "책/nng\n");

  r = runProgram({"-f", "xml"});
  EXPECT_EQ(r.status, 2);
  EXPECT_EQ(r.err.rfind("talmoro: unknown format 'xml' (choose text, morphs, "
                        "json or conllu)\nUsage) talmoro <options>\n", 0), 0u)
      << r.err;
  for (const char* bad : {"0", "x", "2x", "100000", ""}) {
    r = runProgram({"-t", bad});
    EXPECT_EQ(r.status, 2) << bad;
    EXPECT_NE(r.err.find("talmoro: --threads needs a number from 1 to 256"),
              std::string::npos) << r.err;
  }
  r = runProgram({"--frobnicate"});
  EXPECT_EQ(r.status, 2);
  EXPECT_EQ(r.err.rfind("talmoro: cannot recognize option: --frobnicate\n", 0), 0u);

  r = runProgram({"-h"});
  EXPECT_EQ(r.status, 0);
  EXPECT_NE(r.out.find("Usage) talmoro <options>"), std::string::npos);
  EXPECT_NE(r.out.find("-f, --format <arg>"), std::string::npos);
  EXPECT_NE(r.out.find("one input line is one sentence"), std::string::npos);
}

TEST(CliPathsTest, DefaultsBesideTheProgramThenUnderShare) {
  EXPECT_EQ(defaultCandidates("/opt/t/bin", "dic"),
            (std::vector<std::string>{"/opt/t/bin/dic", "/opt/t/share/talmoro/dic"}));
  EXPECT_EQ(defaultCandidates("/", "model"),
            (std::vector<std::string>{"/model", "/share/talmoro/model"}));
  EXPECT_TRUE(defaultCandidates("", "dic").empty());

  // The test program lives in the build's tests/ folder.
  const std::string exe = executableDir();
  EXPECT_EQ(exe.substr(exe.rfind('/') + 1), "tests");
  EXPECT_EQ(firstDirectory({"/nonexistent", TALMORO_TEST_DATA, "/"}),
            TALMORO_TEST_DATA);
  EXPECT_EQ(firstDirectory({TALMORO_TEST_DATA "/basic.lex"}), "");
}

}  // namespace
