#ifndef BNSCORE_FUZZ_JSONLINESFUZZHARNESS_H_
#define BNSCORE_FUZZ_JSONLINESFUZZHARNESS_H_

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

#include "host/interfaces/ScoreModel.h"
#include "host/interfaces/ScoreTranslator.h"

// The JSON Lines path of `bnscore score --input-format jsonl --output-format
// jsonl` that jsonl_fuzzer drives: JsonLinesReader, RowScorer and
// JsonLinesWriter, against one model read at construction from a PMML file
// through the plug-in's translator (a refused file throws VkException).
//
// Run takes an option byte followed by JSON Lines bytes. The option byte
// picks one of eight small reader buffer sizes (bits 0 to 2), --keep-input
// (bit 3), --reason (bit 4), --prediction-only (bit 5) and given columns
// "id,x,n" instead of the first record's keys (bit 6). The bytes are read
// twice, with the picked buffer and with the default one: both runs must
// write the same lines and end with the same fault, and every line written
// must be one JSON object; Run aborts otherwise.
//
// Run returns true when every record was scored, false when the input was
// refused with a EngineError (an expected outcome). Anything else is a fault.
// An XmlPlatform must live while the constructor runs.
class JsonLinesFuzzHarness {
 public:
  explicit JsonLinesFuzzHarness(const std::string& modelPath);
  ~JsonLinesFuzzHarness();

  JsonLinesFuzzHarness(const JsonLinesFuzzHarness&) = delete;
  JsonLinesFuzzHarness& operator=(const JsonLinesFuzzHarness&) = delete;

  bool Run(const std::uint8_t* data, std::size_t size);

 private:
  // What one reading wrote, and its fault ("" when none).
  struct Outcome {
    std::string output;
    std::string fault;
  };

  Outcome Score(unsigned options, std::size_t bufferSize);

  // Declared so that the model goes before the translator that made it.
  std::unique_ptr<ScoreTranslator> translator_;
  std::unique_ptr<ScoreModel> model_;
  int input_;  // the memory file holding the JSON Lines bytes; owned
};

#endif  // BNSCORE_FUZZ_JSONLINESFUZZHARNESS_H_
