#include "base/generation.h"

#include <atomic>

uint64_t nextGeneration() {
  static std::atomic<uint64_t> counter{0};
  return counter.fetch_add(1, std::memory_order_relaxed) + 1;
}
