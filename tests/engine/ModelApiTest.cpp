// The public API (bnscore::Model) against bnscore itself: every record of
// the example and test files, given as columns (as numbers where the
// schema reads numbers), must get exactly the status, prediction and bits
// that `bnscore score` writes, for each option; and the API's faults carry
// the host's codes and messages. Score against ScoreOne and threads:
// ColumnScoringTest.cpp.

#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "bnscore/bnscore.h"
#include "engine/CsvReader.h"
#include "tests/TestProcess.h"

using namespace bnscore::internal;

namespace {

// The record statuses are defined once (host/interfaces/StatusCodes.h) and
// hold the numbers the command line, the service and the documents give;
// the statuses the loaded plug-in raises are compared with the public
// names record by record below and in InferenceTest.cpp, and with these
// numbers in the command line's tests.
static_assert(bnscore::kScored == 0 && bnscore::kMissingPredictor == 90029 &&
              bnscore::kNoPositiveScore == 90021);

const std::string kData = BNSCORE_TEST_DATA "/";
const std::string kExamples = BNSCORE_EXAMPLES "/";
const std::string kPlugin = BNSCORE_LIB_DIR "/libbayesnet.so";

using Table = std::vector<std::vector<std::string>>;

// The rows of the CSV file `path`, or of the text `text` when given.
Table ReadCsv(const std::string& path, const std::string* text = nullptr) {
  const int fd = text != nullptr ? testprocess::MemoryFile(*text) : ::open(path.c_str(), O_RDONLY);
  EXPECT_GE(fd, 0) << path;
  Table rows;
  {
    CsvReader reader(fd, path);
    while (reader.ReadRow())
      rows.emplace_back(reader.GetFields().begin(), reader.GetFields().end());
  }
  ::close(fd);
  return rows;
}

// An empty cell of bnscore's output stands for NaN (or no prediction).
bool SameNumber(const std::string& cell, double value) {
  if (cell.empty()) return std::isnan(value);
  const double expected = std::strtod(cell.c_str(), nullptr);
  return std::memcmp(&expected, &value, sizeof value) == 0;
}

struct Case {
  std::string model;
  std::string records;
  bnscore::LoadOptions options;
  std::vector<std::string> flags;
};

// Checks one record's outcome against bnscore's output row `expected`.
void ExpectRow(const bnscore::Model& model, const std::vector<std::string>& expected, int status,
               int prediction, double confidence, const double* probabilities,
               const std::string& where) {
  const auto& categories = model.GetSchema().categories;
  ASSERT_EQ(std::to_string(status), expected[0]) << where;
  EXPECT_EQ(prediction < 0 ? "" : categories[static_cast<std::size_t>(prediction)], expected[1])
      << where;
  if (model.GetOptions().predictionOnly) {
    ASSERT_EQ(expected.size(), 2u);
    EXPECT_TRUE(std::isnan(confidence)) << where;
    for (std::size_t c = 0; c < categories.size(); ++c) EXPECT_TRUE(std::isnan(probabilities[c]));
    return;
  }
  ASSERT_EQ(expected.size(), 3 + categories.size()) << where;
  EXPECT_TRUE(SameNumber(expected[2], confidence)) << where << ": " << confidence;
  for (std::size_t c = 0; c < categories.size(); ++c) {
    EXPECT_TRUE(SameNumber(expected[3 + c], probabilities[c])) << where << " category " << c;
  }
}

void CheckAgainstBnscore(const Case& test) {
  SCOPED_TRACE(test.model + " " + test.records);
  std::vector<std::string> args{"score", "--threads", "1", "--plugin", kPlugin};
  args.insert(args.end(), test.flags.begin(), test.flags.end());
  args.push_back(test.model);
  args.push_back(test.records);
  const testprocess::Outcome run = testprocess::Run(BNSCORE_BIN_DIR "/bnscore", args);
  ASSERT_EQ(run.status, 0) << run.err;
  const Table expected = ReadCsv("bnscore output", &run.out);
  const Table input = ReadCsv(test.records);
  const std::size_t rows = input.size() - 1;
  ASSERT_EQ(expected.size(), input.size());

  bnscore::LoadOptions options = test.options;
  options.plugin = kPlugin;
  const auto model = bnscore::Model::Load(test.model, options);
  const bnscore::Schema& schema = model->GetSchema();
  const std::size_t numCategories = schema.categories.size();
  for (std::size_t c = 0; c < numCategories && !options.predictionOnly; ++c) {
    EXPECT_EQ("probability(" + schema.categories[c] + ")", expected[0][3 + c]);
  }

  // Columns of texts, as the CSV holds them; and the same with numbers
  // (NaN for an empty cell) for the fields the schema reads as numbers,
  // unless a cell is no number.
  const std::vector<std::string>& header = input[0];
  std::vector<std::vector<std::string_view>> texts(header.size());
  std::vector<std::vector<double>> numbers(header.size());
  std::vector<char> allNumbers(header.size(), 1);
  for (std::size_t r = 1; r < input.size(); ++r) {
    for (std::size_t f = 0; f < header.size(); ++f) {
      const std::string& cell = input[r][f];
      char* end = nullptr;
      const double number = cell.empty() ? NAN : std::strtod(cell.c_str(), &end);
      if (!cell.empty() && *end != '\0') allNumbers[f] = 0;
      texts[f].push_back(cell);
      numbers[f].push_back(number);
    }
  }
  for (bool useNumbers : {false, true}) {
    std::vector<bnscore::Column> columns;
    for (std::size_t f = 0; f < header.size(); ++f) {
      bool numeric = false;
      for (const bnscore::Field& field : schema.inputs) {
        numeric = numeric || (field.name == header[f] && field.kind == bnscore::FieldKind::kNumber);
      }
      numeric = numeric && allNumbers[f] != 0;
      columns.push_back(useNumbers && numeric ? bnscore::Column::Numbers(header[f], numbers[f])
                                              : bnscore::Column::Texts(header[f], texts[f]));
    }
    std::vector<std::int32_t> status(rows), prediction(rows);
    std::vector<double> confidence(rows), probabilities(rows * numCategories);
    model->Score(columns, rows, {status, prediction, confidence, probabilities});
    for (std::size_t r = 0; r < rows; ++r) {
      ExpectRow(*model, expected[r + 1], status[r], prediction[r], confidence[r],
                &probabilities[r * numCategories],
                "Score row " + std::to_string(r + 1) + (useNumbers ? " (numbers)" : ""));
    }
  }
}

TEST(ModelApiTest, ScoresBitForBitAsBnscore) {
  const std::string credit = kExamples + "credit_risk.pmml";
  const std::string applicants = kExamples + "applicants.csv";
  const std::string network = kData + "cli_network.pmml";
  bnscore::LoadOptions byName;
  byName.byName = true;
  bnscore::LoadOptions predictionOnly;
  predictionOnly.predictionOnly = true;
  bnscore::LoadOptions derived;
  derived.derivedInRecord = true;
  const Case cases[] = {
      {credit, applicants, {}, {}},
      {credit, applicants, byName, {"--by-name"}},
      {credit, applicants, predictionOnly, {"--prediction-only"}},
      {network, kData + "cli_cases.csv", {}, {}},
      {network, kData + "cli_derived.csv", derived, {"--derived-in-record"}},
      {network, kData + "cli_derived.csv", {}, {}},
  };
  for (const Case& test : cases) CheckAgainstBnscore(test);
}

// Bytes in memory, read in small pieces so that rows cross reads.
class StringSource : public bnscore::ByteSource {
 public:
  explicit StringSource(std::string text) : text_(std::move(text)) {}
  std::size_t Read(char* buffer, std::size_t size) override {
    const std::size_t n = std::min({size, text_.size() - offset_, std::size_t{5}});
    std::memcpy(buffer, text_.data() + offset_, n);
    offset_ += n;
    return n;
  }

