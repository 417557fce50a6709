// Generations: a number, unique over the process's lifetime, that an object
// takes each time its contents change. A reader that keeps results derived
// from the object compares the generation it saw with the current one.
#ifndef TALMORO_BASE_GENERATION_H_
#define TALMORO_BASE_GENERATION_H_

#include <cstdint>

// A new generation, never returned before (thread-safe).
uint64_t nextGeneration();

#endif  // TALMORO_BASE_GENERATION_H_
