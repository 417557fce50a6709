// Counts a tagged corpus into the tagger model files "mtrans.frq",
// "etrans.frq" and an empty "tagseq.rul".
#include <cstdio>

#include "command_line.h"
#include "tagger/model_trainer.h"

namespace {

const char FORMAT_HELP[] =
    "Counts a tagged corpus into the tagger model files mtrans.frq,\n"
    "etrans.frq and an empty tagseq.rul.\n"
    "\n"
    "Corpus formats (UTF-8):\n"
    "\n"
    "  text    one sentence per line; eojeol separated by spaces or tabs;\n"
    "          each eojeol its morphemes LEXICON/TAG joined by '+' (the tag\n"
    "          follows the last '/'). Blank lines are skipped.\n"
    "\n"
    "            학교/nng+에/jkb 가/vv+았/ep+다/ef+./sf\n"
    "\n"
    "  conllu  CoNLL-U, ten tab-separated columns per token, sentences ended\n"
    "          by a blank line, '#' lines skipped. LEMMA (column 3) holds\n"
    "          the morphemes joined by '+', XPOS (column 5) their tags\n"
    "          joined by '+'; where the counts differ, OrigLemma= in MISC\n"
    "          (column 10) gives the morphemes. A token with SpaceAfter=No\n"
    "          is joined with the next one into one eojeol. Multi-word\n"
    "          ranges (1-2) and empty nodes (1.1) are skipped.\n"
    "\n"
    "            1\t학교에\t학교+에\tNOUN\tNNG+JKB\t_\t2\tobl\t_\t_\n"
    "\n"
    "Tags are ours (nng, jks, ec, ...) or Sejong tags, lower-cased, with\n"
    "NNBC -> nnb, SSO and SSC -> ss, SC -> sp, SY -> sw, NV -> vf; any other\n"
    "tag is an error. The format is chosen by -f, or else by the file name\n"
    "(.conllu or not). Every bad line is reported with its number and\n"
    "nothing is written.\n"
    "\n";

}  // namespace

int main(int argc, char** argv) {
  args::options opts;
  opts.add(args::option("h", "help", false, false,
                        "print this help and the corpus formats"));
  opts.add(args::option("i", "input", true, false, "tagged corpus file"));
  opts.add(args::option("o", "output", true, false,
                        "model directory (created when missing)"));
  opts.add(args::option("f", "format", true, false,
                        "corpus format: text or conllu"));
  args::args parsed;
  int status;
  if (!readCommandLine(opts, argc, argv, FORMAT_HELP, &parsed, &status))
    return status;
  if (!parsed.hasValue("input") || !parsed.hasValue("output"))
    return commandLineError(stderr, argv[0], opts,
                            "talmoro-train: -i and -o are required");
  const char* format =
      parsed.hasValue("format") ? parsed.getOption("format").c_str() : nullptr;
  return trainModelFile(parsed.getOption("input").c_str(), format,
                        parsed.getOption("output").c_str(), stdout, stderr);
}
