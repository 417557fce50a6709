// DoublyLinkedList: the list behind candidates and sentences. It owns its
// nodes but never its elements; the owning class empties it first
// (removeAll, after destroying the elements it owns). Unlinked nodes are
// kept on a free chain for the next append or prepend (a candidate is
// filled and emptied word after word); the destructor frees them.
//
// For lists of results (T = ResultImpl*) partition and quicksort order the
// elements by descending score, exchanging elements between nodes; nodes
// never move. Lomuto partition with the last element as pivot: an element
// moves ahead of the pivot only when its score is strictly greater, so ties
// come out in the order that procedure gives (A,B -> B,A; A,B,C -> C,A,B),
// and a NaN score is never greater than anything.
#ifndef TALMORO_RESULT_DOUBLY_LINKED_LIST_H_
#define TALMORO_RESULT_DOUBLY_LINKED_LIST_H_

#include <cstdint>

template <typename T>
class DoublyLinkedList {
 public:
  struct Node {
    Node* prev;
    Node* next;
    T element;
  };

  DoublyLinkedList()
      : head_(nullptr), tail_(nullptr), count_(0), free_(nullptr) {}
  // Frees the unlinked nodes kept for reuse, never the elements.
  virtual ~DoublyLinkedList() {
    while (free_ != nullptr) {
      Node* next = free_->next;
      delete free_;
      free_ = next;
    }
  }
  DoublyLinkedList(const DoublyLinkedList&) = delete;
  DoublyLinkedList& operator=(const DoublyLinkedList&) = delete;

  Node* head() const { return head_; }
  Node* tail() const { return tail_; }
  uint64_t size() const { return count_; }
  bool empty() const { return count_ == 0; }

  // Links a new node holding `element` after the tail; returns it.
  Node* append(T element) {
    Node* node = newNode(tail_, nullptr, element);
    if (tail_ != nullptr)
      tail_->next = node;
    else
      head_ = node;
    tail_ = node;
    ++count_;
    return node;
  }

  // Links a new node holding `element` before the head; returns it.
  Node* prepend(T element) {
    Node* node = newNode(nullptr, head_, element);
    if (head_ != nullptr)
      head_->prev = node;
    else
      tail_ = node;
    head_ = node;
    ++count_;
    return node;
  }

  // The first node holding `element`, from the head; null when absent.
  Node* find(T element) const {
    for (Node* node = head_; node != nullptr; node = node->next)
      if (node->element == element) return node;
    return nullptr;
  }

  // The node at `index` from the head (0 is the head); null when index is
  // not below the count.
  Node* at(uint64_t index) const {
    if (index >= count_) return nullptr;
    Node* node = head_;
    while (index-- > 0) node = node->next;
    return node;
  }

  // Unlinks `node` (which must belong to this list) and frees it (keeps it
  // for reuse); the element is left to the caller.
  void unlink(Node* node) {
    if (node->prev != nullptr)
      node->prev->next = node->next;
    else
      head_ = node->next;
    if (node->next != nullptr)
      node->next->prev = node->prev;
    else
      tail_ = node->prev;
    keepNode(node);
    --count_;
  }

  // Frees (keeps for reuse) every node, leaving the elements to the caller.
  void removeAll() {
    if (tail_ != nullptr) {
      tail_->next = free_;
      free_ = head_;
    }
    head_ = tail_ = nullptr;
    count_ = 0;
  }

  // Orders the nodes lo..hi (hi at or after lo) by descending score of
  // their elements. Needs elements with a score() member.
  void quicksort(Node* lo, Node* hi) {
    while (hi != nullptr && lo != hi && lo != hi->next) {
      Node* p = partition(lo, hi);
      quicksort(lo, p->prev);
      lo = p->next;
    }
  }

  // The whole list by descending score.
  void sort() { quicksort(head_, tail_); }

  // Moves every element of lo..hi whose score is strictly greater than the
  // score of hi's element ahead of it; returns the node then holding it.
  Node* partition(Node* lo, Node* hi) {
    const float pivot = hi->element->score();
    Node* i = lo->prev;
    for (Node* j = lo; j != hi; j = j->next) {
      if (j->element->score() > pivot) {
        i = (i == nullptr) ? lo : i->next;
        exchange(i, j);
      }
    }
    i = (i == nullptr) ? lo : i->next;
    exchange(i, hi);
    return i;
  }

 private:
  // A node from the free chain when there is one, else a new one.
  Node* newNode(Node* prev, Node* next, T element) {
    Node* node = free_;
    if (node == nullptr) return new Node{prev, next, element};
    free_ = node->next;
    *node = Node{prev, next, element};
    return node;
  }
  void keepNode(Node* node) {
    node->next = free_;
    free_ = node;
  }

  static void exchange(Node* a, Node* b) {
    T element = a->element;
    a->element = b->element;
    b->element = element;
  }

  Node* head_;
  Node* tail_;
  uint64_t count_;
  // Unlinked nodes, chained through next.
  Node* free_;
};

#endif  // TALMORO_RESULT_DOUBLY_LINKED_LIST_H_