 private:
  std::string text_;
  std::size_t offset_ = 0;
};

struct StringSink : bnscore::ByteSink {
  void Write(const char* data, std::size_t size) override { text.append(data, size); }
  std::string text;
};

TEST(ModelApiTest, ScoreCsvWritesWhatBnscoreWrites) {
  const std::string model = kExamples + "credit_risk.pmml";
  const std::string records = kExamples + "applicants.csv";
  const testprocess::Outcome run = testprocess::Run(
      BNSCORE_BIN_DIR "/bnscore", {"score", "--plugin", kPlugin, "--keep-input", model, records});
  ASSERT_EQ(run.status, 0) << run.err;
  bnscore::LoadOptions options;
  options.plugin = kPlugin;
  const auto loaded = bnscore::Model::Load(model, options);
  for (int threads : {1, 2}) {
    StringSource input(testprocess::ReadFile(records));
    StringSink output;
    bnscore::CsvOptions csv;
    csv.keepInput = true;
    csv.threads = threads;
    csv.blockBytes = 100;
    const bnscore::CsvSummary summary = loaded->ScoreCsv(input, "applicants.csv", output, csv);
    EXPECT_EQ(output.text, run.out);
    EXPECT_EQ(summary.records, 20);
    EXPECT_EQ(summary.statusCounts,
              (std::vector<std::pair<int, long>>{{0, 18}, {bnscore::kMissingPredictor, 2}}));

    // The same rows without the header rows, the columns named instead,
    // and every record reported written once.
    const std::string text = testprocess::ReadFile(records);
    StringSource headerless(text.substr(text.find('\n') + 1));
    StringSink rows;
    csv.columns = {"applicant", "age", "income", "employment", "dependents"};
    csv.outputHeader = false;
    long written = 0;
    csv.recordsWritten = [&written](long count) { written += count; };
    loaded->ScoreCsv(headerless, "part-0", rows, csv);
    EXPECT_EQ(rows.text, run.out.substr(run.out.find('\n') + 1));
    EXPECT_EQ(written, 20);
  }
  // A header without every predictor is refused before anything is written.
  StringSource partial("age,income\n30,1000\n40\n");
  StringSink output;
  try {
    loaded->ScoreCsv(partial, "in.csv", output);
    FAIL() << "a header without predictors was accepted";
  } catch (const bnscore::Error& e) {
    EXPECT_STREQ(e.what(),
                 "in.csv: missing columns: employment, dependents (the header has: age, income)");
  }
  EXPECT_EQ(output.text, "");
}

// JSON Lines in or out are scored in blocks on several threads: the same
// bytes, counts and faults (at their line in the whole input) as on one.
TEST(ModelApiTest, JsonLinesAreTheSameOnAnyNumberOfThreads) {
  bnscore::LoadOptions options;
  options.plugin = kPlugin;
  const auto loaded = bnscore::Model::Load(kExamples + "credit_risk.pmml", options);
  const std::vector<std::string> records = {
      R"({"age":34,"income":52000,"employment":"salaried","dependents":1})",
      R"({"age":23,"income":null,"employment":7.5})",
      R"({"employment":"unemployed","income":"NA","age":"41","dependents":0})",
      R"({"age":61,"income":9e4,"employment":"caf\u00e9 \"x\"","dependents":2})"};
  // A byte-order mark, CRLF and blank lines; 40 records, then a fault on
  // line 51 (40 records and 10 blank lines before it).
  std::string input = "\xEF\xBB\xBF";
  for (int i = 0; i < 40; ++i) {
    input += records[static_cast<std::size_t>(i) % records.size()] + (i % 3 == 0 ? "\r\n" : "\n");
    if (i % 4 == 3) input += i % 8 == 3 ? "\n" : "  \t\n";
  }
  const std::string fault = input + R"({"age":true})" + "\n" + records[0] + "\n";
  std::string csvInput = "age,income,employment,dependents\n";
  for (int i = 0; i < 30; ++i) csvInput += std::to_string(20 + i) + ",1000,salaried,1\n";
  const std::string ragged = csvInput + "50,1000\n" + csvInput.substr(csvInput.find('\n') + 1);

