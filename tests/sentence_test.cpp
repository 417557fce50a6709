#include "result/sentence_impl.h"

#include <gtest/gtest.h>

#include <vector>

#include "result/candidate_impl.h"

namespace {

const unsigned char* u8(const char* s) {
  return reinterpret_cast<const unsigned char*>(s);
}

ResultImpl* noun(const char* text, unsigned long start, unsigned long end) {
  ResultImpl* r = new ResultImpl();
  r->append(u8(text), pos_t(NNG), start, end);
  return r;
}

TEST(SentenceTest, EojulOwnsItsTextAndResult) {
  EojulImpl empty;
  EXPECT_EQ(empty.eojul(), nullptr);
  EXPECT_EQ(empty.result(), nullptr);

  std::string word = "학교";
  ResultImpl* r = noun("학교", 0, 2);
  EojulImpl e(word.c_str(), r);
  EXPECT_NE(e.eojul(), word.c_str());
  word[0] = 'x';
  EXPECT_STREQ(e.eojul(), "학교");
  EXPECT_EQ(e.result(), r);
  EXPECT_EQ(e.resultImpl(), r);

  // Replacing the result destroys the old one; setting the same keeps it.
  ResultImpl* other = noun("책", 0, 1);
  e.result(other);
  e.result(other);
  EXPECT_EQ(e.result(), other);
  e.eojul("책");
  EXPECT_STREQ(e.eojul(), "책");

  e.clear();
  EXPECT_EQ(e.eojul(), nullptr);
  EXPECT_EQ(e.result(), nullptr);
}

TEST(SentenceTest, ResultMovedOutOfCandidateOutlivesIt) {
  CandidateImpl* c = new CandidateImpl();
  c->append(noun("나", 0, 1));
  ResultImpl* chosen = noun("학교", 0, 2);
  c->append(chosen);
  c->remove(chosen, false);
  ASSERT_EQ(c->size(), 1u);
  delete c;

  SentenceImpl s;
  EojulImpl* e = new EojulImpl();
  e->eojul("학교");
  chosen->startOffsetIncr(0, 4);
  chosen->endOffsetIncr(0, 4);
  e->result(chosen);
  s.append(e);
  const Result* got = s.get(0)->result();
  ASSERT_NE(got, nullptr);
  EXPECT_STREQ(got->lexicon(0), "학교");
  EXPECT_EQ(got->startOffset(0), 4u);
  EXPECT_EQ(got->endOffset(0), 6u);
}

TEST(SentenceTest, AppendPrependGetAndClear) {
  SentenceImpl s;
  EXPECT_EQ(s.size(), 0u);
  EXPECT_EQ(s.get(0), nullptr);
  EojulImpl* b = new EojulImpl("나는", noun("나", 0, 1));
  EojulImpl* c = new EojulImpl("간다", noun("가", 3, 4));
  EojulImpl* a = new EojulImpl("오늘", noun("오늘", 0, 2));
  s.append(b);
  s.append(c);
  s.prepend(a);
  ASSERT_EQ(s.size(), 3u);
  EXPECT_EQ(s.get(0), a);
  EXPECT_EQ(s.get(1), b);
  EXPECT_EQ(s.at(2), c);
  EXPECT_EQ(s.get(3), nullptr);
  EXPECT_EQ(s.eojuls().head()->element, a);
  EXPECT_EQ(s.eojuls().tail()->element, c);

  s.clear();
  EXPECT_EQ(s.size(), 0u);
  EXPECT_EQ(s.get(0), nullptr);
  EXPECT_EQ(s.eojuls().head(), nullptr);
  EXPECT_EQ(s.eojuls().tail(), nullptr);
  s.prepend(new EojulImpl("다시", nullptr));
  EXPECT_STREQ(s.get(0)->eojul(), "다시");
}

// Words dropped by clear() come back from spareEojul() with their storage;
// a reused word takes new text of any length, and a filled word moved to a
// sentence again reads only what was put in it.
TEST(SentenceTest, ClearedWordsAreReused) {
  SentenceImpl s;
  EojulImpl* fresh = s.spareEojul();
  ASSERT_NE(fresh, nullptr);
  EXPECT_EQ(fresh->eojul(), nullptr);
  EXPECT_EQ(fresh->result(), nullptr);
  fresh->eojul("책");
  fresh->result(noun("책", 0, 1));
  s.append(fresh);
  s.append(new EojulImpl("사람이", noun("사람", 2, 4)));
  s.clear();
  ASSERT_EQ(s.size(), 0u);

  // Last dropped, first handed out; nothing is handed out twice.
  EojulImpl* a = s.spareEojul();
  EojulImpl* b = s.spareEojul();
  ASSERT_NE(a, nullptr);
  ASSERT_NE(b, nullptr);
  EXPECT_NE(a, b);
  EXPECT_STREQ(a->eojul(), "사람이");
  EXPECT_EQ(b, fresh);
  EojulImpl* c = s.spareEojul();  // none left: a new one
  ASSERT_NE(c, nullptr);
  EXPECT_NE(c, a);
  EXPECT_NE(c, b);
  EXPECT_EQ(c->eojul(), nullptr);

  a->eojul("학");  // shorter: in place
  EXPECT_STREQ(a->eojul(), "학");
  a->eojul("학교에서는");  // longer than the buffer
  EXPECT_STREQ(a->eojul(), "학교에서는");
  a->eojul(a->eojul() + 3);  // its own tail
  EXPECT_STREQ(a->eojul(), "교에서는");
  a->resultImpl()->reset();
  a->resultImpl()->append(u8("교"), pos_t(NNG), 1, 2);
  s.append(a);
  s.append(b);
  s.append(c);
  ASSERT_EQ(s.size(), 3u);
  ASSERT_EQ(s.get(0)->result()->size(), 1u);
  EXPECT_STREQ(s.get(0)->result()->lexicon(0), "교");
  EXPECT_EQ(s.get(0)->result()->startOffset(0), 1u);
  EXPECT_STREQ(s.get(1)->eojul(), "책");
  b->eojul(nullptr);
  EXPECT_EQ(s.get(1)->eojul(), nullptr);
}

// The spare list is bounded: a very long sentence, once cleared, keeps no
// more than SENTENCE_SPARE_WORDS words.
TEST(SentenceTest, SpareWordsAreBounded) {
  SentenceImpl s;
  for (size_t i = 0; i < SENTENCE_SPARE_WORDS + 50; ++i)
    s.append(new EojulImpl("책", noun("책", 0, 1)));
  s.clear();
  std::vector<EojulImpl*> taken;
  for (size_t i = 0; i < SENTENCE_SPARE_WORDS; ++i) {
    taken.push_back(s.spareEojul());
    ASSERT_NE(taken.back(), nullptr);
    EXPECT_STREQ(taken.back()->eojul(), "책");
  }
  EojulImpl* extra = s.spareEojul();
  ASSERT_NE(extra, nullptr);
  EXPECT_EQ(extra->eojul(), nullptr);  // the spares ran out: a new word
  delete extra;
  for (EojulImpl* e : taken) delete e;
}

TEST(SentenceTest, FactoriesCreateAndDestroyFilledContainers) {
  Candidate::destroyObject(nullptr);
  Sentence::destroyObject(nullptr);
  for (int round = 0; round < 200; ++round) {
    Candidate* candidate = Candidate::createObject();
    ASSERT_NE(candidate, nullptr);
    EXPECT_EQ(candidate->size(), 0u);
    EXPECT_EQ(candidate->origin(), nullptr);
    CandidateImpl* impl = static_cast<CandidateImpl*>(candidate);
    impl->origin("학교");
    impl->append(noun("학교", 0, 2));
    impl->append(noun("학", 0, 1));
    EXPECT_EQ(candidate->size(), 2u);
    EXPECT_STREQ(candidate->get(1)->lexicon(0), "학");
    Candidate::destroyObject(candidate);

    Sentence* sentence = Sentence::createObject();
    ASSERT_NE(sentence, nullptr);
    EXPECT_EQ(sentence->size(), 0u);
    SentenceImpl* simpl = static_cast<SentenceImpl*>(sentence);
    simpl->append(new EojulImpl("학교", noun("학교", 0, 2)));
    simpl->append(new EojulImpl("에", noun("에", 3, 4)));
    EXPECT_STREQ(sentence->get(1)->eojul(), "에");
    Sentence::destroyObject(sentence);
  }
}

}  // namespace
