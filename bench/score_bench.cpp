// score_bench: times GetScore alone. Loads the plug-in as a host does,
// reads a model, builds N case records in memory (from a CSV file, or
// generated for a named shape), then scores them over and over with one
// reused result object and reports records per second, the median of
// several runs.
//
//   score_bench model.pmml records.csv
//   score_bench --shape wide216 --runs 5
//   score_bench --first-score model.pmml records.csv
//
// --first-score times instead how long a model takes to read (which
// compiles its scoring plan) and to score its first record, each run with a
// freshly read model.

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <iostream>
#include <map>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include <CLI/CLI.hpp>

#include "testing/GeneratorOptions.h"
#include "testing/ModelGenerator.h"
#include "testing/RecordGenerator.h"
#include "testing/RecordTable.h"
#include "engine/PluginLibrary.h"
#include "host/xml/PmmlParser.h"
#include "host/interfaces/VkException.h"
#include "host/xml/XmlPlatform.h"

using namespace bnscore::internal;
using namespace bnscore::testing;

namespace {

using Clock = std::chrono::steady_clock;

// About 10,000 cells (about a megabyte of BaseCaseRecords), so that the
// records stay in the processor's cache, as the one record a host refills
// does: the time measured is GetScore's own, not that of fetching cold
// records from memory.
std::size_t DefaultRecordCount(std::size_t fields) {
  const std::size_t budget = 10000 / std::max<std::size_t>(fields, 1);
  return std::clamp<std::size_t>(budget, 100, 100000);
}

struct Settings {
  std::string modelPath;
  std::string recordsPath;
  std::string shape;
  std::string plugin;
  std::size_t records = 0;  // 0: DefaultRecordCount
  int runs = 5;
  double minSeconds = 1.0;
  bool byName = false;
  bool derivedInRecord = false;
  bool predictionOnly = false;
  bool valueOnly = false;
  bool firstScore = false;
};

double Median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  return values[values.size() / 2];
}

