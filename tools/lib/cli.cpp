#include "cli.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <climits>
#include <condition_variable>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <memory>
#include <mutex>
#include <system_error>
#include <thread>

#include "command_line.h"

namespace {

const char kProgram[] = "talmoro";
const unsigned kMaxThreads = 256;
const size_t kChunkBytes = 256 * 1024;

const char kDescription[] =
    "Tags Korean text: one input line is one sentence; each word (eojeol)\n"
    "gets the analysis the model chooses, written as morphemes lexicon/tag.\n"
    "With --analyze every analysis of every word is written with its score.\n"
    "Without options, standard input is tagged with the default dictionary\n"
    "and model, found beside the program or in ../share/talmoro/.\n"
    "\n"
    "Formats: text (word, tab, morphemes joined by '+'; a blank line after\n"
    "each sentence), morphs (one line per input line), json (one object per\n"
    "line), conllu (one token per word, LEMMA and XPOS joined by '+').\n"
    "\n";

bool isDirectory(const std::string& path) {
  struct stat info;
  return stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

// Whether `dir`/`name` is a regular file that can be opened for reading.
bool canOpen(const std::string& dir, const char* name) {
  const std::string path = dir + "/" + name;
  struct stat info;
  if (stat(path.c_str(), &info) != 0 || !S_ISREG(info.st_mode)) return false;
  FILE* fp = std::fopen(path.c_str(), "rb");
  if (fp == nullptr) return false;
  std::fclose(fp);
  return true;
}

bool parseThreads(const std::string& text, unsigned* threads) {
  if (text.empty()) return false;
  char* end = nullptr;
  errno = 0;
  const long value = std::strtol(text.c_str(), &end, 10);
  if (errno != 0 || *end != '\0' || value < 1 ||
      value > static_cast<long>(kMaxThreads))
    return false;
  *threads = static_cast<unsigned>(value);
  return true;
}

std::string joinPaths(const std::vector<std::string>& paths) {
  std::string s;
  for (size_t i = 0; i < paths.size(); ++i) {
    if (i > 0) s += i + 1 == paths.size() ? " and " : ", ";
    s += paths[i];
  }
  return s;
}

// Code points in UTF-8 text: every byte that does not continue a sequence.
long long countChars(const std::string& text) {
  long long n = 0;
  for (unsigned char c : text)
    if ((c & 0xC0) != 0x80) ++n;
  return n;
}

// Reads one line without its line break (and without a CR before it).
// False at the end of the input or on a read error.
bool readLine(FILE* in, std::string* line, char** buffer, size_t* capacity) {
  const ssize_t n = getline(buffer, capacity, in);
  if (n < 0) return false;
  size_t length = static_cast<size_t>(n);
  if (length > 0 && (*buffer)[length - 1] == '\n') --length;
  if (length > 0 && (*buffer)[length - 1] == '\r') --length;
  line->assign(*buffer, length);
  return true;
}

// Lines done, throughput and, when the input size is known, a bar. Drawn on
// one terminal line, first after a second, then four times a second.
class Progress {
 public:
  Progress(FILE* err, bool enabled, long long total)
      : err_(err), enabled_(enabled), total_(total),
        start_(std::chrono::steady_clock::now()), last_(start_) {}

  void update(size_t lines, long long bytes, long long chars) {
    if (!enabled_) return;
    const auto now = std::chrono::steady_clock::now();
    if (now - start_ < std::chrono::seconds(1)) return;
    if (now - last_ < std::chrono::milliseconds(250)) return;
    last_ = now;
    drawn_ = true;
    const double seconds =
        std::chrono::duration<double>(now - start_).count();
    char bar[32] = "";
    if (total_ > 0) {
      const double done = bytes >= total_ ? 1.0 : double(bytes) / total_;
      const int filled = static_cast<int>(done * 20);
      bar[0] = '[';
      for (int i = 0; i < 20; ++i) bar[1 + i] = i < filled ? '#' : '.';
      std::snprintf(bar + 21, sizeof bar - 21, "] %3d%% ",
                    static_cast<int>(done * 100));
    }
    std::fprintf(err_, "\r\033[K%s%zu lines  %.0f lines/s  %.0f chars/s",
                 bar, lines, lines / seconds, chars / seconds);
    std::fflush(err_);
  }

  // Clears the bar, before a message or at the end; the next update draws
  // it again.
  void clear() {
    if (!drawn_) return;
    std::fputs("\r\033[K", err_);
    std::fflush(err_);
    drawn_ = false;
  }

 private:
  FILE* err_;
  bool enabled_;
  long long total_;
  std::chrono::steady_clock::time_point start_;
  std::chrono::steady_clock::time_point last_;
  bool drawn_ = false;
};

// A run of input lines and, once a worker is done with it, their output.
struct Chunk {
  size_t firstLine = 0;
  std::vector<std::string> lines;
  long long bytes = 0;
  long long chars = 0;
  std::string out;
  std::string errors;
  bool done = false;
};

// Reads up to `maxLines` lines (or about kChunkBytes) into a chunk.
// False when nothing was read.
bool readChunk(FILE* in, size_t firstLine, size_t maxLines, Chunk* chunk,
               char** buffer, size_t* capacity) {
  chunk->firstLine = firstLine;
  std::string line;
  size_t bytes = 0;
  while (chunk->lines.size() < maxLines && bytes < kChunkBytes &&
         readLine(in, &line, buffer, capacity)) {
    bytes += line.size() + 1;
    chunk->chars += countChars(line) + 1;
    chunk->lines.push_back(line);
  }
  chunk->bytes = static_cast<long long>(bytes);
  return !chunk->lines.empty();
}

void processChunk(LineProcessor* processor, Chunk* chunk) {
  for (size_t i = 0; i < chunk->lines.size(); ++i)
    processor->process(chunk->lines[i], chunk->firstLine + i, &chunk->out,
                       &chunk->errors);
}

// Writes a finished chunk: its line messages, then its output.
bool writeChunk(const Chunk& chunk, FILE* out, FILE* err) {
  if (!chunk.errors.empty()) {
    std::fwrite(chunk.errors.data(), 1, chunk.errors.size(), err);
    std::fflush(err);
  }
  return std::fwrite(chunk.out.data(), 1, chunk.out.size(), out) ==
         chunk.out.size();
}

// The input's size when it is a regular file, else 0.
long long regularFileSize(FILE* fp) {
  struct stat info;
  if (fstat(fileno(fp), &info) != 0 || !S_ISREG(info.st_mode)) return 0;
  return static_cast<long long>(info.st_size);
}

}  // namespace

args::options cliOptions() {
  args::options opts;
  opts.add(args::option("h", "help", false, false, "print this help"));
  opts.add(args::option("d", "dic", true, false,
                        "system dictionary directory (sys.tri, sys.idx, sys.dat)"));
  opts.add(args::option("u", "user", true, false, "user dictionary file"));
  opts.add(args::option("m", "model", true, false,
                        "model directory (mtrans.frq, etrans.frq, tagseq.rul)"));
  opts.add(args::option("a", "analyze", false, false,
                        "write every analysis of each word with its score"));
  opts.add(args::option("s", "strict", false, false,
                        "strict analysis: no relaxed second pass"));
  opts.add(args::option("i", "input", true, false,
                        "input file (default: standard input)"));
  opts.add(args::option("o", "output", true, false,
                        "output file (default: standard output)"));
  opts.add(args::option("t", "threads", true, false,
                        "number of tagging threads (default: 1)"));
  opts.add(args::option("f", "format", true, false,
                        "output format: text, morphs, json or conllu (default: text)"));
  return opts;
}

bool parseCliOptions(int argc, const char* const* argv, CliOptions* options,
                     std::string* error) {
  args::args parsed;
  if (!parseCommandLine(cliOptions(), argc, argv, &parsed, error)) {
    *error = std::string(kProgram) + ": " + *error;
    return false;
  }
  CliOptions o;
  o.help = parsed.hasValue("help");
  o.analyze = parsed.hasValue("analyze");
  o.strict = parsed.hasValue("strict");
  if (parsed.hasValue("dic")) o.dictionary = parsed.getOption("dic");
  if (parsed.hasValue("user")) o.user = parsed.getOption("user");
  if (parsed.hasValue("model")) o.model = parsed.getOption("model");
  if (parsed.hasValue("input")) o.input = parsed.getOption("input");
  if (parsed.hasValue("output")) o.output = parsed.getOption("output");
  if (parsed.hasValue("format") &&
      !parseOutputFormat(parsed.getOption("format"), &o.format)) {
    *error = std::string(kProgram) + ": unknown format '" +
             parsed.getOption("format") +
             "' (choose text, morphs, json or conllu)";
    return false;
  }
  if (parsed.hasValue("threads") &&
      !parseThreads(parsed.getOption("threads"), &o.threads)) {
    *error = std::string(kProgram) + ": --threads needs a number from 1 to " +
             std::to_string(kMaxThreads) + ", not '" +
             parsed.getOption("threads") + "'";
    return false;
  }
  const struct {
    const char* name;
    const std::string& value;
  } paths[] = {{"--dic", o.dictionary}, {"--user", o.user},
               {"--model", o.model},    {"--input", o.input},
               {"--output", o.output}};
  for (const auto& p : paths) {
    if (parsed.hasValue(p.name + 2) && p.value.empty()) {
      *error = std::string(kProgram) + ": " + p.name + " needs a path";
      return false;
    }
  }
  *options = o;
  return true;
}

void printHelp(FILE* stream, const char* program) {
  printUsage(stream, program, cliOptions(), kDescription);
}

std::string executableDir() {
  char path[PATH_MAX + 1];
  const ssize_t n = readlink("/proc/self/exe", path, PATH_MAX);
  if (n <= 0) return "";
  path[n] = '\0';
  char* slash = std::strrchr(path, '/');
  if (slash == nullptr) return "";
  if (slash == path) return "/";
  *slash = '\0';
  return path;
}

std::vector<std::string> defaultCandidates(const std::string& exeDir,
                                           const std::string& name) {
  if (exeDir.empty()) return {};
  const std::string base = exeDir == "/" ? "" : exeDir;
  const size_t slash = base.rfind('/');
  // The parent of the root is the root.
  const std::string parent =
      slash == std::string::npos ? base : base.substr(0, slash);
  return {base + "/" + name, parent + "/share/talmoro/" + name};
}

std::string firstDirectory(const std::vector<std::string>& candidates) {
  for (const std::string& c : candidates)
    if (isDirectory(c)) return c;
  return "";
}

std::string describeDictionaryFailure(const std::string& dir, int code) {
  if (!isDirectory(dir)) return "no such directory";
  switch (code) {
    case -1:
      return canOpen(dir, KNOWLEDGE_TRIE_FILE)
                 ? std::string(KNOWLEDGE_TRIE_FILE) + " cannot be read"
                 : std::string(KNOWLEDGE_TRIE_FILE) + " cannot be opened";
    case -2:
      if (!canOpen(dir, KNOWLEDGE_INDEX_FILE))
        return std::string(KNOWLEDGE_INDEX_FILE) + " cannot be opened";
      if (!canOpen(dir, KNOWLEDGE_DATA_FILE))
        return std::string(KNOWLEDGE_DATA_FILE) + " cannot be opened";
      return std::string(KNOWLEDGE_INDEX_FILE) + " or " + KNOWLEDGE_DATA_FILE +
             " cannot be read";
    case -3:
      return std::string(KNOWLEDGE_INDEX_FILE) +
             " is damaged (its size is not a multiple of 4)";
    default:
      return "load failed with code " + std::to_string(code);
  }
}

std::string describeModelFailure(const std::string& dir) {
  if (!isDirectory(dir)) return "no such directory";
  for (const char* name :
       {MODEL_MORPHEME_TRANSITION_FILE, MODEL_EOJUL_TRANSITION_FILE})
    if (!canOpen(dir, name)) return std::string(name) + " cannot be opened";
  return std::string(MODEL_MORPHEME_TRANSITION_FILE) + " or " +
         MODEL_EOJUL_TRANSITION_FILE + " cannot be read";
}

Engine::~Engine() {
  Model::destroyObject(model_);
  UserKnowledge::destroyObject(user_);
  Knowledge::destroyObject(knowledge_);
}

bool Engine::loadDictionary(const std::string& dir, std::string* error) {
  Knowledge* k = Knowledge::createObject();
  const int rc = k->load(dir.c_str());
  if (rc != 0) {
    Knowledge::destroyObject(k);
    *error = std::string(kProgram) + ": cannot load dictionary " + dir + ": " +
             describeDictionaryFailure(dir, rc);
    return false;
  }
  Knowledge::destroyObject(knowledge_);
  knowledge_ = k;
  return true;
}

bool Engine::loadUserDictionary(const std::string& path, std::string* error) {
  UserKnowledge* u = UserKnowledge::createObject();
  if (isDirectory(path) || u->load(path.c_str()) != 0) {
    UserKnowledge::destroyObject(u);
    *error = std::string(kProgram) + ": cannot load user dictionary " + path +
             ": " + (isDirectory(path) ? "it is a directory"
                                       : "it cannot be opened");
    return false;
  }
  UserKnowledge::destroyObject(user_);
  user_ = u;
  return true;
}

bool Engine::loadModel(const std::string& dir, std::string* error) {
  Model* m = Model::createObject();
  if (m->load(dir.c_str()) != 0) {
    Model::destroyObject(m);
    *error = std::string(kProgram) + ": cannot load model " + dir + ": " +
             describeModelFailure(dir);
    return false;
  }
  Model::destroyObject(model_);
  model_ = m;
  return true;
}

LineProcessor::LineProcessor(const Engine& engine, const RunSettings& settings)
    : writer_(settings.format), analyze_(settings.analyze) {
  if (analyze_) {
    analyzer_ = Analyzer::createObject(engine.knowledge(), engine.user());
    analyzer_->setStrictAnalysis(settings.strict);
  } else {
    tagger_ =
        Tagger::createObject(engine.model(), engine.knowledge(), engine.user());
    tagger_->setStrictAnalysis(settings.strict);
    sentence_ = Sentence::createObject();
  }
}

LineProcessor::~LineProcessor() {
  for (Candidate* c : candidates_) Candidate::destroyObject(c);
  Analyzer::destroyObject(analyzer_);
  Sentence::destroyObject(sentence_);
  Tagger::destroyObject(tagger_);
}

void LineProcessor::process(const std::string& line, size_t lineNumber,
                            std::string* out, std::string* errors) {
  const char* problem = nullptr;
  if (std::memchr(line.data(), '\0', line.size()) != nullptr) {
    problem = "contains a NUL byte";
  } else if (!isValidUtf8(line)) {
    problem = "not valid UTF-8";
  }
  if (problem != nullptr) {
    *errors += std::string(kProgram) + ": line " + std::to_string(lineNumber) +
               ": " + problem + "\n";
    writer_.writeEmpty(line, lineNumber, problem, out);
    return;
  }
  // The tagger would make a blank line one "nf" word of blanks.
  if (!hasWords(line)) {
    writer_.writeEmpty(line, lineNumber, nullptr, out);
    return;
  }
  if (!analyze_) {
    tagger_->process(line.c_str(), sentence_);
    writer_.writeTagged(line, lineNumber, *sentence_, out);
    return;
  }
  const std::vector<std::pair<std::string, unsigned long>> words =
      splitWords(line);
  while (candidates_.size() < words.size())
    candidates_.push_back(Candidate::createObject());
  std::vector<AnalyzedWord> analyzed;
  analyzed.reserve(words.size());
  for (size_t i = 0; i < words.size(); ++i) {
    analyzer_->process(words[i].first.c_str(), candidates_[i]);
    analyzed.push_back(
        AnalyzedWord{words[i].first, words[i].second, candidates_[i]});
  }
  writer_.writeAnalyzed(line, lineNumber, analyzed, out);
}

int runLines(FILE* in, FILE* out, FILE* err, const Engine& engine,
             const RunSettings& settings) {
  const unsigned threads = settings.threads < 1 ? 1 : settings.threads;
  const size_t chunkLines = settings.chunkLines < 1 ? 1 : settings.chunkLines;
  Progress progress(err, settings.progress, settings.inputBytes);
  size_t linesDone = 0;
  long long bytesDone = 0;
  long long charsDone = 0;
  bool writeFailed = false;
  char* buffer = nullptr;
  size_t capacity = 0;

  auto finishChunk = [&](const Chunk& chunk) {
    if (!chunk.errors.empty()) progress.clear();
    if (!writeChunk(chunk, out, err)) writeFailed = true;
    linesDone += chunk.lines.size();
    bytesDone += chunk.bytes;
    charsDone += chunk.chars;
    progress.update(linesDone, bytesDone, charsDone);
  };

  if (threads == 1) {
    LineProcessor processor(engine, settings);
    size_t next = 1;
    while (!writeFailed) {
      Chunk chunk;
      if (!readChunk(in, next, chunkLines, &chunk, &buffer, &capacity)) break;
      next += chunk.lines.size();
      processChunk(&processor, &chunk);
      finishChunk(chunk);
      if (chunkLines == 1) std::fflush(out);
    }
  } else {
    std::vector<std::unique_ptr<LineProcessor>> processors;
    for (unsigned i = 0; i < threads; ++i)
      processors.emplace_back(new LineProcessor(engine, settings));

    std::mutex mutex;
    std::condition_variable workReady;
    std::condition_variable chunkDone;
    std::deque<Chunk*> todo;
    bool closing = false;

    auto work = [&](LineProcessor* processor) {
      for (;;) {
        Chunk* chunk;
        {
          std::unique_lock<std::mutex> lock(mutex);
          workReady.wait(lock, [&] { return closing || !todo.empty(); });
          if (todo.empty()) return;
          chunk = todo.front();
          todo.pop_front();
        }
        processChunk(processor, chunk);
        {
          std::lock_guard<std::mutex> lock(mutex);
          chunk->done = true;
        }
        chunkDone.notify_all();
      }
    };

    std::vector<std::thread> pool;
    try {
      for (unsigned i = 0; i < threads; ++i)
        pool.emplace_back(work, processors[i].get());
    } catch (const std::system_error& e) {
      {
        std::lock_guard<std::mutex> lock(mutex);
        closing = true;
      }
      workReady.notify_all();
      for (std::thread& t : pool) t.join();
      std::fprintf(err, "%s: cannot start %u threads: %s\n", kProgram, threads,
                   e.what());
      std::free(buffer);
      return 1;
    }

    // Chunks in input order; at most two per thread are read ahead.
    std::deque<std::unique_ptr<Chunk>> inflight;
    const size_t maxInflight = 2 * static_cast<size_t>(threads);
    size_t next = 1;
    bool atEnd = false;
    for (;;) {
      // Write whatever is finished at the front.
      for (;;) {
        std::unique_ptr<Chunk> front;
        {
          std::lock_guard<std::mutex> lock(mutex);
          if (inflight.empty() || !inflight.front()->done) break;
          front = std::move(inflight.front());
          inflight.pop_front();
        }
        finishChunk(*front);
        if (chunkLines == 1) std::fflush(out);
      }
      if (writeFailed) break;
      if (!atEnd && inflight.size() < maxInflight) {
        std::unique_ptr<Chunk> chunk(new Chunk);
        if (readChunk(in, next, chunkLines, chunk.get(), &buffer, &capacity)) {
          next += chunk->lines.size();
          {
            std::lock_guard<std::mutex> lock(mutex);
            todo.push_back(chunk.get());
            inflight.push_back(std::move(chunk));
          }
          workReady.notify_one();
        } else {
          atEnd = true;
        }
        continue;
      }
      std::unique_lock<std::mutex> lock(mutex);
      if (inflight.empty()) break;
      chunkDone.wait(lock, [&] { return inflight.front()->done; });
    }
    {
      std::lock_guard<std::mutex> lock(mutex);
      closing = true;
      todo.clear();  // after a write failure: drop what is not started
    }
    workReady.notify_all();
    for (std::thread& t : pool) t.join();
  }
  std::free(buffer);
  progress.clear();

  if (std::ferror(in)) {
    std::fprintf(err, "%s: cannot read %s: %s\n", kProgram,
                 settings.inputName.c_str(), std::strerror(errno));
    return 1;
  }
  if (writeFailed || std::fflush(out) != 0 || std::ferror(out)) {
    std::fprintf(err, "%s: cannot write %s: %s\n", kProgram,
                 settings.outputName.c_str(), std::strerror(errno));
    return 1;
  }
  return 0;
}

int runCli(int argc, const char* const* argv, FILE* in, FILE* out, FILE* err) {
  CliOptions options;
  std::string error;
  const char* program = argc > 0 ? argv[0] : kProgram;
  if (!parseCliOptions(argc, argv, &options, &error))
    return commandLineError(err, program, cliOptions(), error);
  if (options.help) {
    printHelp(out, program);
    return 0;
  }

  // Dictionaries and model first: a failure there leaves the output alone.
  Engine engine;
  const std::string exeDir = executableDir();
  std::string dictionary = options.dictionary;
  if (dictionary.empty()) {
    const std::vector<std::string> tried = defaultCandidates(exeDir, "dic");
    dictionary = firstDirectory(tried);
    if (dictionary.empty()) {
      std::fprintf(err,
                   "%s: no dictionary found (looked in %s); give one with -d DIR\n",
                   kProgram, tried.empty() ? "no place" : joinPaths(tried).c_str());
      return 1;
    }
  }
  if (!engine.loadDictionary(dictionary, &error) ||
      (!options.user.empty() && !engine.loadUserDictionary(options.user, &error))) {
    std::fprintf(err, "%s\n", error.c_str());
    return 1;
  }
  if (!options.analyze) {
    std::string model = options.model;
    if (model.empty()) {
      const std::vector<std::string> tried = defaultCandidates(exeDir, "model");
      model = firstDirectory(tried);
      if (model.empty())
        std::fprintf(err,
                     "%s: no model found (looked in %s); each word gets its "
                     "best analysis\n",
                     kProgram, tried.empty() ? "no place" : joinPaths(tried).c_str());
    }
    if (!model.empty() && !engine.loadModel(model, &error)) {
      std::fprintf(err, "%s\n", error.c_str());
      return 1;
    }
  }

  RunSettings settings;
  settings.format = options.format;
  settings.analyze = options.analyze;
  settings.strict = options.strict;
  settings.threads = options.threads;

  FILE* input = in;
  if (!options.input.empty() && options.input != "-") {
    input = std::fopen(options.input.c_str(), "rb");
    if (input == nullptr) {
      std::fprintf(err, "%s: cannot open input %s: %s\n", kProgram,
                   options.input.c_str(), std::strerror(errno));
      return 1;
    }
    settings.inputName = options.input;
  }
  FILE* output = out;
  if (!options.output.empty() && options.output != "-") {
    output = std::fopen(options.output.c_str(), "wb");
    if (output == nullptr) {
      std::fprintf(err, "%s: cannot open output %s: %s\n", kProgram,
                   options.output.c_str(), std::strerror(errno));
      if (input != in) std::fclose(input);
      return 1;
    }
    settings.outputName = options.output;
  }

  const bool interactive = isatty(fileno(input)) != 0;
  if (interactive) settings.chunkLines = 1;
  settings.inputBytes = regularFileSize(input);
  // A bar only where a person watches stderr, not output, and the input is
  // large (or of unknown size: the bar then appears after a second).
  settings.progress = isatty(fileno(err)) && !isatty(fileno(output)) &&
                      !interactive &&
                      (settings.inputBytes == 0 || settings.inputBytes >= (1 << 20));

  int status = runLines(input, output, err, engine, settings);
  if (input != in) std::fclose(input);
  if (output != out && std::fclose(output) != 0 && status == 0) {
    std::fprintf(err, "%s: cannot write %s: %s\n", kProgram,
                 settings.outputName.c_str(), std::strerror(errno));
    status = 1;
  }
  return status;
}
