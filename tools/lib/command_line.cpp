#include "command_line.h"

bool parseCommandLine(const args::options& opts, int argc,
                      const char* const* argv, args::args* parsed,
                      std::string* error) {
  try {
    *parsed = args::reader::parse(opts, argc, argv);
  } catch (const args::exception& e) {
    *error = e.what();
    return false;
  }
  return true;
}

int commandLineError(FILE* err, const char* program, const args::options& opts,
                     const std::string& message) {
  std::fprintf(err, "%s\n", message.c_str());
  args::formatter(err, program, opts);
  return kUsageStatus;
}

void printUsage(FILE* out, const char* program, const args::options& opts,
                const char* description) {
  if (description != nullptr) std::fputs(description, out);
  args::formatter(out, program, opts);
}

bool readCommandLine(const args::options& opts, int argc,
                     const char* const* argv, const char* description,
                     args::args* parsed, int* status, FILE* out, FILE* err) {
  const char* program = argc > 0 && argv != nullptr ? argv[0] : nullptr;
  std::string error;
  if (!parseCommandLine(opts, argc, argv, parsed, &error)) {
    *status = commandLineError(err, program, opts, error);
    return false;
  }
  if (parsed->hasValue("help")) {
    printUsage(out, program, opts, description);
    *status = 0;
    return false;
  }
  return true;
}
