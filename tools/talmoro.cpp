// Tags or analyses Korean text line by line; see tools/lib/cli.h.
#include <cstdio>

#include "cli.h"

int main(int argc, char** argv) {
  return runCli(argc, argv, stdin, stdout, stderr);
}
