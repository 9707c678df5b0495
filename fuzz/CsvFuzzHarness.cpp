#include "fuzz/CsvFuzzHarness.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <sstream>
#include <stdexcept>
#include <string_view>
#include <vector>

#include "bayesnet/GiveMyTranslator.h"
#include "engine/CsvReader.h"
#include "engine/CsvScoring.h"
#include "engine/CsvWriter.h"
#include "engine/EngineError.h"
#include "engine/FdStreams.h"
#include "engine/RecordFiller.h"
#include "engine/ResultColumns.h"
#include "fuzz/DiscardStream.h"
#include "host/xml/PmmlParser.h"

namespace {

// The reader buffer and input block sizes to pick from: tiny ones make rows
// cross many refills and blocks. ScoreCsvRecords' own buffers are of a megabyte,
// slow to get under AddressSanitizer (with its caches, its set-up
// costs some milliseconds), so it runs for one input in eight.
constexpr std::size_t kSizes[] = {1, 2, 3, 7, 16, 64, 4096, 65536};

std::string ReadAll(int fd) {
  std::string text;
  char chunk[4096];
  off_t offset = 0;
  for (;;) {
    ssize_t n = ::pread(fd, chunk, sizeof chunk, offset);
    if (n <= 0) break;
    text.append(chunk, static_cast<std::size_t>(n));
    offset += n;
  }
  return text;
}

void WriteAll(int fd, const std::uint8_t* data, std::size_t size) {
  while (size > 0) {
    ssize_t n = ::write(fd, data, size);
    if (n <= 0) throw std::runtime_error("cannot write the memory file");
    data += n;
    size -= static_cast<std::size_t>(n);
  }
}

}  // namespace

CsvFuzzHarness::CsvFuzzHarness(const std::string& modelPath)
    : translator_(GiveMyTranslator()),
      input_(::memfd_create("csv_fuzz", 0)),
      output_(::open("/dev/null", O_WRONLY)),
      outputs_{::memfd_create("csv_fuzz_out1", 0), ::memfd_create("csv_fuzz_out2", 0)} {
  if (input_ < 0 || output_ < 0 || outputs_[0] < 0 || outputs_[1] < 0) {
    throw std::runtime_error("cannot open the fuzz files");
  }
  DocumentPtr document = PmmlParser::ParseFile(modelPath);
  model_.reset(translator_->ParseFromTree(document.get(), "UTF-8"));
}

CsvFuzzHarness::~CsvFuzzHarness() {
  ::close(input_);
  ::close(output_);
  ::close(outputs_[0]);
  ::close(outputs_[1]);
}

bool CsvFuzzHarness::Run(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return false;
  const unsigned options = data[0];
  ++data;
  --size;
  if (::ftruncate(input_, 0) != 0 || ::lseek(input_, 0, SEEK_SET) != 0) {
    throw std::runtime_error("cannot reset the memory file");
  }
  WriteAll(input_, data, size);
  if (::lseek(input_, 0, SEEK_SET) != 0) throw std::runtime_error("cannot rewind the memory file");

  const bool byName = (options & 1u) != 0;
  const bool derivedInRecord = (options & 2u) != 0;
  const bool predictionOnly = (options & 4u) != 0;
  const bool keepInput = (options & 8u) != 0;
  const bool wholeCommand = (options & 0x38u) == 0x38u;
  const std::size_t picked = kSizes[(options >> 5) & 7u];
  if (wholeCommand) {
    ScoreOptions score;
    score.load.byName = byName;
    score.load.derivedInRecord = derivedInRecord;
    score.load.predictionOnly = predictionOnly;
    score.keepInput = keepInput;
    // Random headers seldom name every predictor: score them anyway, and
    // say why each record was not scored.
    score.allowMissingColumns = true;
    score.reason = true;
    return CompareThreads(score, picked);
  }
  try {
    ScoreSteps(byName, derivedInRecord, predictionOnly, keepInput, picked);
  } catch (const EngineError&) {
    return false;
  }
  return true;
}

CsvFuzzHarness::Outcome CsvFuzzHarness::RunCommand(ScoreOptions options, int outputFd) {
  if (::lseek(input_, 0, SEEK_SET) != 0 || ::ftruncate(outputFd, 0) != 0 ||
      ::lseek(outputFd, 0, SEEK_SET) != 0) {
    throw std::runtime_error("cannot reset the memory files");
  }
  model_->SetPredictionOnly(options.load.predictionOnly);
  FdSource source(input_, "fuzz.csv");
  FdSink sink(outputFd, "fuzz output");
  Outcome outcome;
  std::ostringstream summary;
  try {
    const bnscore::CsvSummary counts = ScoreCsvRecords(*model_, options, source, "fuzz.csv", sink);
    summary << counts.records;
    for (const auto& [status, count] : counts.statusCounts) summary << ' ' << status << ':' << count;
  } catch (const EngineError& e) {
    outcome.fault = e.what();
  }
  outcome.output = ReadAll(outputFd);
  outcome.summary = summary.str();
  return outcome;
}

bool CsvFuzzHarness::CompareThreads(const ScoreOptions& options, std::size_t blockBytes) {
  ScoreOptions parallel = options;
  parallel.threads = 2;
  parallel.blockBytes = blockBytes;
  const Outcome one = RunCommand(options, outputs_[0]);
  const Outcome two = RunCommand(parallel, outputs_[1]);
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

void CsvFuzzHarness::ScoreSteps(bool byName, bool derivedInRecord, bool predictionOnly,
                                bool keepInput, std::size_t bufferSize) {
  CsvReader reader(input_, "fuzz.csv", bufferSize);
  if (!reader.ReadRow()) throw EngineError("fuzz.csv: no header row");
  const std::vector<std::string> header(reader.GetFields().begin(), reader.GetFields().end());
  model_->SetPredictionOnly(predictionOnly);
  RecordFiller filler(header, *model_, derivedInRecord, !byName);
  ResultColumns columns(*model_, predictionOnly);
  CsvWriter writer(output_, "/dev/null", 64);
  if (keepInput) {
    for (const std::string& name : header) writer.WriteField(name);
  }
  columns.WriteHeader(writer);
  writer.EndRow();

  ScoreResult* raw = nullptr;
  std::unique_ptr<ScoreResult> result;
  while (reader.ReadRow()) {
    const std::vector<std::string_view>& cells = reader.GetFields();
    if (cells.size() != header.size()) throw EngineError("fuzz.csv: ragged row");
    filler.Fill(cells);
    MCScore::MCStatus status = model_->GetScore(&filler.GetRecord(), raw, derivedInRecord);
    if (raw != result.get()) {
      result.release();  // the model deleted the old one
      result.reset(raw);
    }
    if (keepInput) {
      for (std::string_view cell : cells) writer.WriteField(cell);
    }
    columns.WriteRow(status, raw, writer);
    writer.EndRow();
  }
  writer.Flush();
}