  struct Run {
    std::string out, error;
    long records = -1, blank = -1;
  };
  auto score = [&loaded](const std::string& text, bnscore::RecordFormat in,
                         bnscore::RecordFormat out, int threads, bool keep) {
    bnscore::CsvOptions csv;
    csv.inputFormat = in;
    csv.outputFormat = out;
    csv.keepInput = keep;
    csv.reason = keep;
    csv.threads = threads;
    csv.blockBytes = 90;  // a line or two a block
    StringSource source(text);
    StringSink sink;
    Run run;
    try {
      const bnscore::CsvSummary summary = loaded->ScoreCsv(source, "in", sink, csv);
      run.records = summary.records;
      run.blank = summary.blankLines;
    } catch (const bnscore::Error& e) {
      run.error = e.what();
    }
    run.out = sink.text;
    return run;
  };
  using bnscore::RecordFormat;
  for (bool keep : {false, true}) {
    const Run json = score(input, RecordFormat::kJsonLines, RecordFormat::kJsonLines, 1, keep);
    EXPECT_EQ(json.records, 40);
    EXPECT_EQ(json.blank, 10);
    EXPECT_EQ(std::count(json.out.begin(), json.out.end(), '\n'), 40);
    const Run failed = score(fault, RecordFormat::kJsonLines, RecordFormat::kCsv, 1, keep);
    EXPECT_EQ(failed.error,
              "in:51: key \"age\": a boolean is not a field value (a number, a string or null)");
    EXPECT_EQ(std::count(failed.out.begin(), failed.out.end(), '\n'), 41);  // and the header
    const Run csvToJson = score(ragged, RecordFormat::kCsv, RecordFormat::kJsonLines, 1, keep);
    EXPECT_EQ(csvToJson.error, "in:32: the row has 2 fields but the header has 4 fields");
    EXPECT_EQ(std::count(csvToJson.out.begin(), csvToJson.out.end(), '\n'), 30);
    for (int threads : {2, 3}) {
      const std::string where = "threads " + std::to_string(threads) + (keep ? ", keep" : "");
      const Run many =
          score(input, RecordFormat::kJsonLines, RecordFormat::kJsonLines, threads, keep);
      EXPECT_EQ(many.out, json.out) << where;
      EXPECT_EQ(many.records, 40) << where;
      EXPECT_EQ(many.blank, 10) << where;
      const Run manyFailed =
          score(fault, RecordFormat::kJsonLines, RecordFormat::kCsv, threads, keep);
      EXPECT_EQ(manyFailed.out, failed.out) << where;
      EXPECT_EQ(manyFailed.error, failed.error) << where;
      const Run manyCsv =
          score(ragged, RecordFormat::kCsv, RecordFormat::kJsonLines, threads, keep);
      EXPECT_EQ(manyCsv.out, csvToJson.out) << where;
      EXPECT_EQ(manyCsv.error, csvToJson.error) << where;
    }
  }
}

