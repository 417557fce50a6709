#include "base/opstack.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <vector>

namespace {

int cells[200];

int* at(int i) { return &cells[i]; }

// Pushes cells 0 .. n-1.
void fill(OpStack<int*>& s, int n) {
  for (int i = 0; i < n; ++i) s.push(at(i));
}

// Reads what is left from the cursor on.
std::vector<int> drain(OpStack<int*>& s) {
  std::vector<int> out;
  while (s.hasNext()) out.push_back(static_cast<int>(s.next() - cells));
  return out;
}

TEST(OpStack, EmptyListGivesNull) {
  OpStack<int*> s;
  EXPECT_EQ(s.size(), 0u);
  EXPECT_FALSE(s.backward());
  EXPECT_FALSE(s.sorted());
  EXPECT_EQ(s.pop(), nullptr);
  EXPECT_EQ(s.top(), nullptr);
  s.rewind();
  EXPECT_FALSE(s.hasNext());
  EXPECT_EQ(s.next(), nullptr);
  s.backward(true);
  s.rewind();
  EXPECT_FALSE(s.hasNext());
  EXPECT_EQ(s.next(), nullptr);
  EXPECT_EQ(s.size(), 0u);
}

TEST(OpStack, PushPopTopBeyondInitialStorage) {
  OpStack<int*> s;
  fill(s, 150);  // far past the first 80 bytes
  EXPECT_EQ(s.size(), 150u);
  EXPECT_EQ(s.top(), at(149));
  for (int i = 0; i < 150; ++i) EXPECT_EQ(s.at(i), at(i));
  EXPECT_EQ(s.pop(), at(149));
  EXPECT_EQ(s.pop(), at(148));
  EXPECT_EQ(s.top(), at(147));
  EXPECT_EQ(s.size(), 148u);
  s.push(nullptr);  // a null entry is an ordinary element
  EXPECT_EQ(s.size(), 149u);
  EXPECT_EQ(s.pop(), nullptr);
  EXPECT_EQ(s.top(), at(147));
}

TEST(OpStack, ForwardAndBackwardIteration) {
  OpStack<int*> s;
  fill(s, 4);
  s.rewind();
  EXPECT_EQ(drain(s), (std::vector<int>{0, 1, 2, 3}));
  EXPECT_EQ(s.next(), nullptr);

  s.backward(true);
  s.rewind();
  EXPECT_EQ(drain(s), (std::vector<int>{3, 2, 1, 0}));
  EXPECT_EQ(s.next(), nullptr);

  // Rewinding restarts from the reading direction's first element.
  s.rewind();
  EXPECT_EQ(s.next(), at(3));
  s.backward(false);
  s.rewind();
  EXPECT_EQ(s.next(), at(0));
}

TEST(OpStack, RemoveDuringForwardIteration) {
  OpStack<int*> s;
  fill(s, 5);
  s.rewind();
  EXPECT_EQ(s.next(), at(0));
  EXPECT_EQ(s.next(), at(1));
  s.remove(at(1));  // the element just read
  EXPECT_EQ(s.next(), at(2));
  s.remove(at(0));  // one read earlier
  EXPECT_EQ(s.next(), at(3));
  s.remove(at(4));  // the one still to come: neither repeated nor read
  EXPECT_FALSE(s.hasNext());
  EXPECT_EQ(s.size(), 2u);
  s.rewind();
  EXPECT_EQ(drain(s), (std::vector<int>{2, 3}));

  // Removing the first element before anything was read.
  OpStack<int*> t;
  fill(t, 3);
  t.rewind();
  t.remove(at(0));
  EXPECT_EQ(drain(t), (std::vector<int>{1, 2}));
}

TEST(OpStack, RemoveDuringBackwardIteration) {
  OpStack<int*> s;
  s.backward(true);
  fill(s, 5);
  s.rewind();
  EXPECT_EQ(s.next(), at(4));
  EXPECT_EQ(s.next(), at(3));
  s.remove(at(3));  // the element just read: the next one is not skipped
  EXPECT_EQ(s.next(), at(2));
  s.remove(at(0));  // one still to come
  s.remove(at(4));  // one read earlier
  EXPECT_EQ(drain(s), (std::vector<int>{1}));
  EXPECT_EQ(s.size(), 2u);
  s.rewind();
  EXPECT_EQ(drain(s), (std::vector<int>{2, 1}));
}

TEST(OpStack, RemoveAbsentOrDuplicate) {
  OpStack<int*> s;
  fill(s, 3);
  s.push(at(1));
  s.rewind();
  EXPECT_EQ(s.next(), at(0));
  s.remove(at(9));
  EXPECT_EQ(s.size(), 4u);
  EXPECT_EQ(s.next(), at(1));  // cursor untouched
  s.remove(at(1));  // only the first occurrence goes
  EXPECT_EQ(s.size(), 3u);
  EXPECT_EQ(drain(s), (std::vector<int>{2, 1}));
  s.remove(nullptr);
  EXPECT_EQ(s.size(), 3u);
}

TEST(OpStack, PopNeverYieldsThePoppedElement) {
  OpStack<int*> s;
  s.backward(true);
  fill(s, 3);
  s.rewind();
  EXPECT_EQ(s.pop(), at(2));
  EXPECT_EQ(drain(s), (std::vector<int>{1, 0}));

  OpStack<int*> f;
  fill(f, 3);
  f.rewind();
  drain(f);
  EXPECT_EQ(f.pop(), at(2));
  f.push(at(7));  // a later push is read by the iteration in progress
  EXPECT_EQ(drain(f), (std::vector<int>{7}));
}

TEST(OpStack, EmptyKeepsDirectionAndStorage) {
  OpStack<int*> s;
  s.backward(true);
  s.sorted(true);
  fill(s, 20);
  s.rewind();
  s.next();
  s.empty();
  EXPECT_EQ(s.size(), 0u);
  EXPECT_TRUE(s.backward());
  EXPECT_FALSE(s.sorted());
  EXPECT_FALSE(s.hasNext());
  EXPECT_EQ(s.top(), nullptr);
  int** storage = s.data();
  fill(s, 2);
  EXPECT_EQ(s.data(), storage);
  s.rewind();
  EXPECT_EQ(drain(s), (std::vector<int>{1, 0}));
}

int byCellDesc(const void* a, const void* b) {
  const int* x = *static_cast<int* const*>(a);
  const int* y = *static_cast<int* const*>(b);
  return x < y ? 1 : (x > y ? -1 : 0);
}

TEST(OpStack, DataSortsInPlace) {
  OpStack<int*> s;
  s.push(at(2));
  s.push(at(5));
  s.push(at(1));
  std::qsort(s.data(), s.size(), sizeof(int*), byCellDesc);
  s.rewind();
  EXPECT_EQ(drain(s), (std::vector<int>{5, 2, 1}));
}

// Elements appended from another list keep their order after those already
// there, also when the storage must grow several times over, and the source
// list is left as it was.
TEST(OpStack, PushAllAppendsInOrder) {
  OpStack<int*> to;
  OpStack<int*> from;
  EXPECT_TRUE(to.pushAll(from));
  EXPECT_EQ(to.size(), 0u);
  to.push(at(0));
  for (int i = 1; i < 150; ++i) from.push(at(i));
  ASSERT_TRUE(to.pushAll(from));
  EXPECT_EQ(from.size(), 149u);
  ASSERT_EQ(to.size(), 150u);
  for (int i = 0; i < 150; ++i) EXPECT_EQ(to.at(i), at(i)) << i;
  to.push(at(150));
  EXPECT_EQ(to.top(), at(150));
  EXPECT_EQ(to.pop(), at(150));
  EXPECT_EQ(to.pop(), at(149));
}

}  // namespace
