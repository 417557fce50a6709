// Converts a compiled mecab-ko-dic system dictionary (sys.dic) into a source
// lexicon for talmoro-dict, with derived pieces, attribute markers and hand-
// kept supplements.
#include <cstdio>
#include <string>
#include <vector>

#include "command_line.h"
#include "lexicon_convert.h"

namespace {

const char HELP[] =
    "Converts mecab-ko-dic's sys.dic into a source lexicon (see talmoro-dict\n"
    "--help for its format).\n"
    "\n"
    "  talmoro-mecab-convert -d mecab-ko-dic/ -o default.lex \\\n"
    "      -a data/lexicon/copula-endings.txt,data/lexicon/ending-markers.txt \\\n"
    "      -s data/lexicon/supplement.lex\n"
    "\n"
    "Attribute lists (-a) hold lines 'FORM[/TAG,...] MARKER,...' adding markers\n"
    "to the endings and particles of that form ('!MARKER' removes one).\n"
    "Supplements (-s) are source lexicons appended to the output. Several\n"
    "files are separated by commas. Progress and counts go to stderr.\n"
    "\n";

std::vector<std::string> fileList(const args::args& parsed, const char* name) {
  std::vector<std::string> files;
  if (!parsed.hasValue(name)) return files;
  const std::string& value = parsed.getOption(name);
  size_t start = 0;
  while (start <= value.size()) {
    size_t comma = value.find(',', start);
    std::string file = value.substr(start, comma == std::string::npos ? std::string::npos
                                                                        : comma - start);
    if (!file.empty()) files.push_back(file);
    if (comma == std::string::npos) break;
    start = comma + 1;
  }
  return files;
}

}  // namespace

int main(int argc, char** argv) {
  args::options opts;
  opts.add(args::option("h", "help", false, false, "print this help"));
  opts.add(args::option("d", "dictionary", true, false,
                        "mecab-ko-dic directory or its sys.dic"));
  opts.add(args::option("o", "output", true, false, "source lexicon to write"));
  opts.add(args::option("a", "attributes", true, false,
                        "attribute list files, comma-separated"));
  opts.add(args::option("s", "supplement", true, false,
                        "supplement source lexicons, comma-separated"));
  opts.add(args::option("c", "split-compounds", false, false,
                        "write compound nouns as their parts"));
  opts.add(args::option("q", "quiet", false, false, "no progress on stderr"));
  args::args parsed;
  int status;
  if (!readCommandLine(opts, argc, argv, HELP, &parsed, &status))
    return status;
  if (!parsed.hasValue("dictionary") || !parsed.hasValue("output"))
    return commandLineError(stderr, argv[0], opts,
                            "talmoro-mecab-convert: -d and -o are required");
  ConvertJob job;
  job.dictionary = parsed.getOption("dictionary");
  job.output = parsed.getOption("output");
  job.attributeFiles = fileList(parsed, "attributes");
  job.supplementFiles = fileList(parsed, "supplement");
  job.options.splitCompounds = parsed.hasValue("split-compounds");
  job.progress = !parsed.hasValue("quiet");
  return convertDictionary(job, stderr);
}