TEST(ModelApiTest, SchemaListsWhatTheModelReads) {
  bnscore::LoadOptions options;
  options.plugin = kPlugin;
  const auto model = bnscore::Model::Load(kExamples + "credit_risk.pmml", options);
  const bnscore::Schema& schema = model->GetSchema();
  EXPECT_EQ(schema.target, "risk");
  EXPECT_EQ(schema.categories, (std::vector<std::string>{"low", "medium", "high"}));
  std::vector<std::string> inputs;
  for (const bnscore::Field& field : schema.inputs) {
    inputs.push_back(field.name +
                     (field.kind == bnscore::FieldKind::kNumber ? ":number" : ":text"));
  }
  EXPECT_EQ(inputs, (std::vector<std::string>{"employment:text", "dependents:number",
                                              "income:number", "age:number"}));
  EXPECT_NE(model->Display().find("BayesNet"), std::string::npos) << model->Display();
}

TEST(ModelApiTest, FaultsCarryTheirCodesAndPlaces) {
  bnscore::LoadOptions options;
  options.plugin = kPlugin;
  try {
    bnscore::Model::Load(kData + "plugin_fault_loop.pmml", options);
    FAIL() << "a loop was accepted";
  } catch (const bnscore::ModelError& e) {
    EXPECT_EQ(e.GetCode(), 1);
    EXPECT_EQ(e.GetMessage(), "Loop is not allowed.");
    EXPECT_STREQ(e.what(), "error 1: Loop is not allowed.");
  }
  try {
    bnscore::Model::LoadText("<PMML><DataDictionary>", options);
    FAIL() << "broken XML was accepted";
  } catch (const bnscore::ModelError& e) {
    EXPECT_EQ(e.GetCode(), 9);
  }
  bnscore::LoadOptions noPlugin;
  noPlugin.plugin = "/nonexistent/libbayesnet.so";
  EXPECT_THROW(bnscore::Model::Load(kExamples + "credit_risk.pmml", noPlugin), bnscore::Error);

  const auto model = bnscore::Model::Load(kExamples + "credit_risk.pmml", options);
  const double ages[] = {30, 40};
  const std::string_view jobs[] = {"salaried"};
  std::vector<std::int32_t> status(2), prediction(2);
  const bnscore::Outputs outputs{status, prediction, {}, {}};
  const auto scoreWith = [&](std::vector<bnscore::Column> columns) {
    try {
      model->Score(columns, 2, outputs);
      return std::string("accepted");
    } catch (const bnscore::Error& e) {
      return std::string(e.what());
    }
  };
  EXPECT_EQ(scoreWith({bnscore::Column::Texts("employment", jobs)}),
            "column \"employment\" has 1 entries; expected 2");
  EXPECT_EQ(
      scoreWith({bnscore::Column::Numbers("age", ages), bnscore::Column::Numbers("age", ages)}),
      "column \"age\" is given twice");
  EXPECT_EQ(scoreWith({bnscore::Column::Numbers("age", ages)}), "accepted");
  EXPECT_EQ(status,
            (std::vector<std::int32_t>{bnscore::kMissingPredictor, bnscore::kMissingPredictor}));
  std::vector<double> tooFew(1), probabilities(3);
  EXPECT_THROW(model->ScoreOne({}, tooFew), bnscore::Error);
  // A record without a predictor after one with all of them: no cell of
  // the first is left over.
  const std::vector<bnscore::NamedCell> full = {{"employment", bnscore::Cell::Of("salaried")},
                                                {"income", bnscore::Cell::Of(52000.0)},
                                                {"age", bnscore::Cell::Of(34.0)},
                                                {"dependents", bnscore::Cell::Of(1.0)}};
  EXPECT_EQ(model->ScoreOne(full, probabilities).status, bnscore::kScored);
  EXPECT_EQ(model->ScoreOne({full.data() + 1, 3}, probabilities).status,
            bnscore::kMissingPredictor);
}

}  // namespace

