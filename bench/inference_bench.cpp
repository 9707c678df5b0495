// inference_bench: the cost of exact inference, through the public API.
//
//   inference_bench                  every bench shape, then both queries
//   inference_bench --shape naive4   one shape
//   inference_bench --query-only
//
// For each shape: Model::ScoreCsv on one thread over CSV held in memory,
// records/s, complete records with the default options against the same
// number of records with 10% of their cells empty and --missing
// marginalize (the goal: at least half the complete rate). Then
// Model::Query of one node in the middle of a generated network of 37 and
// of 1,000 nodes, microseconds per record, on complete records and on
// records with 10% of their cells empty (most of those with a pattern of
// gaps of their own, so mostly a new elimination plan per record).
// --only complete|gaps runs one stream alone, for an instruction count:
//   valgrind --tool=callgrind --toggle-collect='bnscore::Model::ScoreCsv*'
//     inference_bench --shape mixed20 --runs 1 --only gaps

#include <CLI/CLI.hpp>
#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

#include "testing/GeneratorOptions.h"
#include "testing/ModelGenerator.h"
#include "testing/RecordGenerator.h"
#include "bnscore/bnscore.h"

using namespace bnscore::testing;

namespace {

using Clock = std::chrono::steady_clock;

class NullSink : public bnscore::ByteSink {
 public:
  void Write(const char*, std::size_t) override {}
};

std::string Csv(const ModelGenerator& generator, double missing, std::size_t records) {
  RecordOptions options;
  options.missingCells = missing;
  RecordGenerator generatorOfRecords(generator, options);
  std::string text;
  const std::vector<std::string>& names = generatorOfRecords.GetFieldNames();
  for (std::size_t i = 0; i < names.size(); ++i) text += (i ? "," : "") + names[i];
  text += '\n';
  std::vector<std::string> cells;
  for (std::size_t r = 0; r < records; ++r) {
    generatorOfRecords.NextRecord(cells);
    for (std::size_t i = 0; i < cells.size(); ++i) text += (i ? "," : "") + cells[i];
    text += '\n';
  }
  return text;
}

double Seconds(Clock::time_point start) {
  return std::chrono::duration<double>(Clock::now() - start).count();
}

// Records/s of ScoreCsv, the best of `runs`.
double CsvRate(const bnscore::Model& model, const std::string& csv, std::size_t records, int runs) {
  double best = 0.0;
  for (int run = 0; run < runs; ++run) {
    bnscore::TextSource source(csv);
    NullSink sink;
    const Clock::time_point start = Clock::now();
    model.ScoreCsv(source, "records", sink);
    best = std::max(best, static_cast<double>(records) / Seconds(start));
  }
  return best;
}

void Shape(const ShapePreset& shape, const std::string& plugin, std::size_t records, int runs,
           const std::string& only) {
  const ModelGenerator generator(shape.options);
  bnscore::LoadOptions options;
  options.plugin = plugin;
  const auto plain = bnscore::Model::LoadText(generator.Pmml(), options);
  options.missing = bnscore::MissingValues::kMarginalize;
  const auto marginal = bnscore::Model::LoadText(generator.Pmml(), options);
  const double complete =
      only == "gaps" ? 0.0 : CsvRate(*plain, Csv(generator, 0.0, records), records, runs);
  const double gaps =
      only == "complete" ? 0.0 : CsvRate(*marginal, Csv(generator, 0.1, records), records, runs);
  std::printf("| %s | %.0f | %.0f | %.2f |\n", shape.name.c_str(), complete, gaps, gaps / complete);
}

// Microseconds per record of Query of the middle predictor.
void Query(const char* name, int predictors, int maxParents, const std::string& plugin,
           std::size_t records) {
  GeneratorOptions options;
  options.binnedPredictors = predictors / 3;
  options.numericPredictors = predictors / 3;
  options.stringPredictors = predictors - 2 * (predictors / 3);
  options.structure = ArcPattern::General;
  options.maxParents = maxParents;
  options.seed = 5;
  const ModelGenerator generator(options);
  bnscore::LoadOptions load;
  load.plugin = plugin;
  const auto model = bnscore::Model::LoadText(generator.Pmml(), load);
  const std::string node = generator.GetNodes()[static_cast<std::size_t>(predictors / 2)].name;
  const std::vector<int> nodes{model->FindNode(node)};
  std::vector<double> posterior(
      model->GetNodes()[static_cast<std::size_t>(nodes[0])].categories.size());
  for (double missing : {0.0, 0.1}) {
    RecordOptions recordOptions;
    recordOptions.missingCells = missing;
    RecordGenerator recordGenerator(generator, recordOptions);
    const std::vector<std::string>& names = recordGenerator.GetFieldNames();
    std::vector<std::vector<std::string>> table(records);
    for (std::vector<std::string>& cells : table) recordGenerator.NextRecord(cells);
    std::vector<bnscore::NamedCell> record(names.size());
    long scored = 0;
    const Clock::time_point start = Clock::now();
    for (const std::vector<std::string>& cells : table) {
      for (std::size_t i = 0; i < names.size(); ++i) {
        record[i] = {names[i], cells[i].empty() ? bnscore::Cell::Missing()
                                                : bnscore::Cell::Of(std::string_view(cells[i]))};
      }
      scored += model->Query(record, nodes, posterior) == bnscore::kScored;
    }
    const double micros = Seconds(start) * 1e6 / static_cast<double>(records);
    std::printf("| %s, %d%% of cells empty | %.1f | %ld of %zu scored |\n", name,
                static_cast<int>(missing * 100), micros, scored, records);
  }
}

}  // namespace

int main(int argc, char** argv) {
  CLI::App app("Times exact inference: scoring with gaps and queries", "inference_bench");
  std::string shape;
  std::string plugin;
  std::size_t records = 20000;
  int runs = 3;
  bool queryOnly = false;
  std::string only;
  app.add_option("--shape", shape, "One bench shape (default: all)");
  app.add_option("--plugin", plugin, "The model plug-in");
  app.add_option("--records", records, "Records per stream");
  app.add_option("--runs", runs, "Runs per stream (the best counts)");
  app.add_flag("--query-only", queryOnly, "Only the queries");
  // For instruction counts (callgrind): one of the two streams, no queries.
  app.add_option("--only", only, "complete or gaps: that stream alone, no queries")
      ->check(CLI::IsMember({"complete", "gaps"}));
  CLI11_PARSE(app, argc, argv);
  try {
    if (!queryOnly) {
      std::printf(
          "| shape | complete, records/s | 10%% empty + marginalize, records/s | ratio |\n"
          "|---|---|---|---|\n");
      for (const ShapePreset& preset : ShapePresets()) {
        if (shape.empty() || preset.name == shape) Shape(preset, plugin, records, runs, only);
      }
    }
    if (!only.empty()) return 0;
    std::printf("\n| query | us/record | |\n|---|---|---|\n");
    Query("37 nodes", 36, 3, plugin, 2000);
    Query("1,000 nodes", 999, 2, plugin, 200);
  } catch (const std::exception& e) {
    std::fprintf(stderr, "inference_bench: %s\n", e.what());
    return 1;
  }
  return 0;
}
