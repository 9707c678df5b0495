// io_floor: the cost of `bnscore score`'s CSV reading and writing without
// the scoring: the same CSV read into the same columns (CsvColumnBlock) and
// the same output cells written with the same number texts to /dev/null.
// The outputs are scored once, untimed, and kept; the timed runs copy them
// into each block's arrays instead of scoring. Reports records per second,
// the median of the runs.
//
//   io_floor [--runs N] model.pmml records.csv
//
// --runs 0 only scores and keeps the outputs: the difference to --runs 1
// (under callgrind, say) is one floor run.

#include <fcntl.h>
#include <unistd.h>

#include <CLI/CLI.hpp>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "bnscore/bnscore.h"
#include "engine/CsvColumnBlock.h"
#include "engine/CsvReader.h"
#include "engine/CsvWriter.h"
#include "engine/DefaultPlugin.h"
#include "engine/FieldLayout.h"
#include "engine/LoadedModel.h"
#include "host/xml/XmlPlatform.h"

using namespace bnscore::internal;

namespace {

// The outputs of every record of a file, in record order.
struct StoredOutputs {
  std::vector<std::int32_t> status;
  std::vector<std::int32_t> prediction;
  std::vector<double> confidence;
  std::vector<double> probabilities;
  std::size_t next = 0;  // the next record to hand out
};

// Reads `path` through column blocks and writes the rows to /dev/null;
// with `record`, scores the blocks and keeps their outputs in `stored`,
// else copies the outputs from `stored`. Returns records per second.
double Run(const bnscore::Model& model, const ScoreModel& host, const FieldLayout& layout,
           const std::string& path, StoredOutputs& stored, bool record) {
  const int fd = ::open(path.c_str(), O_RDONLY);
  if (fd < 0) throw std::runtime_error("cannot open " + path);
  const int out = ::open("/dev/null", O_WRONLY);
  const auto start = std::chrono::steady_clock::now();
  long records = 0;
  {
    CsvReader reader(fd, path);
    CsvWriter writer(out, "/dev/null");
    if (!reader.ReadRow()) throw std::runtime_error(path + ": no header row");
    const std::vector<std::string> header(reader.GetFields().begin(), reader.GetFields().end());
    ScoreOptions options;
    CsvColumnBlock block(model, host, layout, header, options);
    const std::size_t k = model.GetSchema().categories.size();
    stored.next = 0;
    block.SetScoreFunction([&model, &stored, record, k](std::span<const bnscore::Column> columns,
                                                        std::size_t rows,
                                                        const bnscore::Outputs& outputs) {
      if (record) {
        model.Score(columns, rows, outputs, 1);
        stored.status.insert(stored.status.end(), outputs.status.begin(), outputs.status.end());
        stored.prediction.insert(stored.prediction.end(), outputs.prediction.begin(),
                                 outputs.prediction.end());
        stored.confidence.insert(stored.confidence.end(), outputs.confidence.begin(),
                                 outputs.confidence.end());
        stored.probabilities.insert(stored.probabilities.end(), outputs.probabilities.begin(),
                                    outputs.probabilities.end());
        return;
      }
      const std::size_t first = stored.next;
      std::copy_n(stored.status.begin() + first, rows, outputs.status.begin());
      std::copy_n(stored.prediction.begin() + first, rows, outputs.prediction.begin());
      std::copy_n(stored.confidence.begin() + first, rows, outputs.confidence.begin());
      std::copy_n(stored.probabilities.begin() + first * k, rows * k,
                  outputs.probabilities.begin());
      stored.next += rows;
    });
    while (reader.ReadRow()) {
      if (!block.AddRow(reader)) block.AddRowAsTexts(reader);
      ++records;
      if (block.Full()) block.ScoreAndWrite(writer);
    }
    block.ScoreAndWrite(writer);
    writer.Flush();
  }
  const double seconds =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  ::close(fd);
  ::close(out);
  return static_cast<double>(records) / seconds;
}

}  // namespace

int main(int argc, char** argv) {
  CLI::App app{"Reads and writes CSV as bnscore score does, without scoring"};
  std::string modelPath;
  std::string recordsPath;
  int runs = 3;
  app.add_option("model", modelPath)->required();
  app.add_option("records", recordsPath)->required();
  app.add_option("--runs", runs);
  CLI11_PARSE(app, argc, argv);
  try {
    const std::unique_ptr<bnscore::Model> model = bnscore::Model::Load(modelPath);
    std::unique_ptr<LoadedModel> loaded;
    {
      XmlPlatform xml;
      loaded = LoadedModel::Load(DefaultPluginPath(), modelPath);
    }
    const FieldLayout layout(loaded->GetModel(), false, false);
    StoredOutputs stored;
    Run(*model, loaded->GetModel(), layout, recordsPath, stored, true);
    std::vector<double> rates;
    for (int i = 0; i < runs; ++i) {
      rates.push_back(Run(*model, loaded->GetModel(), layout, recordsPath, stored, false));
    }
    std::sort(rates.begin(), rates.end());
    if (!rates.empty()) std::printf("%.0f\n", rates[rates.size() / 2]);
  } catch (const std::exception& e) {
    std::fprintf(stderr, "io_floor: %s\n", e.what());
    return 1;
  }
  return 0;
}
