// Converts MeCab's output (mecab-ko-dic, node format "%M\t%H\n", "EOS"
// after each sentence) into the text corpus of talmoro-train.
#include <cstdio>

#include "base/args.h"
#include "mecab_silver.h"

int main(int argc, char** argv) {
  args::options opts;
  opts.add(args::option("h", "help", false, false, "print this help"));
  opts.add(args::option("i", "input", true, false,
                        "MeCab output (default: standard input)"));
  opts.add(args::option("o", "output", true, false, "corpus file to write"));
  args::args parsed;
  try {
    parsed = args::reader::parse(opts, argc, argv);
  } catch (const args::exception& e) {
    std::fprintf(stderr, "%s\n", e.what());
    args::formatter(stderr, argv[0], opts);
    return 2;
  }
  if (parsed.hasValue("help")) {
    std::fputs(
        "Converts MeCab output into a tagged corpus (one sentence per line,\n"
        "eojeol LEXICON/TAG+LEXICON/TAG ...). Run MeCab as\n"
        "  mecab -d DIC -F '%M\\t%H\\n' -U '%M\\t%H\\n' -E 'EOS\\n'\n\n",
        stdout);
    args::formatter(stdout, argv[0], opts);
    return 0;
  }
  if (!parsed.hasValue("output")) {
    std::fprintf(stderr, "talmoro-mecab-silver: -o is required\n");
    args::formatter(stderr, argv[0], opts);
    return 2;
  }
  const std::string input =
      parsed.hasValue("input") ? parsed.getOption("input") : "-";
  return convertMecabOutputFile(input, parsed.getOption("output"), stderr);
}
