#ifndef BNSCORE_FUZZ_JSONLINESFUZZHARNESS_H_
#define BNSCORE_FUZZ_JSONLINESFUZZHARNESS_H_

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

#include "bnscore/bnscore.h"

// The JSON Lines path of `bnscore score --input-format jsonl --output-format
// jsonl` that jsonl_fuzzer drives: Model::ScoreCsv with JSON Lines in and
// out, against one model read through the plug-in at construction, with and
// without --prediction-only (a refused file throws bnscore::ModelError).
//
// Run takes an option byte followed by JSON Lines bytes. The option byte
// picks one of eight small read sizes of the input (bits 0 to 2), --keep-input
// (bit 3), --reason (bit 4), --prediction-only (bit 5) and given columns
// "id,x,n" instead of the first record's keys (bit 6), and a third run on
// two threads in blocks of 1 to 169 bytes (bit 7). The bytes are read
// twice, in pieces of the picked size and whole (and with bit 7 whole on two
// threads): every run must write the same lines and end with the same
// fault, and every line written must be one JSON object; Run aborts
// otherwise.
//
// Run returns true when every record was scored, false when the input was
// refused with a bnscore::Error (an expected outcome). Anything else is a
// fault.
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

  Outcome Score(unsigned options, std::size_t pieceSize, int threads = 1);

  std::unique_ptr<bnscore::Model> models_[2];  // without and with --prediction-only
  std::string input_;                          // the JSON Lines bytes of the run
};

#endif  // BNSCORE_FUZZ_JSONLINESFUZZHARNESS_H_
