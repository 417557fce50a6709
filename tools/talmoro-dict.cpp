// Compiles a source lexicon (UTF-8 text) into the system dictionary files
// "sys.tri", "sys.idx" and "sys.dat".
#include <cstdio>

#include "command_line.h"
#include "knowledge/lexicon_source.h"

namespace {

const char FORMAT_HELP[] =
    "Compiles a source lexicon into sys.tri, sys.idx and sys.dat.\n"
    "\n"
    "Source lexicon (UTF-8): one surface per line, then its analyses,\n"
    "separated by spaces or tabs. A field starting with '#' begins a\n"
    "comment; blank lines are ignored.\n"
    "\n"
    "  analysis   MORPHEME+MORPHEME...[MARKER,MARKER,...]\n"
    "  morpheme   [~]LEXICON/TAG   (tag after the last '/'; '~': the text is\n"
    "             not spelled in the surface, as in contracted forms)\n"
    "  tag        nng, jks, ec, ...; '_' for an entry without tag; 0x... code\n"
    "  marker     @유종성, +지정사, @단위, ...: the ending, particle or bound-\n"
    "             noun lexicon of the first morpheme's class; eomi:, josa:,\n"
    "             nnb:, clue: name the lexicon; 0x... gives bits; flag:N sets\n"
    "             the attribute flag byte (clue markers give 2, others 1)\n"
    "  '\\'        makes the next character literal (\\+ \\[ \\~ \\# \\  \\\\)\n"
    "\n"
    "Keys are kept as written, not lower-cased: the analyzer searches\n"
    "lower-cased text, so write them in lower case. Analyses of one surface\n"
    "are chained in file order; a lexicon may hold at most 127 units. Any\n"
    "bad line is reported with its number and nothing is written.\n"
    "\n"
    "Example:\n"
    "  # surface  analyses\n"
    "  학교       학교/nng\n"
    "  가         가/vv  가/jks[@무종성]\n"
    "  이         이/jks[@유종성]  이/vcp\n"
    "  갈         갈/vv  가/vv+~ㄹ/etm\n"
    "  는데       는데/ec[+지정사]\n"
    "  들         들/xsn[clue:+1음절명사]\n"
    "\n";

}  // namespace

int main(int argc, char** argv) {
  args::options opts;
  opts.add(args::option("h", "help", false, false,
                        "print this help and the source format"));
  opts.add(args::option("i", "input", true, false, "source lexicon file"));
  opts.add(args::option("o", "output", true, false,
                        "output directory (created when missing)"));
  args::args parsed;
  int status;
  if (!readCommandLine(opts, argc, argv, FORMAT_HELP, &parsed, &status))
    return status;
  if (!parsed.hasValue("input") || !parsed.hasValue("output"))
    return commandLineError(stderr, argv[0], opts,
                            "talmoro-dict: -i and -o are required");
  return compileSourceFile(parsed.getOption("input").c_str(),
                           parsed.getOption("output").c_str(), stderr);
}
