// Model::Score scores the rows it can straight from the columns through
// the model's own column scoring, and the others through a case record and
// GetScore. Both must give the same bits: here every bench shape is scored
// as columns and, record by record, through ScoreOne (always the record
// path), on records with missing cells and values no category has; and so
// with gaps summed out, where the columns' codes of a row with gaps go to
// inference as they are, and the record is coded again from its cells.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "testing/GeneratorOptions.h"
#include "testing/ModelGenerator.h"
#include "testing/RecordGenerator.h"
#include "bnscore/bnscore.h"

using namespace bnscore::testing;

namespace {

const std::string kPlugin = BNSCORE_LIB_DIR "/libbayesnet.so";
constexpr std::size_t kRows = 3000;

struct Outputs {
  explicit Outputs(std::size_t categories)
      : status(kRows), prediction(kRows), confidence(kRows), probabilities(kRows * categories) {}
  std::vector<std::int32_t> status;
  std::vector<std::int32_t> prediction;
  std::vector<double> confidence;
  std::vector<double> probabilities;
};

bool SameBits(double a, double b) { return std::memcmp(&a, &b, sizeof a) == 0; }

// How a model treats gaps and unknown values, beside today's default.
struct Evidence {
  const char* name;
  bnscore::MissingValues missing;
  bnscore::UnknownValues unknown;
};
constexpr Evidence kStop{"", bnscore::MissingValues::kStop, bnscore::UnknownValues::kStop};

void CheckShape(const ShapePreset& shape, bool predictionOnly, const Evidence& evidence = kStop) {
  SCOPED_TRACE(shape.name + (predictionOnly ? " (prediction only)" : "") + evidence.name);
  const ModelGenerator generator(shape.options);
  bnscore::LoadOptions options;
  options.plugin = kPlugin;
  options.predictionOnly = predictionOnly;
  options.missing = evidence.missing;
  options.unknown = evidence.unknown;
  const auto model = bnscore::Model::LoadText(generator.Pmml(), options);
  const bnscore::Schema& schema = model->GetSchema();
  const std::size_t k = schema.categories.size();

  // About one record in ten with an empty cell, one in ten with a value no
  // category has, whatever the number of fields.
  const double perField = 0.1 / static_cast<double>(schema.inputs.size());
  RecordOptions recordOptions;
  recordOptions.missingCells = perField;
  recordOptions.unknownValues = perField;
  RecordGenerator records(generator, recordOptions);
  const std::vector<std::string>& names = records.GetFieldNames();
  std::vector<std::vector<std::string>> cells(kRows);
  for (std::vector<std::string>& row : cells) records.NextRecord(row);

  // Numbers for the fields the schema reads as numbers (NaN for an empty or
  // unreadable cell), views of the texts for the others; the third field
  // also gets a missing mask that blanks one row in seven.
  std::vector<char> numeric(names.size(), 0);
  for (std::size_t f = 0; f < names.size(); ++f) {
    for (const bnscore::Field& field : schema.inputs) {
      if (field.name == names[f]) numeric[f] = field.kind == bnscore::FieldKind::kNumber;
    }
  }
  std::vector<std::vector<double>> numbers(names.size());
  std::vector<std::vector<std::string_view>> texts(names.size());
  std::vector<std::vector<std::uint8_t>> masks(names.size());
  for (std::size_t f = 0; f < names.size(); ++f) {
    for (std::size_t r = 0; r < kRows; ++r) {
      const std::string& cell = cells[r][f];
      if (numeric[f] != 0) {
        char* end = nullptr;
        const double number = std::strtod(cell.c_str(), &end);
        numbers[f].push_back(cell.empty() || *end != '\0' ? NAN : number);
      } else {
        texts[f].push_back(cell);
      }
      if (f == 2) masks[f].push_back(r % 7 == 3 ? 1 : 0);
    }
  }
  std::vector<bnscore::Column> columns;
  for (std::size_t f = 0; f < names.size(); ++f) {
    columns.push_back(numeric[f] != 0 ? bnscore::Column::Numbers(names[f], numbers[f], masks[f])
                                      : bnscore::Column::Texts(names[f], texts[f], masks[f]));
  }

  Outputs one(k), two(k);
  model->Score(columns, kRows, {one.status, one.prediction, one.confidence, one.probabilities});
  model->Score(columns, kRows, {two.status, two.prediction, two.confidence, two.probabilities}, 2);
  EXPECT_EQ(one.status, two.status);
  EXPECT_EQ(one.prediction, two.prediction);
  EXPECT_EQ(std::memcmp(one.probabilities.data(), two.probabilities.data(),
                        one.probabilities.size() * sizeof(double)),
            0);

  std::vector<double> probabilities(k);
  int scored = 0;
  int missing = 0;
  int gapsScored = 0;  // scored records with a cell missing
  for (std::size_t r = 0; r < kRows; ++r) {
    std::vector<bnscore::NamedCell> record;
    bool gap = false;
    for (std::size_t f = 0; f < names.size(); ++f) {
      bnscore::Cell cell =
          numeric[f] != 0 ? bnscore::Cell::Of(numbers[f][r]) : bnscore::Cell::Of(texts[f][r]);
      if (!masks[f].empty() && masks[f][r] != 0) cell = bnscore::Cell::Missing();
      gap = gap || cell.kind == bnscore::Cell::Kind::kMissing ||
            (numeric[f] != 0 ? std::isnan(cell.number) : cell.text.empty());
      record.push_back({names[f], cell});
    }
    const bnscore::Outcome outcome = model->ScoreOne(record, probabilities);
    ASSERT_EQ(outcome.status, one.status[r]) << "row " << r;
    ASSERT_EQ(outcome.prediction, one.prediction[r]) << "row " << r;
    ASSERT_TRUE(SameBits(outcome.confidence, one.confidence[r])) << "row " << r;
    for (std::size_t c = 0; c < k; ++c) {
      ASSERT_TRUE(SameBits(probabilities[c], one.probabilities[r * k + c]))
          << "row " << r << " category " << c;
    }
    scored += outcome.status == bnscore::kScored;
    missing += outcome.status == bnscore::kMissingPredictor;
    gapsScored += gap && outcome.status == bnscore::kScored;
  }
  // The outcomes compared occur, or the comparison proves little: records
  // with gaps are missing, or scored when they are summed out; with
  // unknown values summed out too, no record is missing.
  EXPECT_GT(scored, 0);
  if (evidence.missing == bnscore::MissingValues::kStop) {
    EXPECT_GT(missing, 0);
  } else {
    EXPECT_GT(gapsScored, 0);
  }
  if (evidence.unknown == bnscore::UnknownValues::kMissing) {
    EXPECT_EQ(missing, 0);
  }
}

TEST(ColumnScoringTest, ColumnsScoreAsRecordsDo) {
  for (const ShapePreset& shape : ShapePresets()) {
    CheckShape(shape, false);
    if (shape.name == "naive4") CheckShape(shape, true);
  }
}

TEST(ColumnScoringTest, ColumnsWithGapsSummedOutScoreAsRecordsDo) {
  const Evidence marginalize{" (gaps summed out)", bnscore::MissingValues::kMarginalize,
                             bnscore::UnknownValues::kStop};
  const Evidence lenient{" (gaps and unknown values summed out)",
                         bnscore::MissingValues::kMarginalize, bnscore::UnknownValues::kMissing};
  for (const ShapePreset& shape : ShapePresets()) {
    CheckShape(shape, false, marginalize);
    if (shape.name == "naive4" || shape.name == "binned18tan7") {
      CheckShape(shape, false, lenient);
      CheckShape(shape, true, lenient);
    }
  }
}

}  // namespace
