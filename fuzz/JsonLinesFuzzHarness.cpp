#include "fuzz/JsonLinesFuzzHarness.h"

#include <sys/mman.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <stdexcept>
#include <vector>

#include <simdjson.h>

#include "engine/CsvColumnBlock.h"
#include "engine/CsvReader.h"
#include "engine/CsvWriter.h"
#include "engine/EngineError.h"
#include "engine/FieldLayout.h"
#include "engine/JsonLinesReader.h"
#include "engine/JsonLinesWriter.h"
#include "engine/ModelInternals.h"

using namespace bnscore::internal;

namespace {

constexpr std::size_t kSizes[] = {1, 2, 3, 7, 16, 64, 4096, 65536};

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

JsonLinesFuzzHarness::JsonLinesFuzzHarness(const std::string& modelPath)
    : input_(::memfd_create("jsonl_fuzz", 0)) {
  if (input_ < 0) throw std::runtime_error("cannot open the fuzz file");
  for (bool predictionOnly : {false, true}) {
    bnscore::LoadOptions load;
    load.predictionOnly = predictionOnly;
    models_[predictionOnly ? 1 : 0] = bnscore::Model::Load(modelPath, load);
  }
}

JsonLinesFuzzHarness::~JsonLinesFuzzHarness() { ::close(input_); }

bool JsonLinesFuzzHarness::Run(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return false;
  const unsigned options = data[0];
  if (::ftruncate(input_, 0) != 0 ||
      ::pwrite(input_, data + 1, size - 1, 0) != static_cast<ssize_t>(size - 1)) {
    throw std::runtime_error("cannot fill the memory file");
  }
  const Outcome small = Score(options, kSizes[options & 7u]);
  const Outcome large = Score(options, JsonLinesReader::kDefaultBufferSize);
  if (small.output != large.output || small.fault != large.fault) {
    Abort("buffers of " + std::to_string(kSizes[options & 7u]) +
          " bytes and of the default size differ:\n--- small: " + small.fault + "\n" +
          small.output + "\n--- default: " + large.fault + "\n" + large.output);
  }
  CheckLines(small.output);
  return small.fault.empty();
}

JsonLinesFuzzHarness::Outcome JsonLinesFuzzHarness::Score(unsigned options,
                                                          std::size_t bufferSize) {
  ScoreOptions score;
  score.keepInput = (options & 8u) != 0;
  score.reason = (options & 16u) != 0;
  score.load.predictionOnly = (options & 32u) != 0;
  const bnscore::Model& model = *models_[score.load.predictionOnly ? 1 : 0];
  const ScoreModel& host = bnscore::ModelInternals::GetHostModel(model);
  if (::lseek(input_, 0, SEEK_SET) != 0) throw std::runtime_error("cannot rewind the memory file");
  JsonLinesReader reader(input_, "fuzz.jsonl", bufferSize);
  if ((options & 64u) != 0) reader.SetColumns({"id", "x", "n"});
  CsvWriter writer(64);
  Outcome outcome;
  try {
    if (reader.ReadRow()) {
      // What `bnscore score` does with JSON Lines, on one thread.
      const FieldLayout layout(host, false, false);
      CsvColumnBlock block(model, host, layout, reader.GetColumns(), score);
      JsonLinesWriter json(model.GetSchema().categories, reader.GetColumns(), score);
      block.SetJsonLines(&json);
      try {
        do {
          const char* numbers = reader.GetNumberCells().data();
          if (block.AddCells(reader.GetFields(), numbers, reader.GetLine(), "fuzz.jsonl")) {
            if (block.Full()) block.ScoreAndWrite(writer);
            continue;
          }
          block.ScoreAndWrite(writer);
          block.AddCellsAsTexts(reader.GetFields(), numbers, reader.GetLine(), "fuzz.jsonl");
          block.ScoreAndWrite(writer);
        } while (reader.ReadRow());
      } catch (const CsvError&) {
        block.ScoreAndWrite(writer);
        throw;
      }
      block.ScoreAndWrite(writer);
    }
  } catch (const EngineError& e) {
    outcome.fault = e.what();
  }
  outcome.output = writer.GetBuffered();
  return outcome;
}
