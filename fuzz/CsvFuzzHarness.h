#ifndef BNSCORE_FUZZ_CSVFUZZHARNESS_H_
#define BNSCORE_FUZZ_CSVFUZZHARNESS_H_

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

#include "bnscore/bnscore.h"

// The CSV scoring of `bnscore score` (bnscore::Model::ScoreCsv, the loop
// the command runs) that csv_fuzzer drives, shared with the regression test
// that replays the inputs it once found failing.
//
// Reads the model of a PMML file through the plug-in once per combination
// of read options, when first needed (a refused file throws
// bnscore::ModelError). Run takes an option byte followed by CSV bytes. The
// option byte picks --by-name, --derived-in-record, --prediction-only and
// --keep-input (bits 0 to 3), and one of eight small sizes (bits 5 to 7).
// When bits 3, 4 and 5 are all set, the bytes are scored twice, with
// --reason: on one thread, and on two threads with input blocks of the
// picked size; the two outputs and faults must be the same byte for byte,
// and Run aborts when they differ. Otherwise they are scored once on one
// thread, read in pieces of the picked size so that rows cross the
// reader's refills, with every cell kept (no missing-value tokens,
// non-finite numbers read); that output is dropped. Headers that lack
// predictor columns are scored either way.
//
// Run returns true when every record was scored, false when the input was
// refused with a bnscore::Error (an expected outcome). Anything else is a
// fault.
class CsvFuzzHarness {
 public:
  explicit CsvFuzzHarness(std::string modelPath);
  ~CsvFuzzHarness();

  CsvFuzzHarness(const CsvFuzzHarness&) = delete;
  CsvFuzzHarness& operator=(const CsvFuzzHarness&) = delete;

  bool Run(const std::uint8_t* data, std::size_t size);

 private:
  // What one run of ScoreCsv wrote, and its fault ("" when none).
  struct Outcome {
    std::string output;
    std::string summary;
    std::string fault;
  };

  // The model read with the options of bits 0 to 2 of `options`.
  const bnscore::Model& GetModel(unsigned options);
  Outcome Score(const bnscore::Model& model, const bnscore::CsvOptions& options,
                std::size_t pieceSize);
  // Scores on one thread and on two; aborts when they differ.
  bool CompareThreads(const bnscore::Model& model, const bnscore::CsvOptions& options,
                      std::size_t blockBytes);

  std::string modelPath_;
  std::unique_ptr<bnscore::Model> models_[8];
  std::string input_;
};

#endif  // BNSCORE_FUZZ_CSVFUZZHARNESS_H_
