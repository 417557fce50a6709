// Builds tagger model files from a MeCab dictionary's costs, alone or added
// to the counts of a tagged corpus; see tools/lib/mecab_model.h.
#include <cstdio>
#include <cstdlib>

#include "command_line.h"
#include "mecab_model.h"

int main(int argc, char** argv) {
  args::options opts;
  opts.add(args::option("h", "help", false, false, "print this help"));
  opts.add(args::option("d", "dictionary", true, false,
                        "mecab-ko-dic directory (sys.dic, matrix.bin, dicrc)"));
  opts.add(args::option("c", "corpus", true, false,
                        "tagged corpus (talmoro-train text format) to add"));
  opts.add(args::option("o", "output", true, false, "model directory"));
  opts.add(args::option("s", "scale", true, false,
                        "cost units per factor e (default 400)"));
  opts.add(args::option("w", "share", true, false,
                        "with -c: the dictionary's eojeol as a share of the "
                        "corpus' (default 0.1; 0: corpus alone)"));
  opts.add(args::option("n", "eojeols", true, false,
                        "without -c: eojeol the derived counts stand for "
                        "(default 1000000)"));
  opts.add(args::option("r", "resolution", true, false,
                        "with -c: multiply every count by this (default 1)"));
  args::args parsed;
  int status;
  if (!readCommandLine(opts, argc, argv, nullptr, &parsed, &status))
    return status;
  if (!parsed.hasValue("output") ||
      (!parsed.hasValue("dictionary") && !parsed.hasValue("corpus")))
    return commandLineError(stderr, argv[0], opts,
                            "talmoro-mecab-model: -o and -d or -c are required");
  MecabModelJob job;
  job.output = parsed.getOption("output");
  if (parsed.hasValue("dictionary")) job.dictionary = parsed.getOption("dictionary");
  if (parsed.hasValue("corpus")) job.corpus = parsed.getOption("corpus");
  if (parsed.hasValue("scale"))
    job.options.scale = std::atof(parsed.getOption("scale").c_str());
  if (parsed.hasValue("share"))
    job.pseudoShare = std::atof(parsed.getOption("share").c_str());
  if (parsed.hasValue("eojeols"))
    job.options.eojeols = std::atof(parsed.getOption("eojeols").c_str());
  if (parsed.hasValue("resolution"))
    job.resolution = std::atof(parsed.getOption("resolution").c_str());
  job.pseudo = !job.dictionary.empty();
  return buildMecabModel(job, stdout, stderr);
}
