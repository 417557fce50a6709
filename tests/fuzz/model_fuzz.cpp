// Model::load on mutated model files, then tagging of the probe sentence
// with the fixture dictionary and pattern matching over tag sequences.
//
// The input holds the three files, written into a temporary directory
// before each load:
//
//   u32 length, then that many bytes of mtrans.frq
//   u32 length, then that many bytes of etrans.frq
//   the rest: tagseq.rul
//
// (little-endian; make_seeds.py writes the seed from a trained model).
#include <cstddef>
#include <cstdint>

#include "fuzz_support.h"
#include "tagger/model_impl.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  fuzz::Resources& r = fuzz::resources();
  static reliability::TempDir dir("talmoro_model_fuzz");
  static Sentence* sentence = Sentence::createObject();
  static Tagger* tagger =
      Tagger::createObject(nullptr, r.fixtureDic, r.fixtureUser);

  size_t at = 0;
  std::string mtrans, etrans;
  fuzz::takePiece(data, size, &at, &mtrans);
  fuzz::takePiece(data, size, &at, &etrans);
  const std::string rules(reinterpret_cast<const char*>(data + at), size - at);
  fuzz::require(
      reliability::writeFile(dir.file(MODEL_MORPHEME_TRANSITION_FILE),
                             mtrans) &&
          reliability::writeFile(dir.file(MODEL_EOJUL_TRANSITION_FILE),
                                 etrans) &&
          reliability::writeFile(dir.file(MODEL_TAGSEQ_RULE_FILE), rules),
      "model files written");

  Model* model = Model::createObject();
  fuzz::require(model->load(dir.path().c_str()) == 0, "readable tables load");
  tagger->setModel(model);
  fuzz::tagAndCheck(tagger, sentence, fuzz::probeSentence());
  fuzz::tagAndCheck(tagger, sentence, "책");

  const ModelImpl* impl = static_cast<const ModelImpl*>(model);
  static const char* const sequences[] = {
      "", "nng", "nng+jks", "np+jx nng+jkb vv+ec vv+ef+sf",
      "nng+jkb vv+ef nng+jks nnb+jko vv+ec nng+jx vv+ep+ef+sf sn+nnb+jko"};
  for (const char* s : sequences) impl->matchTagSequence(s);
  impl->getMorphemeTransition("BOM");
  impl->getEojulTransition("/n_:EOE");
  tagger->setModel(nullptr);
  Model::destroyObject(model);
  return 0;
}
