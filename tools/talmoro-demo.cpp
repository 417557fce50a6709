// Reads UTF-8 lines from standard input and shows, per word, how the engine
// sees its text: the normalized form (lower-cased, Chinese characters read in
// Hangul) and the jamo indices of each Hangul syllable.
#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <sstream>
#include <string>

#include "api/talmoro.h"
#include "command_line.h"

namespace {

void showWord(const std::string& word) {
  unsigned short* units =
      utf8_touchar(reinterpret_cast<const unsigned char*>(word.c_str()));
  if (units == nullptr) {
    std::printf("%s\t(not valid UTF-8)\n", word.c_str());
    return;
  }
  ustrtolower(units);
  ustrtohangul(units);
  unsigned char* normalized = uchar_toutf8(units);
  std::printf("%s\t%s\t", word.c_str(),
              normalized ? reinterpret_cast<char*>(normalized) : "");
  std::free(normalized);
  for (unsigned short* u = units; *u != 0; ++u) {
    unsigned short initial, medial, final_consonant;
    decode_han(*u, initial, medial, final_consonant);
    if (initial == 99) {
      std::printf(" U+%04X", *u);
    } else {
      std::printf(" (%u,%u,%u)", initial, medial, final_consonant);
    }
  }
  std::printf("\n");
  std::free(units);
}

}  // namespace

int main(int argc, char** argv) {
  args::options opts;
  opts.add(args::option("h", "help", false, false, "print this help"));
  args::args parsed;
  int status;
  if (!readCommandLine(opts, argc, argv,
                       "Shows the normalized text and jamo of each word read.\n",
                       &parsed, &status))
    return status;
  std::string line;
  while (std::getline(std::cin, line)) {
    std::istringstream words(line);
    std::string word;
    while (words >> word) showWord(word);
  }
  return 0;
}
