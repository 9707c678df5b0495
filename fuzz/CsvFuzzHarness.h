#ifndef BNSCORE_FUZZ_CSVFUZZHARNESS_H_
#define BNSCORE_FUZZ_CSVFUZZHARNESS_H_

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

#include "engine/ScoreOptions.h"
#include "host/interfaces/ScoreModel.h"
#include "host/interfaces/ScoreTranslator.h"

// The record path of `bnscore score` that csv_fuzzer drives, shared with the
// regression test that replays the inputs it once found failing.
//
// Holds one model, read at construction from a PMML file through the
// plug-in's translator (a refused file throws VkException). Run takes an
// option byte followed by CSV bytes, which it reads from a memory file.
// The option byte picks --by-name, --derived-in-record, --prediction-only
// and --keep-input (bits 0 to 3), and one of eight small sizes (bits 5 to
// 7). When bits 3, 4 and 5 are all set, the bytes go through the engine's
// CSV scoring (ScoreCsvRecords, what `bnscore score` runs) twice:
// on one thread, and on two threads with input blocks of the picked size;
// the two outputs and faults must be the same byte for byte, and Run aborts
// when they differ. Otherwise they go through the same steps as its
// one thread, with a reader buffer of the picked size, so that rows cross
// buffer refills; that output goes to /dev/null.
//
// Run returns true when every record was scored, false when the input was
// refused with a EngineError (an expected outcome). Anything else is a fault.
// An XmlPlatform must live while the constructor runs.
class CsvFuzzHarness {
 public:
  explicit CsvFuzzHarness(const std::string& modelPath);
  ~CsvFuzzHarness();

  CsvFuzzHarness(const CsvFuzzHarness&) = delete;
  CsvFuzzHarness& operator=(const CsvFuzzHarness&) = delete;

  bool Run(const std::uint8_t* data, std::size_t size);

 private:
  // What one run of ScoreCsvRecords wrote, and its fault ("" when none).
  struct Outcome {
    std::string output;
    std::string summary;
    std::string fault;
  };

  Outcome RunCommand(ScoreOptions options, int outputFd);
  // Runs ScoreCsvRecords on one thread and on two; aborts when they differ.
  bool CompareThreads(const ScoreOptions& options, std::size_t blockBytes);
  // Scores the memory file as ScoreCsvRecords does, with a reader buffer of
  // `bufferSize` bytes.
  void ScoreSteps(bool byName, bool derivedInRecord, bool predictionOnly, bool keepInput,
                  std::size_t bufferSize);

  // Declared so that the model goes before the translator that made it.
  std::unique_ptr<ScoreTranslator> translator_;
  std::unique_ptr<ScoreModel> model_;
  int input_;   // the memory file holding the CSV bytes; owned
  int output_;  // /dev/null; owned
  int outputs_[2];  // memory files for the two runs of CompareThreads; owned
};

#endif  // BNSCORE_FUZZ_CSVFUZZHARNESS_H_
