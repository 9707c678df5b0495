#include "fuzz/CsvFuzzHarness.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <unistd.h>

#include <stdexcept>
#include <string_view>
#include <vector>

#include "cli/CliError.h"
#include "cli/CsvReader.h"
#include "cli/CsvWriter.h"
#include "cli/RecordFiller.h"
#include "cli/ResultColumns.h"
#include "cli/ScoreCommand.h"
#include "fuzz/DiscardStream.h"
#include "host/PmmlParser.h"
#include "plugin/GiveMyTranslator.h"

namespace {

// The reader's buffer sizes to pick from: tiny ones make rows cross many
// refills and grow the buffer. RunScore uses the default size; it is kept
// to one input in sixteen, since a buffer of a megabyte is slow to get
// under AddressSanitizer.
constexpr std::size_t kBufferSizes[] = {1, 2, 3, 7, 16, 64, 4096, 65536};

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
      output_(::open("/dev/null", O_WRONLY)) {
  if (input_ < 0 || output_ < 0) throw std::runtime_error("cannot open the fuzz files");
  DocumentPtr document = PmmlParser::ParseFile(modelPath);
  model_.reset(translator_->ParseFromTree(document.get(), "UTF-8"));
}

CsvFuzzHarness::~CsvFuzzHarness() {
  ::close(input_);
  ::close(output_);
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
  const bool wholeCommand = (options & 0xf0u) == 0xf0u;
  const std::size_t bufferSize = kBufferSizes[(options >> 5) & 7u];
  try {
    if (wholeCommand) {
      ScoreOptions score;
      score.recordsPath = "/proc/self/fd/" + std::to_string(input_);
      score.outputPath = "/dev/null";
      score.byName = byName;
      score.derivedInRecord = derivedInRecord;
      score.predictionOnly = predictionOnly;
      score.keepInput = keepInput;
      DiscardStream summary;
      RunScore(*model_, score, summary);
    } else {
      ScoreSteps(byName, derivedInRecord, predictionOnly, keepInput, bufferSize);
    }
  } catch (const CliError&) {
    return false;
  }
  return true;
}

void CsvFuzzHarness::ScoreSteps(bool byName, bool derivedInRecord, bool predictionOnly,
                                bool keepInput, std::size_t bufferSize) {
  CsvReader reader(input_, "fuzz.csv", bufferSize);
  if (!reader.ReadRow()) throw CliError("fuzz.csv: no header row");
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
    if (cells.size() != header.size()) throw CliError("fuzz.csv: ragged row");
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
