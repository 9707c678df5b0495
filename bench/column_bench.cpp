// column_bench: times Model::Score, the engine's columnar API, on one batch
// of records held in memory as columns: numbers for the fields the schema
// reads as numbers, texts (views of each column's distinct cells) for the
// others, every output array filled. Reports records per second, the
// median of several runs; each run scores the whole batch at least once
// and for at least --min-time seconds.
//
//   column_bench model.pmml records.csv
//   column_bench --threads 2 --runs 5 model.pmml records.csv

#include <fcntl.h>
#include <unistd.h>

#include <CLI/CLI.hpp>
#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <iostream>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "bnscore/bnscore.h"
#include "engine/CsvReader.h"
#include "engine/DecimalText.h"
#include "host/text/NumberText.h"

using namespace bnscore::internal;

namespace {

using Clock = std::chrono::steady_clock;

struct Settings {
  std::string modelPath;
  std::string recordsPath;
  std::string plugin;
  int runs = 5;
  int threads = 1;
  double minSeconds = 1.0;
  bool valueOnly = false;
};

// The records of a CSV file as the columns of the fields a model reads.
class ColumnTable {
 public:
  ColumnTable(const std::string& path, const bnscore::Schema& schema) {
    const int fd = ::open(path.c_str(), O_RDONLY);
    if (fd < 0) throw std::runtime_error("cannot open " + path);
    CsvReader reader(fd, path);
    if (!reader.ReadRow()) throw std::runtime_error(path + ": no header row");
    const std::vector<std::string> header(reader.GetFields().begin(), reader.GetFields().end());
    std::vector<int> field(header.size(), -1);  // per CSV column: its schema input, or -1
    for (std::size_t c = 0; c < header.size(); ++c) {
      for (std::size_t f = 0; f < schema.inputs.size(); ++f) {
        if (schema.inputs[f].name == header[c] && field[c] < 0) field[c] = static_cast<int>(f);
      }
    }
    columns_.resize(header.size());
    while (reader.ReadRow()) {
      if (reader.GetNumFields() != header.size()) throw std::runtime_error(path + ": ragged row");
      for (std::size_t c = 0; c < header.size(); ++c) {
        if (field[c] < 0) continue;
        const std::string_view cell = reader.GetFields()[c];
        Store& store = columns_[c];
        if (schema.inputs[static_cast<std::size_t>(field[c])].kind == bnscore::FieldKind::kNumber) {
          double value = std::nan("");
          if (!cell.empty() && !ParsePlainDecimal(cell, value) && !ParseNumber(cell, value)) {
            value = std::nan("");
          }
          store.numbers.push_back(value);
        } else {
          store.texts.push_back(*store.distinct.emplace(cell).first);
        }
      }
      ++rows_;
    }
    ::close(fd);
    for (std::size_t c = 0; c < header.size(); ++c) {
      if (field[c] < 0) continue;
      const Store& store = columns_[c];
      names_.push_back(header[c]);
      views_.push_back(store.numbers.empty() && rows_ > 0
                           ? bnscore::Column::Texts(names_.back(), store.texts)
                           : bnscore::Column::Numbers(names_.back(), store.numbers));
    }
    // The views name strings of names_, which no longer moves.
    for (std::size_t i = 0; i < views_.size(); ++i) views_[i].name = names_[i];
  }

  std::size_t Rows() const { return rows_; }
  const std::vector<bnscore::Column>& Columns() const { return views_; }

 private:
  struct Store {
    std::set<std::string, std::less<>> distinct;  // the texts the views show
    std::vector<std::string_view> texts;
    std::vector<double> numbers;
  };

  std::vector<Store> columns_;
  std::vector<std::string> names_;
  std::vector<bnscore::Column> views_;
  std::size_t rows_ = 0;
};

int Run(const Settings& s) {
  bnscore::LoadOptions options;
  options.plugin = s.plugin;
  const auto model = bnscore::Model::Load(s.modelPath, options);
  const ColumnTable table(s.recordsPath, model->GetSchema());
  const std::size_t rows = table.Rows();
  if (rows == 0) throw std::runtime_error("no records to score");
  const std::size_t categories = model->GetSchema().categories.size();
  std::vector<std::int32_t> status(rows), prediction(rows);
  std::vector<double> confidence(rows), probabilities(rows * categories);
  const bnscore::Outputs outputs{status, prediction, confidence, probabilities};

  std::vector<double> rates;
  for (int run = 0; run < s.runs; ++run) {
    long long scored = 0;
    double elapsed = 0.0;
    const Clock::time_point start = Clock::now();
    do {
      model->Score(table.Columns(), rows, outputs, s.threads);
      scored += static_cast<long long>(rows);
      elapsed = std::chrono::duration<double>(Clock::now() - start).count();
    } while (elapsed < s.minSeconds);
    rates.push_back(static_cast<double>(scored) / elapsed);
  }
  std::vector<double> sorted = rates;
  std::sort(sorted.begin(), sorted.end());
  const double median = sorted[sorted.size() / 2];

  if (s.valueOnly) {
    std::printf("%.0f\n", median);
    return 0;
  }
  std::map<int, long> statuses;
  for (std::int32_t code : status) ++statuses[code];
  std::printf("records in one batch: %zu (%zu columns)\nstatuses:", rows, table.Columns().size());
  for (const auto& [code, n] : statuses) std::printf(" %d: %ld", code, n);
  std::printf("\nruns (records/s):");
  for (double rate : rates) std::printf(" %.0f", rate);
  std::printf("\nModel::Score, %d thread(s): %.0f records/s (median of %d runs)\n", s.threads,
              median, s.runs);
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  CLI::App app{"Times Model::Score on one batch of records held in memory as columns."};
  Settings s;
  app.add_option("MODEL", s.modelPath, "PMML model")->required();
  app.add_option("RECORDS", s.recordsPath, "CSV records (bngen's format)")->required();
  app.add_option("--plugin", s.plugin, "The plug-in (default: as libbnscore finds it)");
  app.add_option("--runs", s.runs, "Timed runs; the median is reported")
      ->check(CLI::PositiveNumber);
  app.add_option("--threads", s.threads, "Scoring threads")->check(CLI::Range(1, 1024));
  app.add_option("--min-time", s.minSeconds, "Least seconds per run");
  app.add_flag("--value-only", s.valueOnly, "Print only the median records/s");
  CLI11_PARSE(app, argc, argv);
  try {
    return Run(s);
  } catch (const bnscore::Error& e) {
    std::cerr << "column_bench: " << e.what() << "\n";
  } catch (const std::exception& e) {
    std::cerr << "column_bench: " << e.what() << "\n";
  }
  return 1;
}
