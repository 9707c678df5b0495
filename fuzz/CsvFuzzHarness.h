#ifndef BNSCORE_FUZZ_CSVFUZZHARNESS_H_
#define BNSCORE_FUZZ_CSVFUZZHARNESS_H_

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

#include "host/ScoreModel.h"
#include "host/ScoreTranslator.h"

// The record path of `bnscore score` that csv_fuzzer drives, shared with the
// regression test that replays the inputs it once found failing.
//
// Holds one model, read at construction from a PMML file through the
// plug-in's translator (a refused file throws VkException). Run takes an
// option byte followed by CSV bytes. The option byte picks --by-name,
// --derived-in-record, --prediction-only and --keep-input (bits 0 to 3),
// and whether the bytes go through RunScore itself (bits 4 to 7 all set) or
// through the same steps with a reader buffer whose size bits 5 to 7 pick
// from a list of small ones, so that rows cross buffer refills.
// The bytes are read from a memory file; the output goes to /dev/null.
//
// Run returns true when every record was scored, false when the input was
// refused with a CliError (an expected outcome). Anything else is a fault.
// An XmlPlatform must live while the constructor runs.
class CsvFuzzHarness {
 public:
  explicit CsvFuzzHarness(const std::string& modelPath);
  ~CsvFuzzHarness();

  CsvFuzzHarness(const CsvFuzzHarness&) = delete;
  CsvFuzzHarness& operator=(const CsvFuzzHarness&) = delete;

  bool Run(const std::uint8_t* data, std::size_t size);

 private:
  // Scores the memory file as RunScore does, with a reader buffer of
  // `bufferSize` bytes.
  void ScoreSteps(bool byName, bool derivedInRecord, bool predictionOnly, bool keepInput,
                  std::size_t bufferSize);

  // Declared so that the model goes before the translator that made it.
  std::unique_ptr<ScoreTranslator> translator_;
  std::unique_ptr<ScoreModel> model_;
  int input_;   // the memory file holding the CSV bytes; owned
  int output_;  // /dev/null; owned
};

#endif  // BNSCORE_FUZZ_CSVFUZZHARNESS_H_
