#include "fuzz/CsvFuzzHarness.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <sstream>
#include <utility>

#include "fuzz/PieceSource.h"

namespace {

// The reader piece and input block sizes to pick from: tiny ones make rows
// cross many refills and blocks.
constexpr std::size_t kSizes[] = {1, 2, 3, 7, 16, 64, 4096, 65536};

using bnscore::fuzz::PieceSource;

struct TextSink : bnscore::ByteSink {
  void Write(const char* data, std::size_t size) override { text.append(data, size); }
  std::string text;
};

}  // namespace

CsvFuzzHarness::CsvFuzzHarness(std::string modelPath) : modelPath_(std::move(modelPath)) {
  GetModel(0);  // a refused file is refused at once
}

CsvFuzzHarness::~CsvFuzzHarness() = default;

const bnscore::Model& CsvFuzzHarness::GetModel(unsigned options) {
  std::unique_ptr<bnscore::Model>& model = models_[options & 7u];
  if (!model) {
    bnscore::LoadOptions load;
    load.byName = (options & 1u) != 0;
    load.derivedInRecord = (options & 2u) != 0;
    load.predictionOnly = (options & 4u) != 0;
    model = bnscore::Model::Load(modelPath_, load);
  }
  return *model;
}

bool CsvFuzzHarness::Run(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return false;
  const unsigned options = data[0];
  input_.assign(reinterpret_cast<const char*>(data + 1), size - 1);
  const bnscore::Model& model = GetModel(options);
  const std::size_t picked = kSizes[(options >> 5) & 7u];

  bnscore::CsvOptions csv;
  csv.keepInput = (options & 8u) != 0;
  // Random headers seldom name every predictor: score them anyway.
  csv.allowMissingColumns = true;
  if ((options & 0x38u) == 0x38u) {
    csv.reason = true;  // say why each record was not scored
    return CompareThreads(model, csv, picked);
  }
  csv.missingValues.clear();
  csv.allowNonfinite = true;
  return Score(model, csv, picked).fault.empty();
}

CsvFuzzHarness::Outcome CsvFuzzHarness::Score(const bnscore::Model& model,
                                              const bnscore::CsvOptions& options,
                                              std::size_t pieceSize) {
  PieceSource source(input_, pieceSize);
  TextSink sink;
  Outcome outcome;
  std::ostringstream summary;
  try {
    const bnscore::CsvSummary counts = model.ScoreCsv(source, "fuzz.csv", sink, options);
    summary << counts.records;
    for (const auto& [status, count] : counts.statusCounts)
      summary << ' ' << status << ':' << count;
  } catch (const bnscore::Error& e) {
    outcome.fault = e.what();
  }
  outcome.output = std::move(sink.text);
  outcome.summary = summary.str();
  return outcome;
}

bool CsvFuzzHarness::CompareThreads(const bnscore::Model& model, const bnscore::CsvOptions& options,
                                    std::size_t blockBytes) {
  bnscore::CsvOptions parallel = options;
  parallel.threads = 2;
  parallel.blockBytes = blockBytes;
  const Outcome one = Score(model, options, std::size_t{1} << 20);
  const Outcome two = Score(model, parallel, std::size_t{1} << 20);
  if (one.output != two.output || one.summary != two.summary || one.fault != two.fault) {
    std::fprintf(stderr,
                 "csv fuzz: one thread and two (blocks of %zu bytes) differ\n"
                 "--- one thread: fault '%s', summary '%s', output:\n%s\n"
                 "--- two threads: fault '%s', summary '%s', output:\n%s\n",
                 blockBytes, one.fault.c_str(), one.summary.c_str(), one.output.c_str(),
                 two.fault.c_str(), two.summary.c_str(), two.output.c_str());
    std::abort();
  }
  return one.fault.empty();
}
