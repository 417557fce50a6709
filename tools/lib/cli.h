// The talmoro program: options, loading of the dictionaries and model, and
// the driver that tags (or analyses) input lines with one or more threads
// and writes the results in input order.
//
// One input line is one sentence. Workers share one loaded dictionary and
// model, each with its own tagger or analyzer, over chunks of lines.
#ifndef TALMORO_TOOLS_LIB_CLI_H_
#define TALMORO_TOOLS_LIB_CLI_H_

#include <cstddef>
#include <cstdio>
#include <string>
#include <vector>

#include "api/talmoro.h"
#include "writer.h"

struct CliOptions {
  std::string dictionary;  // empty: the default one
  std::string user;        // empty: none
  std::string model;       // empty: the default one
  std::string input;       // empty: standard input
  std::string output;      // empty: standard output
  OutputFormat format = OutputFormat::kText;
  unsigned threads = 1;
  bool analyze = false;
  bool strict = false;
  bool help = false;
};

// The program's declared options.
args::options cliOptions();

// Reads the command line. False with a message naming the problem.
bool parseCliOptions(int argc, const char* const* argv, CliOptions* options,
                     std::string* error);

// A short description of the program followed by the usage text.
void printHelp(FILE* stream, const char* program);

// The directory of the running program, or "" when it cannot be told.
std::string executableDir();

// The places where the default dictionary ("dic") or model ("model") is
// looked for: beside the program, then ../share/talmoro/ from it.
std::vector<std::string> defaultCandidates(const std::string& exeDir,
                                           const std::string& name);

// The first of `candidates` that is a directory, or "".
std::string firstDirectory(const std::vector<std::string>& candidates);

// What went wrong when Knowledge::load(dir) returned `code`, naming the
// file: "sys.idx cannot be opened", "no such directory", ...
std::string describeDictionaryFailure(const std::string& dir, int code);
// The same for a failed Model::load(dir).
std::string describeModelFailure(const std::string& dir);

// The loaded dictionaries and model. Read-only once loaded, shared by all
// workers; destroys what it loaded.
class Engine {
 public:
  Engine() = default;
  ~Engine();
  Engine(const Engine&) = delete;
  Engine& operator=(const Engine&) = delete;

  // Each returns false with "talmoro: cannot load ...: reason" on failure.
  bool loadDictionary(const std::string& dir, std::string* error);
  bool loadUserDictionary(const std::string& path, std::string* error);
  bool loadModel(const std::string& dir, std::string* error);

  const Knowledge* knowledge() const { return knowledge_; }
  const UserKnowledge* user() const { return user_; }
  const Model* model() const { return model_; }

 private:
  Knowledge* knowledge_ = nullptr;
  UserKnowledge* user_ = nullptr;
  Model* model_ = nullptr;
};

// How lines are processed and written.
struct RunSettings {
  OutputFormat format = OutputFormat::kText;
  bool analyze = false;
  bool strict = false;
  unsigned threads = 1;
  std::string inputName = "standard input";
  std::string outputName = "standard output";
  // Lines per chunk handed to a worker (1 for interactive input).
  size_t chunkLines = 256;
  // Show a progress bar on `err`; inputBytes is its total, 0 when unknown.
  bool progress = false;
  long long inputBytes = 0;
};

// One worker's tagger or analyzer with its result containers.
class LineProcessor {
 public:
  LineProcessor(const Engine& engine, const RunSettings& settings);
  ~LineProcessor();
  LineProcessor(const LineProcessor&) = delete;
  LineProcessor& operator=(const LineProcessor&) = delete;

  // Appends the output of input line number `lineNumber` (from 1) to *out.
  // A line that is not valid UTF-8 gets empty output and a message in
  // *errors.
  void process(const std::string& line, size_t lineNumber, std::string* out,
               std::string* errors);

 private:
  Writer writer_;
  bool analyze_;
  Tagger* tagger_ = nullptr;
  Sentence* sentence_ = nullptr;
  Analyzer* analyzer_ = nullptr;
  std::vector<Candidate*> candidates_;
};

// Reads `in` to its end and writes the output of every line to `out` in
// input order, line messages to `err`. Returns 0, or 1 when reading or
// writing fails (reported on `err`).
int runLines(FILE* in, FILE* out, FILE* err, const Engine& engine,
             const RunSettings& settings);

// The whole program; returns its exit status. `in`, `out` and `err` stand
// for standard input, output and error (-i and -o replace the first two).
int runCli(int argc, const char* const* argv, FILE* in, FILE* out, FILE* err);

#endif  // TALMORO_TOOLS_LIB_CLI_H_
