// io_floor: the cost of `bnscore score`'s CSV reading and writing without
// the scoring: the same CSV read into the same columns (CsvColumnBlock) and
// the same number of output cells written with the same number formatting
// to /dev/null, the outputs filled with made-up numbers that vary with the
// record (so that the number texts are as varied as real probabilities)
// instead of scored. Reports records per second, the median of the runs.
//
//   io_floor [--runs N] model.pmml records.csv

#include <fcntl.h>
#include <unistd.h>

#include <CLI/CLI.hpp>
#include <algorithm>
#include <chrono>
#include <cmath>
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

namespace {

// Fills the outputs as a scored block would be, from the first numeric
// column's cells: probabilities that differ from record to record.
void FillOutputs(std::span<const bnscore::Column> columns, std::size_t rows,
                 const bnscore::Outputs& outputs, std::size_t categories) {
  const double* numbers = nullptr;
  for (const bnscore::Column& column : columns) {
    if (!column.numbers.empty()) {
      numbers = column.numbers.data();
      break;
    }
  }
  for (std::size_t r = 0; r < rows; ++r) {
    const double x = numbers != nullptr ? numbers[r] : static_cast<double>(r);
    const double p = 0.5 + 0.49 * std::sin(x);
    outputs.status[r] = 0;
    outputs.prediction[r] = static_cast<std::int32_t>(r % categories);
    if (outputs.confidence.empty()) continue;
    outputs.confidence[r] = p;
    for (std::size_t c = 0; c < categories; ++c) {
      outputs.probabilities[r * categories + c] = c == 0 ? p : (1 - p) / double(categories - 1);
    }
  }
}

double RecordsPerSecond(const bnscore::Model& model, const ScoreModel& host,
                        const FieldLayout& layout, const std::string& path) {
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
    const std::size_t categories = model.GetSchema().categories.size();
    block.SetScoreFunction([categories](std::span<const bnscore::Column> columns,
                                        std::size_t rows, const bnscore::Outputs& outputs) {
      FillOutputs(columns, rows, outputs, categories);
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
    std::vector<double> rates;
    for (int i = 0; i < runs; ++i) {
      rates.push_back(RecordsPerSecond(*model, loaded->GetModel(), layout, recordsPath));
    }
    std::sort(rates.begin(), rates.end());
    std::printf("%.0f\n", rates[rates.size() / 2]);
  } catch (const std::exception& e) {
    std::fprintf(stderr, "io_floor: %s\n", e.what());
    return 1;
  }
  return 0;
}
