#include "fuzz/JsonLinesFuzzHarness.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <cstdlib>
#include <stdexcept>
#include <vector>

#include <simdjson.h>

#include "fuzz/PieceSource.h"

namespace {

// The read sizes to pick from: tiny ones make lines cross many refills.
constexpr std::size_t kSizes[] = {1, 2, 3, 7, 16, 64, 4096, 65536};
// What the input is read with when no size is picked: as a file is.
constexpr std::size_t kWholeReads = std::size_t{1} << 20;

using bnscore::fuzz::PieceSource;

[[noreturn]] void Abort(const std::string& what) {
  std::fprintf(stderr, "jsonl fuzz: %s\n", what.c_str());
  std::abort();
}

// Every line of `output` must be one JSON object.
void CheckLines(const std::string& output) {
  simdjson::dom::parser parser;
  std::size_t start = 0;
  while (start < output.size()) {
    const std::size_t end = output.find('\n', start);
    if (end == std::string::npos) Abort("an output line without its line end");
    simdjson::dom::object object;
    const simdjson::padded_string line(output.data() + start, end - start);
    if (parser.parse(line).get_object().get(object) != simdjson::SUCCESS) {
      Abort("an output line that is not one JSON object: " + output.substr(start, end - start));
    }
    start = end + 1;
  }
}

}  // namespace

JsonLinesFuzzHarness::JsonLinesFuzzHarness(const std::string& modelPath) {
  for (bool predictionOnly : {false, true}) {
    bnscore::LoadOptions load;
    load.predictionOnly = predictionOnly;
    models_[predictionOnly ? 1 : 0] = bnscore::Model::Load(modelPath, load);
  }
}

JsonLinesFuzzHarness::~JsonLinesFuzzHarness() = default;

bool JsonLinesFuzzHarness::Run(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return false;
  const unsigned options = data[0];
  input_.assign(reinterpret_cast<const char*>(data + 1), size - 1);
  const Outcome small = Score(options, kSizes[options & 7u]);
  const Outcome large = Score(options, kWholeReads);
  if (small.output != large.output || small.fault != large.fault) {
    Abort("buffers of " + std::to_string(kSizes[options & 7u]) +
          " bytes and of the default size differ:\n--- small: " + small.fault + "\n" +
          small.output + "\n--- default: " + large.fault + "\n" + large.output);
  }
  // With bit 128, on two threads too, in blocks of a line or a few: the
  // same output and fault as on one.
  if ((options & 128u) != 0) {
    const Outcome two = Score(options, kWholeReads, 2);
    if (two.output != large.output || two.fault != large.fault) {
      Abort("one thread and two differ:\n--- one: " + large.fault + "\n" + large.output +
            "\n--- two: " + two.fault + "\n" + two.output);
    }
  }
  CheckLines(small.output);
  return small.fault.empty();
}

JsonLinesFuzzHarness::Outcome JsonLinesFuzzHarness::Score(unsigned options, std::size_t pieceSize,
                                                          int threads) {
  // What `bnscore score --input-format jsonl --output-format jsonl` runs.
  bnscore::CsvOptions jsonl;
  jsonl.inputFormat = bnscore::RecordFormat::kJsonLines;
  jsonl.outputFormat = bnscore::RecordFormat::kJsonLines;
  jsonl.keepInput = (options & 8u) != 0;
  jsonl.reason = (options & 16u) != 0;
  if ((options & 64u) != 0) jsonl.columns = {"id", "x", "n"};
  // Random keys seldom name every predictor: score them anyway.
  jsonl.allowMissingColumns = true;
  jsonl.threads = threads;
  jsonl.blockBytes = 1 + (options & 7u) * 24;
  const bnscore::Model& model = *models_[(options & 32u) != 0 ? 1 : 0];
  PieceSource input(input_, pieceSize);
  Outcome outcome;
  bnscore::StringSink output(outcome.output);
  try {
    model.ScoreCsv(input, "fuzz.jsonl", output, jsonl);
  } catch (const bnscore::Error& e) {
    outcome.fault = e.what();
  }
  return outcome;
}
