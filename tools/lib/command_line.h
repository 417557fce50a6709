// The command-line handling every program shares: reading argv against its
// declared options, --help, and the message and usage text of a bad command
// line. The option reader's exception is caught here and nowhere else.
//
//   args::args parsed;
//   int status;
//   if (!readCommandLine(opts, argc, argv, HELP, &parsed, &status))
//     return status;
//   if (!parsed.hasValue("output"))
//     return commandLineError(stderr, argv[0], opts, "prog: -o is required");
#ifndef TALMORO_TOOLS_LIB_COMMAND_LINE_H_
#define TALMORO_TOOLS_LIB_COMMAND_LINE_H_

#include <cstdio>
#include <string>

#include "base/args.h"

// The exit status of a program given a bad command line.
const int kUsageStatus = 2;

// Reads argv[1 .. argc-1] against `opts`. False with the reader's message
// ("cannot recognize option: --x", ...) in *error.
bool parseCommandLine(const args::options& opts, int argc,
                      const char* const* argv, args::args* parsed,
                      std::string* error);

// Writes `message` on a line of its own, then the usage text of `program`,
// to `err`. Returns kUsageStatus.
int commandLineError(FILE* err, const char* program, const args::options& opts,
                     const std::string& message);

// Writes `description` (nothing when null), then the usage text of
// `program`, to `out`.
void printUsage(FILE* out, const char* program, const args::options& opts,
                const char* description);

// The start of a program whose options include "help". True when it goes on
// with *parsed. Otherwise it is to end with *status: 0 after --help (the
// description and usage on `out`), kUsageStatus after a bad command line
// (the message and usage on `err`).
bool readCommandLine(const args::options& opts, int argc,
                     const char* const* argv, const char* description,
                     args::args* parsed, int* status, FILE* out = stdout,
                     FILE* err = stderr);

#endif  // TALMORO_TOOLS_LIB_COMMAND_LINE_H_
