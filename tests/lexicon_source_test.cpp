#include "knowledge/lexicon_source.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "base/revision.h"
#include "knowledge/knowledge_impl.h"
#include "knowledge/lexicon_builder.h"
#include "pos/pos.h"
#include "record_text.h"

namespace fs = std::filesystem;

namespace {

const std::string kBasic = std::string(TALMORO_TEST_DATA) + "/basic.lex";

// A fresh directory under the system's temporary directory, removed on exit.
class TempDir {
 public:
  TempDir() {
    std::string pattern = (fs::temp_directory_path() / "lexsrcXXXXXX").string();
    std::vector<char> buf(pattern.begin(), pattern.end());
    buf.push_back('\0');
    path_ = mkdtemp(buf.data());
  }
  ~TempDir() {
    std::error_code ec;
    fs::remove_all(path_, ec);
  }
  const std::string& path() const { return path_; }

 private:
  std::string path_;
};

void writeText(const std::string& path, const std::string& text) {
  std::ofstream out(path, std::ios::binary);
  out << text;
}

std::string readText(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

// Parses one line that must be good.
SourceEntry goodLine(const std::string& line) {
  SourceEntry entry;
  std::string message;
  EXPECT_TRUE(parseSourceLine(line, &entry, &message)) << line << ": "
                                                        << message;
  return entry;
}

// The error message of a line that must be bad.
std::string badLine(const std::string& line) {
  SourceEntry entry;
  std::string message;
  EXPECT_FALSE(parseSourceLine(line, &entry, &message)) << line;
  EXPECT_TRUE(entry.analyses.empty());
  return message;
}

std::vector<unsigned short> units(const char* text) {
  std::vector<unsigned short> u = utf8ToUnits(text);
  u.pop_back();
  return u;
}

// Compiles source text and loads the result from files into a dictionary.
void compileAndLoad(const std::string& source, const TempDir& dir,
                    KnowledgeImpl* dic) {
  std::vector<SourceEntry> entries;
  std::vector<SourceError> errors;
  ASSERT_TRUE(parseSource(source, &entries, &errors));
  CompiledLexicon lexicon;
  ASSERT_TRUE(compileEntries(entries, &lexicon));
  std::string message;
  ASSERT_TRUE(writeLexicon(lexicon, dir.path(), &message)) << message;
  ASSERT_EQ(0, dic->load(dir.path().c_str()));
}

TEST(LexiconSourceTest, ParsesMorphemesTagsAndSurfaceFlags) {
  SourceEntry e = goodLine("갈\t갈/vv   가/vv+~ㄹ/etm");
  EXPECT_EQ(units("갈"), e.surface);
  ASSERT_EQ(2u, e.analyses.size());
  ASSERT_EQ(1u, e.analyses[0].morphemes.size());
  EXPECT_EQ(VV, e.analyses[0].morphemes[0].tag);
  EXPECT_TRUE(e.analyses[0].morphemes[0].spelled);
  EXPECT_EQ(0, e.analyses[0].flag);
  const auto& m = e.analyses[1].morphemes;
  ASSERT_EQ(2u, m.size());
  EXPECT_EQ(units("가"), m[0].text);
  EXPECT_TRUE(m[0].spelled);
  EXPECT_EQ(units("ㄹ"), m[1].text);
  EXPECT_EQ(ETM, m[1].tag);
  EXPECT_FALSE(m[1].spelled);

  // Tagless entry, raw code, lexicon holding "/" (split at the last one),
  // escaped separators, empty lexicon, keys kept in their case.
  e = goodLine("ABC 해/vv+~ㄹ/_ x/y/sl \\+\\~/sw+/0x00208000 A\\ B/sl");
  EXPECT_EQ(units("ABC"), e.surface);
  ASSERT_EQ(4u, e.analyses.size());
  EXPECT_EQ(POS_ZERO, e.analyses[0].morphemes[1].tag);
  EXPECT_EQ(units("x/y"), e.analyses[1].morphemes[0].text);
  EXPECT_EQ(SL, e.analyses[1].morphemes[0].tag);
  ASSERT_EQ(2u, e.analyses[2].morphemes.size());
  EXPECT_EQ(units("+~"), e.analyses[2].morphemes[0].text);
  EXPECT_TRUE(e.analyses[2].morphemes[0].spelled);
  EXPECT_TRUE(e.analyses[2].morphemes[1].text.empty());
  EXPECT_EQ(VCP, e.analyses[2].morphemes[1].tag);
  EXPECT_EQ(units("A B"), e.analyses[3].morphemes[0].text);

  // Blank and comment lines give no entry; a comment may follow the fields.
  EXPECT_TRUE(goodLine("").surface.empty());
  EXPECT_TRUE(goodLine("   \t ").surface.empty());
  EXPECT_TRUE(goodLine("# 학교 학교/nng").surface.empty());
  e = goodLine("책 책/nng # a note");
  EXPECT_EQ(1u, e.analyses.size());
  e = goodLine("\\# \\#/sw");
  EXPECT_EQ(units("#"), e.surface);
}

TEST(LexiconSourceTest, MarkersChooseTheirLexiconAndCombine) {
  // Bare markers: the first morpheme's class picks the lexicon.
  SourceAnalysis a = goodLine("는데 는데/ec[+지정사,-형용사]").analyses[0];
  EXPECT_EQ(LEXICON_FLAG_ATTRIBUTE, a.flag);
  EXPECT_EQ(0x400u | 0x40u, a.attribute);
  a = goodLine("은 은/jx[@유종성, 보조사-]").analyses[0];
  EXPECT_EQ(0x2u | 0x20u, a.attribute);
  a = goodLine("어 어/ec[보조사-]").analyses[0];
  EXPECT_EQ(0x100u, a.attribute);  // the ending lexicon's bit
  a = goodLine("개 개/nnb[@단위,+의존]").analyses[0];
  EXPECT_EQ(0x3u, a.attribute);
  a = goodLine("시 시/ep[-동사]").analyses[0];
  EXPECT_EQ(0x20u, a.attribute);  // ep is an ending too

  // Explicit lexicons, clue flag, raw bits, explicit flag byte.
  a = goodLine("들 들/xsn[clue:+1음절명사,clue:어미+]").analyses[0];
  EXPECT_EQ(LEXICON_FLAG_CLUE, a.flag);
  EXPECT_EQ(0x1u | 0x200000u, a.attribute);
  a = goodLine("요 요/jx[eomi:+지정사,josa:@체언,nnb:-의존]").analyses[0];
  EXPECT_EQ(1, a.flag);
  EXPECT_EQ(0x400u | 0x8u | 0x4u, a.attribute);
  a = goodLine("x x/vv[0x80000000]").analyses[0];
  EXPECT_EQ(0x80000000u, a.attribute);
  EXPECT_EQ(1, a.flag);
  a = goodLine("x x/nng[clue:0x10]").analyses[0];
  EXPECT_EQ(2, a.flag);
  a = goodLine("x x/nng[flag:7,0x5]").analyses[0];
  EXPECT_EQ(7, a.flag);
  EXPECT_EQ(0x5u, a.attribute);
  a = goodLine("x x/nng[flag:0x3]").analyses[0];
  EXPECT_EQ(3, a.flag);
  EXPECT_EQ(0u, a.attribute);
}

TEST(LexiconSourceTest, RejectsMalformedLines) {
  auto has = [](const std::string& message, const char* part) {
    return message.find(part) != std::string::npos;
  };
  EXPECT_TRUE(has(badLine("학교"), "without analysis"));
  EXPECT_TRUE(has(badLine("학교 학교nng"), "no \"/\""));
  EXPECT_TRUE(has(badLine("학교 학교/NNG"), "unknown tag \"NNG\""));
  EXPECT_TRUE(has(badLine("학교 학교/vcx"), "unknown tag"));
  EXPECT_TRUE(has(badLine("학교 학교/"), "unknown tag"));
  EXPECT_TRUE(has(badLine("x x/0x221"), "bit 0"));
  EXPECT_TRUE(has(badLine("x a/nng++b/nng"), "empty morpheme"));
  EXPECT_TRUE(has(badLine("x a/nng+"), "empty morpheme"));
  EXPECT_TRUE(has(badLine("x x/ec[@없음]"), "no ending marker"));
  EXPECT_TRUE(has(badLine("x x/vv[@유종성]"), "needs a lexicon prefix"));
  EXPECT_TRUE(has(badLine("x x/jks[eomi:@체언]"), "no ending marker"));
  EXPECT_TRUE(has(badLine("x x/ec[+지정사,clue:어미+]"), "clue markers"));
  EXPECT_TRUE(has(badLine("x x/nng[0x8,clue:0x10]"), "clue markers"));
  EXPECT_TRUE(has(badLine("x x/ec[]"), "empty attribute marker"));
  EXPECT_TRUE(has(badLine("x x/ec[+지정사,]"), "empty attribute marker"));
  EXPECT_TRUE(has(badLine("x x/ec[flag:0,+지정사]"), "flag 0"));
  EXPECT_TRUE(has(badLine("x x/ec[flag:256]"), "no byte value"));
  EXPECT_TRUE(has(badLine("x x/ec[+지정사"), "without \"]\""));
  EXPECT_TRUE(has(badLine("x x/ec[+지정사]y"), "text after"));
  EXPECT_TRUE(has(badLine("x x/ec]"), "without \"[\""));
  EXPECT_TRUE(has(badLine("x x/ec\\"), "backslash"));
  EXPECT_TRUE(has(badLine("\xff x/nng"), "not valid UTF-8"));
  EXPECT_TRUE(has(badLine("x \xc3/nng"), "not valid UTF-8"));
  // The byte-count revision of the conversion finds a four-byte sequence
  // malformed.
  EXPECT_TRUE(has(badLine("\xf0\x9f\x98\x80 x/nng"),
                  revision::UTF8_BYTE_COUNT ? "not valid UTF-8"
                                            : "Basic Multilingual"));
  // The message names the analysis that failed.
  EXPECT_TRUE(has(badLine("가 가/vv 가/jks[@없음]"), "analysis 2 (가/jks[@없음])"));

  std::string longest(127, 'a');
  EXPECT_EQ(127u, goodLine("x " + longest + "/sl").analyses[0]
                      .morphemes[0].text.size());
  EXPECT_TRUE(has(badLine("x " + longest + "a/sl"), "more than 127"));
  EXPECT_TRUE(has(badLine("x ~" + longest + "a/sl"), "more than 127"));
}

TEST(LexiconSourceTest, ParseSourceReportsEveryBadLineByNumber) {
  std::string text =
      "\xEF\xBB\xBF# header\r\n"
      "학교\t학교/nng\r\n"
      "\n"
      "책 책/NNG\n"
      "사람 사람/nng\n"
      "가 가/vv[@유종성]";  // last line without line break
  std::vector<SourceEntry> entries;
  std::vector<SourceError> errors;
  EXPECT_FALSE(parseSource(text, &entries, &errors));
  ASSERT_EQ(2u, errors.size());
  EXPECT_EQ(4u, errors[0].line);
  EXPECT_EQ(6u, errors[1].line);
  ASSERT_EQ(2u, entries.size());
  EXPECT_EQ(2u, entries[0].line);
  EXPECT_EQ(units("학교"), entries[0].surface);  // BOM and "\r" dropped
  EXPECT_EQ(5u, entries[1].line);
}

TEST(LexiconSourceTest, CompiledRecordsMatchTheSource) {
  std::vector<SourceEntry> entries;
  std::vector<SourceError> errors;
  ASSERT_TRUE(parseSource(
      "가 가/vv 가/jks[@무종성]\n"
      "들 들/xsn[clue:+2음절명사]\n"
      "가 가/vv+~ㄹ/_\n",
      &entries, &errors));
  CompiledLexicon lexicon;
  ASSERT_TRUE(compileEntries(entries, &lexicon));
  // Records in file order: link, flag, [word], entries.
  const membuf& r = lexicon.records;
  EXPECT_EQ(0u, r.read_uint8(4));
  EXPECT_EQ(VV | 1u, r.read_uint32(5));
  EXPECT_EQ(3u, r.read_uint8(9));  // one unit, spelled
  EXPECT_EQ(0xAC00u, r.read_uint16(10));
  // The second record, at 12, follows in the chain: flag 1, word 0x1, 가/jks.
  EXPECT_EQ(12, r.read_int32(size_t{0}));
  EXPECT_EQ(1u, r.read_uint8(16));
  EXPECT_EQ(0x1u, r.read_uint32(17));
  EXPECT_EQ(JKS | 1u, r.read_uint32(21));
  ASSERT_EQ(2u, lexicon.index.size());  // 가 < 들
  EXPECT_EQ(0, lexicon.index[0]);
  EXPECT_FALSE(lexicon.units.empty());

  KnowledgeImpl dic;
  TempDir dir;
  std::string message;
  ASSERT_TRUE(writeLexicon(lexicon, dir.path(), &message)) << message;
  ASSERT_EQ(0, dic.load(dir.path().c_str()));
  EXPECT_EQ((std::vector<std::string>{"가/vv", "가/jks[flag:1,0x1]",
                                      "가/vv+~ㄹ/_"}),
            lookup(dic, "가"));
  EXPECT_EQ(std::vector<std::string>{"들/xsn[flag:2,0x2]"}, lookup(dic, "들"));
  // The files are exactly the structures.
  EXPECT_EQ(lexicon.units.size() * 8,
            fs::file_size(fs::path(dir.path()) / "sys.tri"));
  EXPECT_EQ(8u, fs::file_size(fs::path(dir.path()) / "sys.idx"));
  EXPECT_EQ(r.size(), fs::file_size(fs::path(dir.path()) / "sys.dat"));
  EXPECT_FALSE(fs::exists(fs::path(dir.path()) / "sys.dat.tmp"));
}

TEST(LexiconSourceTest, BasicLexiconRoundTrip) {
  TempDir dir;
  ASSERT_EQ(0, compileSourceFile(kBasic.c_str(), dir.path().c_str(), stderr));
  KnowledgeImpl dic;
  ASSERT_EQ(0, dic.load(dir.path().c_str()));

  // Every analysis of the source comes back, in file order, from a search.
  std::vector<SourceEntry> entries;
  std::vector<SourceError> errors;
  ASSERT_TRUE(parseSource(readText(kBasic), &entries, &errors));
  ASSERT_GE(entries.size(), 20u);
  std::istringstream lines(readText(kBasic));
  std::string line;
  size_t checked = 0;
  while (std::getline(lines, line)) {
    std::istringstream fields(line);
    std::string surface, analysis;
    if (!(fields >> surface) || surface[0] == '#') continue;
    std::vector<std::string> expected;
    while (fields >> analysis) expected.push_back(analysis);
    std::vector<std::string> found = lookup(dic, surface.c_str());
    ASSERT_EQ(expected.size(), found.size()) << surface;
    for (size_t k = 0; k < expected.size(); ++k) {
      // Attribute lists come back as the flag and word.
      size_t bracket = expected[k].find('[');
      EXPECT_EQ(expected[k].substr(0, bracket),
                found[k].substr(0, found[k].find('[')))
          << surface;
      EXPECT_EQ(bracket == std::string::npos,
                found[k].find('[') == std::string::npos);
    }
    ++checked;
  }
  EXPECT_EQ(entries.size(), checked);
  EXPECT_EQ(std::vector<std::string>{"는데/ec[flag:1,0x440]"},
            lookup(dic, "는데"));

  // 가, 가다 and 갈: the key 갈다 finds 갈; the irregular search first finds
  // 가 with the final ㄹ (index 8) split off.
  SearchView plain = searchText(dic, "갈다");
  EXPECT_EQ(std::vector<std::string>{"1:0"}, plain.hits);
  SearchView irregular = searchText(dic, "갈다", true);
  EXPECT_EQ((std::vector<std::string>{"1:8", "1:0"}), irregular.hits);
  EXPECT_EQ("가/jks[flag:1,0x1]", irregular.chains[0].at(0));
  EXPECT_EQ((std::vector<std::string>{"갈/vv", "가/vv+~ㄹ/etm"}),
            irregular.chains[1]);
  EXPECT_EQ((std::vector<std::string>{"1:0", "2:0"}),
            searchText(dic, "가다가").hits);
  EXPECT_TRUE(searchText(dic, "없다").hits.empty());
}

TEST(LexiconBuilderTest, SortsChainsAndValidatesKeys) {
  const unsigned short ga[] = {0xAC00}, gada[] = {0xAC00, 0xB2E4},
                       a[] = {0x41};
  EXPECT_TRUE(sort_by_lexicon({a, 1, 9}, {ga, 1, 0}));  // unsigned units
  EXPECT_TRUE(sort_by_lexicon({ga, 1, 9}, {gada, 2, 0}));  // prefix first
  EXPECT_TRUE(sort_by_lexicon({ga, 1, 0}, {ga, 1, 9}));  // then by offset
  EXPECT_FALSE(sort_by_lexicon({ga, 1, 9}, {ga, 1, 0}));

  membuf records(64, 64);
  std::vector<int32_t> offsets;
  for (int k = 0; k < 3; ++k) {
    offsets.push_back(static_cast<int32_t>(appendRecordStart(&records)));
    appendRecordAttribute(&records, 0, 0);
    markLastMorpheme(&records, appendRecordMorpheme(&records, NNG, ga, 1,
                                                    true));
  }
  EXPECT_EQ(membuf::npos,
            appendRecordMorpheme(&records, NNG | 1u, ga, 1, true));
  std::vector<TrieUnit> trie;
  std::vector<int32_t> index;
  // Empty keys and offsets given twice or outside the records are refused
  // before any record is touched.
  std::vector<std::vector<LexiconKey>> bad = {
      {{ga, 0, offsets[0]}},
      {{ga, 1, offsets[0]}, {gada, 2, offsets[0]}},
      {{ga, 1, -1}},
      {{ga, 1, static_cast<int32_t>(records.size())}},
  };
  for (auto& keys : bad) {
    EXPECT_FALSE(buildLexicon(&keys, &records, &trie, &index));
    EXPECT_TRUE(trie.empty() && index.empty());
  }
  for (int32_t off : offsets) EXPECT_EQ(0, records.read_int32(size_t(off)));

  // Given out of order, equal keys chain by offset.
  std::vector<LexiconKey> keys = {{ga, 1, offsets[2]},
                                  {gada, 2, offsets[1]},
                                  {ga, 1, offsets[0]}};
  ASSERT_TRUE(buildLexicon(&keys, &records, &trie, &index));
  EXPECT_EQ((std::vector<int32_t>{offsets[0], offsets[1]}), index);
  EXPECT_EQ(offsets[2], records.read_int32(size_t(offsets[0])));
  EXPECT_EQ(0, records.read_int32(size_t(offsets[2])));
  EXPECT_EQ(0, records.read_int32(size_t(offsets[1])));
}

TEST(LexiconSourceTest, SystemKeysKeepTheirCase) {
  TempDir dir;
  KnowledgeImpl dic;
  compileAndLoad("ABC ABC/sl\nabc abc/sl\n", dir, &dic);
  EXPECT_EQ(std::vector<std::string>{"ABC/sl"}, lookup(dic, "ABC"));
  EXPECT_EQ(std::vector<std::string>{"abc/sl"}, lookup(dic, "abc"));
  EXPECT_TRUE(lookup(dic, "Abc").empty());
}

TEST(LexiconSourceTest, EmptySourceGivesADictionaryThatFindsNothing) {
  TempDir dir;
  KnowledgeImpl dic;
  compileAndLoad("# nothing here\n", dir, &dic);
  EXPECT_EQ(0u, fs::file_size(fs::path(dir.path()) / "sys.tri"));
  EXPECT_TRUE(searchText(dic, "가").hits.empty());
}

TEST(LexiconSourceTest, BadSourceWritesNothing) {
  TempDir dir;
  std::string source = dir.path() + "/bad.lex";
  writeText(source, "학교 학교/nng\n책 책/NNG\n가 가\n");
  std::string out = dir.path() + "/dic";

  // An existing dictionary in the target stays untouched.
  fs::create_directories(out);
  writeText(out + "/sys.dat", "old");
  testing::internal::CaptureStderr();
  int rc = compileSourceFile(source.c_str(), out.c_str(), stderr);
  std::string err = testing::internal::GetCapturedStderr();
  EXPECT_EQ(1, rc);
  EXPECT_NE(std::string::npos, err.find(source + ":2: analysis 1 (책/NNG)"));
  EXPECT_NE(std::string::npos, err.find(source + ":3: "));
  EXPECT_NE(std::string::npos, err.find("2 bad lines"));
  EXPECT_NE(std::string::npos, err.find("lines 2, 3"));
  EXPECT_EQ("old", readText(out + "/sys.dat"));
  EXPECT_FALSE(fs::exists(out + "/sys.tri"));
  EXPECT_FALSE(fs::exists(out + "/sys.idx"));

  testing::internal::CaptureStderr();
  EXPECT_EQ(1, compileSourceFile((dir.path() + "/missing.lex").c_str(),
                                 out.c_str(), stderr));
  EXPECT_NE(std::string::npos,
            testing::internal::GetCapturedStderr().find("cannot read"));

  // An output path that cannot be a directory fails without files.
  std::string message;
  CompiledLexicon lexicon;
  EXPECT_FALSE(writeLexicon(lexicon, source + "/sub", &message));
  EXPECT_NE(std::string::npos, message.find("cannot create"));
}

TEST(LexiconSourceTest, CommandLineProgram) {
  const std::string tool = std::string(TALMORO_BUILD_DIR) + "/talmoro-dict";
  if (!fs::exists(tool)) GTEST_SKIP() << "talmoro-dict not built";
  TempDir dir;
  std::string cmd = tool + " -i " + kBasic + " -o " + dir.path() + "/dic";
  EXPECT_EQ(0, std::system(cmd.c_str()));
  KnowledgeImpl dic;
  ASSERT_EQ(0, dic.load((dir.path() + "/dic").c_str()));
  EXPECT_EQ((std::vector<std::string>{"갈/vv", "가/vv+~ㄹ/etm"}),
            lookup(dic, "갈"));

  std::string help = dir.path() + "/help.txt";
  EXPECT_EQ(0, std::system((tool + " --help > " + help).c_str()));
  std::string text = readText(help);
  EXPECT_NE(std::string::npos, text.find("Example"));
  EXPECT_NE(std::string::npos, text.find("--input <arg>"));

  writeText(dir.path() + "/bad.lex", "책 책/NNG\n");
  cmd = tool + " -i " + dir.path() + "/bad.lex -o " + dir.path() +
        "/bad 2>/dev/null";
  EXPECT_NE(0, std::system(cmd.c_str()));
  EXPECT_FALSE(fs::exists(dir.path() + "/bad/sys.tri"));
  EXPECT_NE(0, std::system((tool + " -i x 2>/dev/null").c_str()));
}

}  // namespace
