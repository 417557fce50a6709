// Converts MeCab's output (mecab-ko-dic, node format "%M\t%H\n", "EOS"
// after each sentence) into the text corpus of talmoro-train.
#include <cstdio>

#include "command_line.h"
#include "mecab_silver.h"

namespace {

const char HELP[] =
    "Converts MeCab output into a tagged corpus (one sentence per line,\n"
    "eojeol LEXICON/TAG+LEXICON/TAG ...). Run MeCab as\n"
    "  mecab -d DIC -F '%M\\t%H\\n' -U '%M\\t%H\\n' -E 'EOS\\n'\n\n";

}  // namespace

int main(int argc, char** argv) {
  args::options opts;
  opts.add(args::option("h", "help", false, false, "print this help"));
  opts.add(args::option("i", "input", true, false,
                        "MeCab output (default: standard input)"));
  opts.add(args::option("o", "output", true, false, "corpus file to write"));
  args::args parsed;
  int status;
  if (!readCommandLine(opts, argc, argv, HELP, &parsed, &status))
    return status;
  if (!parsed.hasValue("output"))
    return commandLineError(stderr, argv[0], opts,
                            "talmoro-mecab-silver: -o is required");
  const std::string input =
      parsed.hasValue("input") ? parsed.getOption("input") : "-";
  return convertMecabOutputFile(input, parsed.getOption("output"), stderr);
}
