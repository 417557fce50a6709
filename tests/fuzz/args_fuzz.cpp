// The option reader on arbitrary argument vectors: the input's lines are
// the arguments; the first byte picks how many of the first lines also
// declare options of their own (beside a fixed set), which may collide.
// Every failure must be an args::exception; the usage text is printed to
// /dev/null.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "base/args.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static std::FILE* sink = std::fopen("/dev/null", "w");
  if (size == 0) return 0;
  const unsigned declared = data[0] % 5;
  std::vector<std::string> lines(1, "prog");
  std::string current;
  for (size_t i = 1; i < size; ++i) {
    if (data[i] == '\n') {
      lines.push_back(current);
      current.clear();
    } else {
      current.push_back(static_cast<char>(data[i]));
    }
  }
  lines.push_back(current);

  args::options opts;
  try {
    opts.add(args::option("h", "help", false, false, "help"));
    opts.add(args::option("d", "dir", true, false, "a directory"));
    opts.add(args::option("", "only-long", true, false, "long only"));
    for (unsigned k = 0; k < declared && k + 1 < lines.size(); ++k) {
      const std::string& name = lines[k + 1];
      const size_t cut = name.size() / 2;
      opts.add(args::option(name.substr(0, cut), name.substr(cut),
                            name.size() % 2 == 1, name.size() % 3 == 0, name));
    }
  } catch (const args::exception&) {
  }
  args::options copy(opts);

  std::vector<const char*> argv;
  for (const std::string& s : lines) argv.push_back(s.c_str());
  try {
    args::args parsed =
        args::reader::parse(copy, static_cast<int>(argv.size()), argv.data());
    for (const std::string& s : lines) {
      if (parsed.hasValue(s)) parsed.getOption(s);
    }
    parsed.getOption(lines.back());
  } catch (const args::exception& e) {
    if (e.what() == nullptr) __builtin_trap();
  }
  if (sink != nullptr) args::formatter(sink, lines[0].c_str(), copy);
  return 0;
}
