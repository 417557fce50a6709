// Code shared by the command-line programs and converters, kept out of the
// library: each program's main stays thin and its logic testable.
#ifndef TALMORO_TOOLS_LIB_TOOLS_H_
#define TALMORO_TOOLS_LIB_TOOLS_H_
#endif  // TALMORO_TOOLS_LIB_TOOLS_H_
