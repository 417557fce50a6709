// Test helpers for the tagger model and its trainer: a temporary directory,
// files written whole, a model written from hand-made counts and loaded, and
// a run of the trainer whose report and messages are kept for inspection.
#ifndef TALMORO_TESTS_MODEL_FIXTURE_H_
#define TALMORO_TESTS_MODEL_FIXTURE_H_

#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "reliability_support.h"
#include "tagger/model_impl.h"
#include "tagger/model_trainer.h"

// A fresh directory, removed with its contents.
using reliability::TempDir;

inline void writeBytes(const std::string& path, const void* data,
                       size_t size) {
  FILE* f = std::fopen(path.c_str(), "wb");
  ASSERT_NE(f, nullptr) << path;
  if (size > 0) {
    ASSERT_EQ(std::fwrite(data, 1, size, f), size);
  }
  std::fclose(f);
}

inline void writeText(const std::string& path, const std::string& text) {
  writeBytes(path, text.data(), text.size());
}

// Everything written to `f`, from its start.
inline std::string readStream(FILE* f) {
  std::fflush(f);
  std::rewind(f);
  std::string text;
  char buffer[512];
  size_t n;
  while ((n = std::fread(buffer, 1, sizeof buffer, f)) > 0)
    text.append(buffer, n);
  return text;
}

// The model files written into `dir` from the given counts, then loaded.
inline bool loadModel(const std::string& dir, const KeyCounts& morphemes,
                      const KeyCounts& eojeols, ModelImpl* model) {
  std::string message;
  if (!writeModelTables(morphemes, eojeols, dir, &message)) {
    ADD_FAILURE() << message;
    return false;
  }
  return model->load(dir.c_str()) == 0;
}

// What one run of the trainer returned and wrote.
struct TrainerRun {
  int status = -1;
  std::string report;    // its standard output
  std::string messages;  // its standard error
};

// Trains the corpus file `corpus` (format null: told by the file name) into
// the model directory `modelDir`.
inline TrainerRun runTrainer(const std::string& corpus, const char* format,
                             const std::string& modelDir) {
  TrainerRun run;
  FILE* out = std::tmpfile();
  FILE* err = std::tmpfile();
  if (out != nullptr && err != nullptr) {
    run.status =
        trainModelFile(corpus.c_str(), format, modelDir.c_str(), out, err);
    run.report = readStream(out);
    run.messages = readStream(err);
  } else {
    ADD_FAILURE() << "no temporary file for the trainer's output";
  }
  if (out != nullptr) std::fclose(out);
  if (err != nullptr) std::fclose(err);
  return run;
}

#endif  // TALMORO_TESTS_MODEL_FIXTURE_H_
