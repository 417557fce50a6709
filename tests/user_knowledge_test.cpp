#include "knowledge/user_knowledge_impl.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "api/talmoro.h"
#include "knowledge/inter_result.h"
#include "pos/pos.h"
#include "record_text.h"

namespace {

const std::string kUserDic = std::string(TALMORO_TEST_DATA) + "/user.dic";

// Loads text (copied, since loading writes into it) and returns what the
// loader wrote to standard error.
std::string loadText(UserKnowledgeImpl* dic, const std::string& text) {
  std::vector<char> buf(text.begin(), text.end());
  buf.push_back('\0');
  testing::internal::CaptureStderr();
  EXPECT_EQ(0, dic->loadFromBuffer(buf.data()));
  return testing::internal::GetCapturedStderr();
}

TEST(UserKnowledgeTest, CommentOnlyTextGivesAnEmptyDictionary) {
  UserKnowledgeImpl dic;
  std::string err = loadText(&dic, ";comment\r\n 학교 학교/nng\n;;\n");
  EXPECT_EQ(
      "[UserKnowledge::load] skip line: line=[;comment]\n"
      "[UserKnowledge::load] skip line: line=[ 학교 학교/nng]\n"
      "[UserKnowledge::load] skip line: line=[;;]\n",
      err);
  EXPECT_TRUE(searchText(dic, "학교").hits.empty());
  EXPECT_TRUE(searchText(dic, "학교", true).hits.empty());

  // Empty text, and a surface without analysis, add nothing either.
  EXPECT_EQ("", loadText(&dic, ""));
  EXPECT_EQ("", loadText(&dic, "학교\n\t\n"));
  EXPECT_TRUE(searchText(dic, "학교").hits.empty());
}

TEST(UserKnowledgeTest, AnalysesOfOneSurfaceChainInFileOrder) {
  UserKnowledgeImpl dic;
  EXPECT_EQ("", loadText(&dic,
                         "사과 사과/nng\n"
                         "배 배/nng\t배/vv+어/ec\n"
                         "사과 사과/vv+다/ef\n"
                         "사과나무 사과/nng+나무/nng\n"));
  EXPECT_EQ((std::vector<std::string>{"사과/nnu", "사과/vv+다/ef"}),
            lookup(dic, "사과"));
  EXPECT_EQ((std::vector<std::string>{"배/nnu", "배/vv+어/ec"}),
            lookup(dic, "배"));
  // Two nouns tagged nng become two user nouns.
  EXPECT_EQ(std::vector<std::string>{"사과/nnu+나무/nnu"},
            lookup(dic, "사과나무"));
  // Prefix search: shortest first, one hit per distinct surface.
  EXPECT_EQ((std::vector<std::string>{"2:0", "4:0"}),
            searchText(dic, "사과나무에").hits);
}

TEST(UserKnowledgeTest, RecordsFollowTheRecordLayout) {
  UserKnowledgeImpl dic;
  loadText(&dic, "가방 가방/nfg+들/xsn\n");
  std::vector<unsigned short> key = utf8ToUnits("가방");
  result_pair_type hits[KNOWLEDGE_MAX_HITS];
  ASSERT_EQ(1u, dic.search(key.data(), hits, false));
  const int r = hits[0].value;
  const membuf& buf = *dic.rdata();
  EXPECT_EQ(0, dic.next(r));
  EXPECT_EQ(0u, buf.read_uint8(r + 4));  // no attribute word
  EXPECT_EQ(NFU, buf.read_uint32(r + 5));  // nfg stored as nfu, not last
  EXPECT_EQ(5u, buf.read_uint8(r + 9));  // 2 units, spelled in the surface
  EXPECT_EQ(XSN | 1u, buf.read_uint32(r + 14));
  EXPECT_EQ(3u, buf.read_uint8(r + 18));

  // The record parses as a node: nfu first, xsn last.
  InterResult node;
  node.length(2);
  node.parse(dic.rdata(), r + 4, key.data(), 2);
  EXPECT_EQ(NFU, node.posvalue());
  EXPECT_EQ(XSN | 1u, node.lastpos());
  EXPECT_TRUE(node.complex());
  EXPECT_EQ(0u, node.attr());
  EXPECT_EQ(0xAC00u, node.firstChar());  // 가
  EXPECT_EQ(key[1], node.firstLastChar());
}

TEST(UserKnowledgeTest, KeysAndLexiconsAreLowerCased) {
  UserKnowledgeImpl dic;
  loadText(&dic, "ABC abc/sl\nÀÉ ÀÉ/sl\nMiX x/Y/sl\n");
  EXPECT_EQ(std::vector<std::string>{"abc/sl"}, lookup(dic, "abc"));
  EXPECT_TRUE(lookup(dic, "ABC").empty());
  EXPECT_EQ(std::vector<std::string>{"àé/sl"}, lookup(dic, "àé"));
  // Split at the last "/": the lexicon keeps its own "/".
  EXPECT_EQ(std::vector<std::string>{"x/y/sl"}, lookup(dic, "mix"));
}

TEST(UserKnowledgeTest, BadTagsCutOrDropTheAnalysis) {
  UserKnowledgeImpl dic;
  std::string err = loadText(&dic,
                             "학교 학교/NNG 학교/nnp\n"
                             "사람 사람/nng+들/XSN+이/jks\n");
  EXPECT_EQ(
      "[UserKnowledge::load] no such POS: "
      "surface=[학교],morph=[학교],POS=[NNG]\n"
      "[UserKnowledge::load] no such POS: "
      "surface=[사람],morph=[들],POS=[XSN]\n",
      err);
  // A first morpheme with an unknown tag leaves nothing reachable; a later
  // one cuts the analysis after the morphemes before it.
  EXPECT_EQ(std::vector<std::string>{"학교/nnp"}, lookup(dic, "학교"));
  EXPECT_EQ(std::vector<std::string>{"사람/nnu"}, lookup(dic, "사람"));

  // A surface whose only analysis starts with a bad tag gets no key.
  err = loadText(&dic, "책 책/XX\n");
  EXPECT_NE(std::string::npos, err.find("POS=[XX]"));
  EXPECT_TRUE(searchText(dic, "책").hits.empty());
}

TEST(UserKnowledgeTest, MorphemeWithoutSlashDropsOnlyItsAnalysis) {
  UserKnowledgeImpl dic;
  std::string err = loadText(&dic, "학교 학교/nng+에 학교/nnp +학교/nng+\n");
  EXPECT_EQ(
      "[UserKnowledge::load] cannot find morph and POS: "
      "surface=[학교],result token=[에]\n",
      err);
  // Leading and trailing "+" are ignored; the bad analysis left nothing.
  EXPECT_EQ((std::vector<std::string>{"학교/nnp", "학교/nnu"}),
            lookup(dic, "학교"));

  err = loadText(&dic, "가 ++ 가/vv\n");
  EXPECT_EQ("[UserKnowledge::load] no morph: surface=[가]\n", err);
  EXPECT_EQ(std::vector<std::string>{"가/vv"}, lookup(dic, "가"));
}

TEST(UserKnowledgeTest, OverlongAndInvalidTextIsRejected) {
  UserKnowledgeImpl dic;
  std::string longest(127, 'a');
  std::string err = loadText(&dic, "x " + longest + "a/sl " + longest +
                                       "/sl\ny " + longest + "a/sl\n");
  EXPECT_EQ(2u, std::count(err.begin(), err.end(), '\n'));
  EXPECT_EQ(0u, err.find("[UserKnowledge::load] morph too long: "
                         "surface=[x],morph=[" + longest + "a],length=[128]"));
  std::vector<std::string> x = lookup(dic, "x");
  ASSERT_EQ(1u, x.size());
  EXPECT_EQ(longest + "/sl", x[0]);
  EXPECT_TRUE(lookup(dic, "y").empty());

  err = loadText(&dic, "\xff\xfe 가/nng\n나 \xc3/nng 나/np\n");
  EXPECT_EQ(
      "[UserKnowledge::load] invalid surface: surface=[\xff\xfe]\n"
      "[UserKnowledge::load] invalid morph: surface=[나],morph=[\xc3]\n",
      err);
  EXPECT_EQ(std::vector<std::string>{"나/np"}, lookup(dic, "나"));
  EXPECT_EQ((std::vector<std::string>{"1:0"}), searchText(dic, "나가").hits);
}

TEST(UserKnowledgeTest, LoadsFilesAndKeepsContentWhenTheFileIsMissing) {
  UserKnowledgeImpl dic;
  testing::internal::CaptureStderr();
  ASSERT_EQ(0, dic.load(kUserDic.c_str()));
  std::string err = testing::internal::GetCapturedStderr();
  EXPECT_NE(std::string::npos, err.find("skip line: line=[; "));
  EXPECT_EQ((std::vector<std::string>{"톨모로/nnp", "톨/nnu+모로/nnu"}),
            lookup(dic, "톨모로"));
  EXPECT_EQ(std::vector<std::string>{"갑니다/vv"}, lookup(dic, "갑니다"));

  EXPECT_EQ(-1, dic.load((kUserDic + ".missing").c_str()));
  EXPECT_EQ(-1, dic.load(TALMORO_TEST_DATA));  // a directory
  EXPECT_EQ(2u, lookup(dic, "톨모로").size());

  // Loading again replaces everything; clear empties the dictionary.
  loadText(&dic, "새 새/nng\n");
  EXPECT_TRUE(lookup(dic, "톨모로").empty());
  EXPECT_EQ(1u, lookup(dic, "새").size());
  dic.clear();
  EXPECT_TRUE(searchText(dic, "새").hits.empty());
  EXPECT_EQ(0, dic.next(0));
}

TEST(UserKnowledgeTest, PublicInterface) {
  UserKnowledge* user = UserKnowledge::createObject();
  ASSERT_NE(nullptr, user);
  char text[] = "학교 학교/nng";
  EXPECT_EQ(0, user->loadFromBuffer(text));
  EXPECT_EQ(-1, user->load("/nonexistent/user.dic"));
  // The same object through its dictionary side.
  const KnowledgeImpl* dic = static_cast<UserKnowledgeImpl*>(user);
  EXPECT_EQ(std::vector<std::string>{"학교/nnu"}, lookup(*dic, "학교"));
  Knowledge* asKnowledge = static_cast<UserKnowledgeImpl*>(user);
  testing::internal::CaptureStderr();
  EXPECT_EQ(0, asKnowledge->load(kUserDic.c_str()));
  testing::internal::GetCapturedStderr();
  EXPECT_EQ(2u, lookup(*dic, "톨모로").size());
  UserKnowledge::destroyObject(user);
  UserKnowledge::destroyObject(nullptr);
}

}  // namespace