namespace {

// Numeric cells that are not plain decimals, read by ScoreCsv's column
// blocks (NaN alone through the record path) and by ScoreOne given as
// texts: the same outcome and bits, on one thread and on two.
TEST(ModelApiTest, ScoreCsvReadsOddNumberCellsAsTheRecordPathDoes) {
  bnscore::LoadOptions options;
  options.plugin = kPlugin;
  const auto model = bnscore::Model::Load(kExamples + "credit_risk.pmml", options);
  const std::vector<std::string> incomes = {"52000", "nan", "inf",   "-inf", "abc",  "1e400",
                                            "NA",    "",    "3.5e4", "nan",  "0x10", "-0"};
  std::string csv = "age,income,employment,dependents\n";
  for (const std::string& income : incomes) csv += "41," + income + ",salaried,1\n";
  const std::size_t categories = model->GetSchema().categories.size();
  for (int threads : {1, 2}) {
    StringSource input(csv);
    StringSink output;
    bnscore::CsvOptions read;
    read.missingValues = {"NA"};
    read.allowNonfinite = true;
    read.threads = threads;
    read.blockBytes = 40;
    model->ScoreCsv(input, "odd.csv", output, read);
    const Table rows = ReadCsv("", &output.text);
    ASSERT_EQ(rows.size(), incomes.size() + 1);
    for (std::size_t i = 0; i < incomes.size(); ++i) {
      const bnscore::NamedCell record[] = {
          {"age", bnscore::Cell::Of("41")},
          {"income", incomes[i] == "NA" ? bnscore::Cell::Missing() : bnscore::Cell::Of(incomes[i])},
          {"employment", bnscore::Cell::Of("salaried")},
          {"dependents", bnscore::Cell::Of("1")}};
      std::vector<double> p(categories);
      const bnscore::Outcome o = model->ScoreOne(record, p);
      ExpectRow(*model, rows[i + 1], o.status, o.prediction, o.confidence, p.data(),
                "income " + incomes[i] + ", threads " + std::to_string(threads));
    }
  }
}

}  // namespace