double MillisecondsSince(Clock::time_point start) {
  return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

// Has the plug-in's translator read a parsed document, as a host does.
std::unique_ptr<ScoreModel> ReadModel(ScoreTranslator& translator, const DocumentPtr& document) {
  return std::unique_ptr<ScoreModel>(translator.ParseFromTree(document.get(), "UTF-8"));
}

// The --first-score measurement: the model read and its first GetScore (on
// the first record of the file), in milliseconds, medians of the runs.
int FirstScore(const Settings& s, ScoreTranslator& translator) {
  const std::vector<std::string> fieldNames = RecordTable::ReadCsvHeader(s.recordsPath);
  std::vector<double> reads;
  std::vector<double> firsts;
  long status = 0;
  for (int run = 0; run < s.runs; ++run) {
    Clock::time_point start = Clock::now();
    std::unique_ptr<ScoreModel> model = ReadModel(translator, PmmlParser::ParseFile(s.modelPath));
    reads.push_back(MillisecondsSince(start));
    model->SetPredictionOnly(s.predictionOnly);
    RecordTable table(*model, fieldNames, !s.byName, s.derivedInRecord);
    table.AddCsvFile(s.recordsPath, 1);
    if (table.Size() == 0) throw std::runtime_error("no records to score");
    ScoreResult* result = nullptr;
    start = Clock::now();
    status = model->GetScore(table.Get(0), result, s.derivedInRecord).GetCode();
    firsts.push_back(MillisecondsSince(start));
    delete result;
  }
  if (s.valueOnly) {
    std::printf("%.1f %.1f\n", Median(reads), Median(firsts));
  } else {
    std::printf("model read: %.1f ms; first GetScore: %.1f ms (status %ld; medians of %d runs)\n",
                Median(reads), Median(firsts), status, s.runs);
  }
  return 0;
}

// Scores every record once; returns the count of each status code.
std::map<long, long> Tally(ScoreModel& model, const RecordTable& table, ScoreResult*& result,
                           bool derivedInRecord) {
  std::map<long, long> statuses;
  for (std::size_t i = 0; i < table.Size(); ++i) {
    ++statuses[model.GetScore(table.Get(i), result, derivedInRecord).GetCode()];
  }
  return statuses;
}

// One timed run: whole passes over the table until minSeconds have passed.
double TimedRun(ScoreModel& model, const RecordTable& table, ScoreResult*& result,
                bool derivedInRecord, double minSeconds, long& sink) {
  long long scored = 0;
  const Clock::time_point start = Clock::now();
  double elapsed = 0.0;
  do {
    for (std::size_t i = 0; i < table.Size(); ++i) {
      sink += model.GetScore(table.Get(i), result, derivedInRecord).GetCode();
    }
    scored += static_cast<long long>(table.Size());
    elapsed = std::chrono::duration<double>(Clock::now() - start).count();
  } while (elapsed < minSeconds);
  return static_cast<double>(scored) / elapsed;
}

int Run(const Settings& s) {
  // Every model and result below runs the plug-in's code: they go before
  // the translator, and the translator before the library.
  XmlPlatform platform;
  const std::unique_ptr<PluginLibrary> library =
      PluginLibrary::Open(s.plugin.empty() ? PluginLibrary::FindDefault() : s.plugin);
  const std::unique_ptr<ScoreTranslator> translator = library->GiveTranslator();
  if (s.firstScore) return FirstScore(s, *translator);

  std::unique_ptr<ModelGenerator> generated;
  std::unique_ptr<ScoreModel> model;
  std::vector<std::string> fieldNames;
  if (!s.shape.empty()) {
    const ShapePreset* preset = FindShapePreset(s.shape);
    if (preset == nullptr) throw std::runtime_error("unknown shape " + s.shape);
    generated = std::make_unique<ModelGenerator>(preset->options);
    model = ReadModel(*translator, PmmlParser::ParseText(generated->Pmml(), s.shape + ".pmml"));
    fieldNames = RecordGenerator(*generated, RecordOptions()).GetFieldNames();
  } else {
    model = ReadModel(*translator, PmmlParser::ParseFile(s.modelPath));
    fieldNames = RecordTable::ReadCsvHeader(s.recordsPath);
  }
  model->SetPredictionOnly(s.predictionOnly);

  const std::size_t count = s.records ? s.records : DefaultRecordCount(fieldNames.size());
  RecordTable table(*model, fieldNames, !s.byName, s.derivedInRecord);
  if (generated) {
    RecordGenerator records(*generated, RecordOptions());
    std::vector<std::string> cells;
    for (std::size_t i = 0; i < count; ++i) {
      records.NextRecord(cells);
      table.Add(cells);
    }
  } else {
    table.AddCsvFile(s.recordsPath, count);
  }
  if (table.Size() == 0) throw std::runtime_error("no records to score");

  // The results belong to the model's code: deleted before the library.
  ScoreResult* result = nullptr;
  struct ResultGuard {
    ScoreResult*& result;
    ~ResultGuard() { delete result; }
  } guard{result};

  // The first pass also runs the model's one-time index setup.
  const std::map<long, long> statuses = Tally(*model, table, result, s.derivedInRecord);
  std::vector<double> rates;
  long sink = 0;
  for (int run = 0; run < s.runs; ++run) {
    rates.push_back(TimedRun(*model, table, result, s.derivedInRecord, s.minSeconds, sink));
  }
  const double median = Median(rates);

  if (s.valueOnly) {
    std::printf("%.0f\n", median);
  } else {
    std::printf("records in memory: %zu (%zu fields)\nstatuses:", table.Size(), fieldNames.size());
    for (const auto& [code, n] : statuses) std::printf(" %ld: %ld", code, n);
    std::printf("\nruns (records/s):");
    for (double rate : rates) std::printf(" %.0f", rate);
    std::printf("\nGetScore: %.0f records/s (median of %d runs)\n", median, s.runs);
  }
  if (sink < 0) std::printf("%ld\n", sink);  // keeps the scoring calls observable
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  CLI::App app{"Times GetScore alone on case records held in memory."};
  Settings s;
  app.add_option("MODEL", s.modelPath, "PMML model");
  app.add_option("RECORDS", s.recordsPath, "CSV records (bngen's format)");
  app.add_option("--shape", s.shape, "Generate the model and records of a named shape instead");
  app.add_option("--plugin", s.plugin, "The plug-in (default: $BNSCORE_PLUGIN, else beside)");
  app.add_option("-n,--records", s.records, "Records held in memory (default: ~10,000 cells)");
  app.add_option("--runs", s.runs, "Timed runs; the median is reported")
      ->check(CLI::PositiveNumber);
  app.add_option("--min-time", s.minSeconds, "Least seconds per run");
  app.add_flag("--by-name", s.byName, "Records without positional access");
  app.add_flag("--derived-in-record", s.derivedInRecord, "Records carry derived values");
  app.add_flag("--prediction-only", s.predictionOnly, "SetPredictionOnly(true)");
  app.add_flag("--value-only", s.valueOnly,
               "Print only the median records/s (with --first-score: read and first-score ms)");
  app.add_flag("--first-score", s.firstScore,
               "Time the model read and the first GetScore instead (MODEL and RECORDS)");
  CLI11_PARSE(app, argc, argv);

  if ((s.shape.empty() || s.firstScore) && (s.modelPath.empty() || s.recordsPath.empty())) {
    std::cerr << "score_bench: give MODEL and RECORDS, or --shape NAME\n";
    return 1;
  }
  try {
    return Run(s);
  } catch (const VkException& e) {
    std::cerr << "score_bench: model rejected: error " << e.GetCode() << ": " << e.GetMessage()
              << "\n";
  } catch (const std::exception& e) {
    std::cerr << "score_bench: " << e.what() << "\n";
  }
  return 1;
}
