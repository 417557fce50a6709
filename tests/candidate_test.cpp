#include "result/candidate_impl.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

#include "result/doubly_linked_list.h"

namespace {

const unsigned char* u8(const char* s) {
  return reinterpret_cast<const unsigned char*>(s);
}

// A one-noun result; equal arguments give equal scores.
ResultImpl* noun(const char* text, unsigned long length) {
  ResultImpl* r = new ResultImpl();
  r->append(u8(text), pos_t(NNG), 0, length);
  return r;
}

// Head, tail, links and count agree with the expected elements.
void expectList(const CandidateImpl& c, const std::vector<ResultImpl*>& want) {
  const CandidateImpl::ResultList& list = c.results();
  ASSERT_EQ(c.size(), want.size());
  if (want.empty()) {
    EXPECT_EQ(list.head(), nullptr);
    EXPECT_EQ(list.tail(), nullptr);
    return;
  }
  EXPECT_EQ(list.head()->prev, nullptr);
  EXPECT_EQ(list.tail()->next, nullptr);
  const CandidateImpl::ResultList::Node* node = list.head();
  for (size_t i = 0; i < want.size(); ++i, node = node->next) {
    ASSERT_NE(node, nullptr);
    EXPECT_EQ(node->element, want[i]) << "at " << i;
    EXPECT_EQ(c.get(i), want[i]);
    if (node->next != nullptr) {
      EXPECT_EQ(node->next->prev, node);
    }
  }
  EXPECT_EQ(node, nullptr);
  EXPECT_EQ(list.tail()->element, want.back());
}

TEST(CandidateTest, EqualScoresComeOutInQuicksortOrder) {
  CandidateImpl two;
  ResultImpl* a = noun("가", 1);
  ResultImpl* b = noun("나", 1);
  two.append(a);
  two.append(b);
  two.scoring();
  expectList(two, {b, a});

  CandidateImpl three;
  ResultImpl* x = noun("가", 1);
  ResultImpl* y = noun("나", 1);
  ResultImpl* z = noun("다", 1);
  three.append(x);
  three.append(y);
  three.append(z);
  three.scoring();
  expectList(three, {z, x, y});

  CandidateImpl single;
  ResultImpl* only = noun("가", 1);
  single.append(only);
  single.scoring();
  expectList(single, {only});

  CandidateImpl empty;
  empty.scoring();
  expectList(empty, {});
}

// A stand-in element with a settable score, to drive the list sort.
struct Scored {
  float value;
  float score() const { return value; }
};

std::vector<float> sorted(std::vector<float> scores) {
  std::vector<Scored> items;
  for (float s : scores) items.push_back(Scored{s});
  DoublyLinkedList<Scored*> list;
  for (Scored& item : items) list.append(&item);
  list.sort();
  std::vector<float> out;
  for (auto* node = list.head(); node != nullptr; node = node->next)
    out.push_back(node->element->value);
  EXPECT_EQ(out.size(), scores.size());
  list.removeAll();
  return out;
}

TEST(CandidateTest, ListSortOrdersByDescendingScore) {
  EXPECT_EQ(sorted({3, -1, 7, 0, 5, -12.5f, 7, 2}),
            (std::vector<float>{7, 7, 5, 3, 2, 0, -1, -12.5f}));
  EXPECT_EQ(sorted({1, 2, 3, 4, 5}), (std::vector<float>{5, 4, 3, 2, 1}));
  EXPECT_EQ(sorted({5, 4, 3, 2, 1}), (std::vector<float>{5, 4, 3, 2, 1}));
  EXPECT_EQ(sorted({}), std::vector<float>{});

  // NaN is never greater than the pivot, nor is anything greater than NaN.
  std::vector<float> nanLast = sorted({1, 2, NAN});
  EXPECT_TRUE(std::isnan(nanLast[0]));
  EXPECT_EQ(nanLast[1], 2);
  EXPECT_EQ(nanLast[2], 1);
  std::vector<float> nanFirst = sorted({NAN, 1, 2});
  EXPECT_EQ(nanFirst[0], 2);
  EXPECT_TRUE(std::isnan(nanFirst[1]));
  EXPECT_EQ(nanFirst[2], 1);
}

TEST(CandidateTest, RemoveKeepsHeadTailAndCountConsistent) {
  CandidateImpl c;
  ResultImpl* a = noun("가", 1);
  ResultImpl* b = noun("나", 1);
  ResultImpl* d = noun("다", 1);
  ResultImpl* e = noun("라", 1);
  c.append(a);
  c.append(b);
  c.append(d);
  c.append(e);

  c.remove(a, true);  // head
  expectList(c, {b, d, e});
  c.remove(e, true);  // tail
  expectList(c, {b, d});
  c.remove(b, false);  // detached, still ours
  expectList(c, {d});
  EXPECT_STREQ(b->lexicon(0), "나");
  delete b;
  c.remove(d, true);  // only element
  expectList(c, {});

  // An absent result leaves the list alone and is destroyed when asked.
  ResultImpl* kept = noun("마", 1);
  c.append(kept);
  c.remove(noun("바", 1), true);
  c.remove(nullptr, true);
  expectList(c, {kept});
}

TEST(CandidateTest, GetAtAndOrigin) {
  CandidateImpl c;
  EXPECT_EQ(c.origin(), nullptr);
  EXPECT_EQ(c.get(0), nullptr);
  EXPECT_EQ(c.at(0), nullptr);

  ResultImpl* a = noun("가", 1);
  ResultImpl* b = noun("나", 1);
  c.append(a);
  c.append(b);
  EXPECT_EQ(c.get(0), a);
  EXPECT_EQ(c.at(1), b);
  EXPECT_EQ(c.get(2), nullptr);
  EXPECT_EQ(c.get(static_cast<unsigned long>(-1)), nullptr);

  std::string word = "학교에";
  c.origin(word.c_str());
  ASSERT_NE(c.origin(), nullptr);
  EXPECT_NE(c.origin(), word.c_str());
  word[0] = 'x';
  EXPECT_STREQ(c.origin(), "학교에");
  c.origin("");
  ASSERT_NE(c.origin(), nullptr);
  EXPECT_STREQ(c.origin(), "");
  c.origin(nullptr);
  EXPECT_EQ(c.origin(), nullptr);

  // The buffer is kept: a longer origin after a shorter one, and a short
  // one after a cleared one, read whole.
  const std::string longer(300, 'a');
  c.origin("가");
  c.origin(longer.c_str());
  EXPECT_EQ(std::string(c.origin()), longer);
  c.clear();
  EXPECT_EQ(c.origin(), nullptr);
  c.origin("나");
  EXPECT_STREQ(c.origin(), "나");
}

TEST(CandidateTest, ClearEmptiesAndAllowsReuse) {
  CandidateImpl c;
  c.origin("책");
  for (int i = 0; i < 5; ++i) c.append(noun("책", 1));
  c.clear();
  EXPECT_EQ(c.origin(), nullptr);
  expectList(c, {});
  EXPECT_EQ(c.get(0), nullptr);

  ResultImpl* again = noun("책", 1);
  c.append(again);
  c.origin("책");
  expectList(c, {again});
  EXPECT_STREQ(c.origin(), "책");
}

// Dropped results come back from newResult empty, also after growing past
// their inline room, and a result handed out is not handed out twice.
TEST(CandidateTest, DroppedResultsAreReusedEmpty) {
  CandidateImpl c;
  ResultImpl* big = new ResultImpl();
  std::string text(200, 'a');  // past the inline text room
  for (unsigned long i = 0; i < 20; ++i)  // past the inline records
    big->append(u8(text.c_str()), pos_t(NNG), i, i + 1);
  big->score(3.5f);
  c.append(big);
  ResultImpl* small = noun("책", 1);
  c.append(small);
  c.remove(small, true);
  c.clear();

  ResultImpl* a = c.newResult();
  ResultImpl* b = c.newResult();
  ResultImpl* fresh = c.newResult();
  EXPECT_NE(a, b);
  EXPECT_NE(fresh, a);
  EXPECT_NE(fresh, b);
  for (ResultImpl* r : {a, b, fresh}) {
    EXPECT_EQ(r->size(), 0u);
    EXPECT_EQ(r->score(), 0.0f);
    EXPECT_STREQ(r->lexicon(0), "");
    EXPECT_EQ(r->pos(0), pos_t(0u));
    EXPECT_EQ(r->endOffset(0), 0u);
  }
  // A reused result fills like a new one.
  for (ResultImpl* r : {a, b}) {
    r->append(u8("집"), pos_t(NNG), 0, 1);
    r->append(u8(text.c_str()), pos_t(JKS), 1, 2);
    ASSERT_EQ(r->size(), 2u);
    EXPECT_STREQ(r->lexicon(0), "집");
    EXPECT_EQ(std::string(r->lexicon(1)), text);
    EXPECT_EQ(r->startOffset(1), 1u);
    c.append(r);
  }
  c.recycle(fresh);
  expectList(c, {a, b});
  EXPECT_EQ(c.newResult(), fresh);
  delete fresh;  // handed out and never appended: the caller's
}

TEST(CandidateTest, PrintListsResultsThenABlankLine) {
  CandidateImpl c;
  ResultImpl* whole = noun("학교", 2);
  ResultImpl* split = new ResultImpl();
  split->append(u8("학"), pos_t(NNG), 0, 1);
  split->append(u8("교"), pos_t(NNG), 1, 2);
  c.append(split);
  c.append(whole);
  c.scoring();
  testing::internal::CaptureStdout();
  c.print();
  EXPECT_EQ(testing::internal::GetCapturedStdout(),
            "#0> 학교/nng(0,2/2) (26.000000)\n"
            "#1> 학/nng(0,1/1) + 교/nng(1,2/1) (8.200000)\n"
            "\n");

  CandidateImpl empty;
  testing::internal::CaptureStdout();
  empty.print();
  EXPECT_EQ(testing::internal::GetCapturedStdout(), "\n");
}

// Head, tail, links and count of a bare list agree with `want`.
void expectInts(const DoublyLinkedList<int*>& list,
                const std::vector<int*>& want) {
  ASSERT_EQ(list.size(), want.size());
  const DoublyLinkedList<int*>::Node* prev = nullptr;
  const DoublyLinkedList<int*>::Node* node = list.head();
  for (size_t i = 0; i < want.size(); ++i, prev = node, node = node->next) {
    ASSERT_NE(node, nullptr);
    EXPECT_EQ(node->element, want[i]) << "at " << i;
    EXPECT_EQ(node->prev, prev);
  }
  EXPECT_EQ(node, nullptr);
  EXPECT_EQ(list.tail(), prev);
}

TEST(CandidateTest, ListReusesUnlinkedNodesWithFreshLinks) {
  int a = 1, b = 2, c = 3, d = 4;
  DoublyLinkedList<int*> list;
  list.append(&a);
  DoublyLinkedList<int*>::Node* middle = list.append(&b);
  list.append(&c);
  list.unlink(middle);
  expectInts(list, {&a, &c});
  // The node given back is taken again, at the head as at the tail.
  EXPECT_EQ(list.prepend(&d), middle);
  expectInts(list, {&d, &a, &c});

  // After removeAll every node is taken again before a new one is made,
  // and the list built from them is whole in both directions.
  std::vector<const void*> used;
  for (auto* n = list.head(); n != nullptr; n = n->next) used.push_back(n);
  list.removeAll();
  expectInts(list, {});
  std::vector<const void*> again;
  again.push_back(list.append(&b));
  again.push_back(list.prepend(&a));
  again.push_back(list.append(&c));
  expectInts(list, {&a, &b, &c});
  for (const void* n : again)
    EXPECT_NE(std::find(used.begin(), used.end(), n), used.end());
  list.append(&d);  // more than were ever unlinked: a new node
  expectInts(list, {&a, &b, &c, &d});
  list.unlink(list.tail());
  list.unlink(list.head());
  expectInts(list, {&b, &c});
  list.removeAll();
}

}  // namespace
