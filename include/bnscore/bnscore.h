#ifndef BNSCORE_BNSCORE_H_
#define BNSCORE_BNSCORE_H_

// The public API of the scoring engine, libbnscore: read a Bayesian-network
// classifier from a PMML document and score records with it, with exactly
// the numbers, statuses and tie and missing-value rules of `bnscore score`.
//
//   auto model = bnscore::Model::Load("credit_risk.pmml");
//   std::vector<double> p(model->GetSchema().categories.size());
//   bnscore::NamedCell record[] = {{"age", bnscore::Cell::Of(34.0)},
//                                  {"employment", bnscore::Cell::Of("salaried")}};
//   bnscore::Outcome o = model->ScoreOne(record, p);
//
// A Model is immutable once loaded: every const member may be called from
// many threads at once. Nothing here allocates per record once a thread's
// working buffers have reached their size.

#include <cstddef>
#include <cstdint>
#include <functional>
#include <limits>
#include <memory>
#include <optional>
#include <span>
#include <stdexcept>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "host/interfaces/StatusCodes.h"
#include "bnscore/description.h"
#include "bnscore/errors.h"
#include "bnscore/structure.h"

// What libbnscore exports; everything else in it is hidden.
#ifndef BNSCORE_API
#define BNSCORE_API __attribute__((visibility("default")))
#endif

namespace bnscore {

// Record statuses (as in bnscore's `status` column): the host interface's
// codes, defined once in host/interfaces/StatusCodes.h.
using MCScore::kMissingPredictor;  // 90029: a predictor has no usable value
using MCScore::kNoPositiveScore;   // 90021: no category got a positive score
using MCScore::kScored;

// What a field without a usable value does to its record (docs/inference.md).
enum class MissingValues : std::uint8_t {
  kStop,         // the record gets kMissingPredictor (the default)
  kMarginalize,  // the field is summed out: P(target | the values given)
};

// What a value that is none of its field's categories does.
enum class UnknownValues : std::uint8_t {
  kStop,     // the record gets kMissingPredictor (the default)
  kMissing,  // the value counts as missing (see MissingValues)
};

// Both, for one call (overriding the LoadOptions).
struct EvidenceOptions {
  MissingValues missing = MissingValues::kStop;
  UnknownValues unknown = UnknownValues::kStop;
};

// The default of LoadOptions::maxDocumentBytes: 256 MiB.
inline constexpr std::size_t kDefaultMaxDocumentBytes = std::size_t{256} << 20;

// How a model reads its records; the options of `bnscore score`.
struct LoadOptions {
  bool byName = false;           // records give access by field name only
  bool derivedInRecord = false;  // records carry the derived fields' values
  bool predictionOnly = false;   // no confidence and no probabilities
  MissingValues missing = MissingValues::kStop;
  UnknownValues unknown = UnknownValues::kStop;
  // The model plug-in; "" finds it as bnscore does: $BNSCORE_PLUGIN, else
  // libbayesnet.so beside libbnscore.so, else beside the executable or in
  // its ../lib.
  std::string plugin;
  // The field the model predicts. Needed for a network in BIF or XMLBIF
  // (read as a classifier of this variable, every other one a predictor);
  // optional for DMG PMML (default: its mining schema's target) and for
  // this scorer's own PMML (default: its predicted field). See
  // docs/formats.md.
  std::string target;
  // Limits of the document read, which refuse documents that would cost
  // far more than their size; 0 takes the default. maxDocumentBytes:
  // 256 MiB. maxNodes, the XML nodes (elements, attributes, texts):
  // by default 200,000 or one per 8 bytes of the document, whichever is
  // more; a number given here is the limit whatever the size.
  std::size_t maxDocumentBytes = 0;
  std::size_t maxNodes = 0;
};

enum class FieldKind { kNumber, kText };

struct Field {
  std::string name;
  FieldKind kind;
};

// What a model reads and what it gives.
struct Schema {
  // The fields a record may carry for the model, each with the kind of
  // cell it reads: every field of the data dictionary but the target (the
  // predictors, and the inputs from which derived predictors are computed),
  // then, with derivedInRecord or byName, the derived fields the data
  // dictionary does not name, and last the target when it is an active
  // field too (read like a predictor, by position or by name). Other names are ignored; a field
  // without a cell is missing.
  std::vector<Field> inputs;
  std::string target;
  // The target's categories in output order, as bnscore writes them in the
  // `prediction` column and the `probability(C)` headers.
  std::vector<std::string> categories;
};

// One cell of a record: missing, a number or a text. A text given for a
// number field is read as bnscore reads a CSV cell; a number given for a
// text field is read as its shortest round-trip text (3 as "3"). NaN is
// missing. A Cell does not own its text.
struct Cell {
  enum class Kind : std::uint8_t { kMissing, kNumber, kText };
  Kind kind = Kind::kMissing;
  double number = 0.0;
  std::string_view text;

  static Cell Missing() { return Cell{}; }
  static Cell Of(double value) { return Cell{Kind::kNumber, value, {}}; }
  static Cell Of(std::string_view value) { return Cell{Kind::kText, 0.0, value}; }
  static Cell Of(const char* value) { return Of(std::string_view(value)); }
};

struct NamedCell {
  std::string_view name;
  Cell cell;
};

// The outcome of one record.
struct Outcome {
  int status = kScored;  // kScored, kMissingPredictor or kNoPositiveScore
  int prediction = -1;   // index into Schema::categories; -1 when none
  // The prediction's probability; NaN unless status is kScored (and always
  // NaN with predictionOnly).
  double confidence = std::numeric_limits<double>::quiet_NaN();
};

// One input column of a batch: numbers or texts, one per row, and an
// optional missing mask (non-zero: the row's cell is missing). A NaN number
// is missing too. The column does not own its data.
struct Column {
  std::string_view name;
  std::span<const double> numbers;
  std::span<const std::string_view> texts;
  std::span<const std::uint8_t> missing;  // empty, or one entry per row

  static Column Numbers(std::string_view name, std::span<const double> values,
                        std::span<const std::uint8_t> missing = {}) {
    return Column{name, values, {}, missing};
  }
  static Column Texts(std::string_view name, std::span<const std::string_view> values,
                      std::span<const std::uint8_t> missing = {}) {
    return Column{name, {}, values, missing};
  }
};

// Caller-owned outputs of a batch of `rows` records. status and prediction
// hold one entry per row; confidence one per row or none; probabilities
// rows × categories (row-major) or none. Entries a record does not give are
// written as NaN (numbers) and -1 (prediction).
struct Outputs {
  std::span<std::int32_t> status;
  std::span<std::int32_t> prediction;
  std::span<double> confidence;
  std::span<double> probabilities;
};

// A byte stream read by ScoreCsv and ScoreEach. Read fills up to `size` bytes and returns
// how many it gave; 0 means the end. It may throw.
class BNSCORE_API ByteSource {
 public:
  virtual ~ByteSource() = default;
  virtual std::size_t Read(char* buffer, std::size_t size) = 0;
};

// A byte stream written by ScoreCsv. It may throw to stop the run.
class BNSCORE_API ByteSink {
 public:
  virtual ~ByteSink() = default;
  virtual void Write(const char* data, std::size_t size) = 0;
};

// A ByteSource over bytes in memory, which must outlive it.
class BNSCORE_API TextSource final : public ByteSource {
 public:
  explicit TextSource(std::string_view text) : rest_(text) {}
  std::size_t Read(char* buffer, std::size_t size) override {
    const std::size_t n = rest_.copy(buffer, size);
    rest_.remove_prefix(n);
    return n;
  }

 private:
  std::string_view rest_;
};

// A ByteSink that appends what it is given to `text`, which must outlive
// it.
class BNSCORE_API StringSink final : public ByteSink {
 public:
  explicit StringSink(std::string& text) : text_(text) {}
  void Write(const char* data, std::size_t size) override { text_.append(data, size); }

 private:
  std::string& text_;
};

// The format of the records read or written by ScoreCsv and ScoreEach.
enum class RecordFormat : std::uint8_t {
  kCsv,        // a header row (or CsvOptions::columns), then one record a row
  kJsonLines,  // one JSON object a record, a line each (docs/formats.md)
};

struct CsvOptions {
  bool keepInput = false;  // copy the input columns in front of the results
  // Scoring threads in all, the calling thread's among them; the output is
  // the same for any number.
  int threads = 1;
  // With threads > 1, the input is scored in blocks of about this size.
  std::size_t blockBytes = std::size_t{1} << 16;
  // The byte between fields, in the input and the output (not a quote, CR
  // or LF).
  char delimiter = ',';
  // Cells of numeric columns that stand for a missing value, besides the
  // empty cell (which always does).
  std::vector<std::string> missingValues = {"NA", "N/A", "NaN", "nan", "null", "NULL"};
  // Reads "inf", "nan" and the like (when not in missingValues) as numbers;
  // else such a cell is an Error naming its line and column.
  bool allowNonfinite = false;
  // Scores even when the header lacks predictor columns (their records get
  // kMissingPredictor); else that is an Error naming the missing columns.
  bool allowMissingColumns = false;
  // A blank line is an Error naming its line; else it is skipped and
  // counted in CsvSummary::blankLines.
  bool rejectBlankLines = false;
  // Adds a last column `reason`: why a record's status is not kScored
  // ("income: missing"); empty for scored records.
  bool reason = false;
  // The names of the input's columns when it has no header row (a
  // streaming partition): then every row is a record. Empty: the first row
  // is the header.
  std::vector<std::string> columns;
  // Writes the output's header row.
  bool outputHeader = true;
  // Adds, per record, the `explain` reasons that most favour the
  // prediction (Model::Explain): columns reason_1 .. reason_K (the field)
  // and logodds_1 .. logodds_K, empty past a record's reasons.
  int explain = 0;
  // When set, how this call treats gaps and unknown values, instead of the
  // model's LoadOptions.
  std::optional<EvidenceOptions> evidence;
  // When set, called on the calling thread as records are written, with
  // how many since the last call (for a progress display).
  std::function<void(long records)> recordsWritten;
  // What is read and what is written. JSON Lines input has no header row:
  // its columns are `columns`, else the first record's keys, else (no
  // record) the model's predictors. JSON Lines, read or written, is
  // scored on `threads` threads as CSV is; the output is the same.
  RecordFormat inputFormat = RecordFormat::kCsv;
  RecordFormat outputFormat = RecordFormat::kCsv;
};

// One reason of an explanation (Model::Explain): a term of the log-odds of
// the prediction over the runner-up, log P(first | e) - log P(second | e),
// and the field it is credited to with its value (several fields joined by
// "+"; "(prior)" and "" for the part no observed field reaches). The terms
// of a record add up to its log-odds.
struct Reason {
  std::string field;
  std::string value;
  double logOdds = 0.0;
};

// A node of the model's network and its categories, in code order.
struct Node {
  std::string name;
  std::vector<std::string> categories;
};

// Records scored by ScoreCsv, by status, in increasing status order, and
// the blank lines skipped.
struct CsvSummary {
  long records = 0;
  std::vector<std::pair<int, long>> statusCounts;
  long blankLines = 0;
};

// One record scored by Model::ScoreEach. The views are valid during the
// OutcomeSink::Take call only.
struct ScoredRecord {
  long line = 0;                            // the record's line in the input
  std::span<const std::string_view> cells;  // its cells, one per input column
  Outcome outcome;
  // One per category (NaN where the record has none); empty with
  // predictionOnly.
  std::span<const double> probabilities;
  // With CsvOptions::reason, why the status is not kScored ("" when it is).
  std::string_view reason;
};

// Takes the records Model::ScoreEach scores, in input order, on the calling
// thread. Either member may throw to stop the run; the exception goes
// through ScoreEach.
class BNSCORE_API OutcomeSink {
 public:
  virtual ~OutcomeSink() = default;
  // The input's columns, once checked, before the first record.
  virtual void Begin(const std::vector<std::string>& columns) { (void)columns; }
  virtual void Take(const ScoredRecord& record) = 0;
};

// A classifier read from a PMML document through the model plug-in.
// Owns the plug-in's objects and releases them in the order their code
// needs. Immutable once loaded; safe to score from many threads at once.
class BNSCORE_API Model {
 public:
  // Reads the model of the file at `path`: PMML, or a network in BIF,
  // XMLBIF 0.3 or DMG PMML (options.target) (Error when the file or the
  // plug-in cannot be opened; ModelError when the document is rejected).
  static std::unique_ptr<Model> Load(const std::string& path, const LoadOptions& options = {});
  // The same from PMML text in memory.
  static std::unique_ptr<Model> LoadText(std::string_view pmml, const LoadOptions& options = {});

  ~Model();
  Model(const Model&) = delete;
  Model& operator=(const Model&) = delete;

  const Schema& GetSchema() const;
  const LoadOptions& GetOptions() const;
  // The plug-in's Display text of the model (what `bnscore display` prints).
  std::string Display() const;

  // Scores one record given as name → cell pairs (fields the model does not
  // read are ignored; a field it reads that is absent is missing; of a name
  // given twice, the first cell counts). Writes
  // the probabilities, one per category, into `probabilities` when it is
  // not empty (NaN unless status is kScored); it must then hold at least
  // one entry per category.
  Outcome ScoreOne(std::span<const NamedCell> record, std::span<double> probabilities = {}) const;

  // Scores `rows` records given as columns (each column holds `rows`
  // cells; columns the model does not read are ignored, fields it reads
  // that have no column are missing) into `outputs`, on up to `threads`
  // threads (one per 1,024 rows at most). Throws Error, before scoring,
  // when a column or an output has the wrong length, a column holds both
  // numbers and texts (or neither), or two columns name the same field.
  void Score(std::span<const Column> columns, std::size_t rows, const Outputs& outputs,
             int threads = 1) const;
  // The same with gaps and unknown values treated as `evidence` says,
  // instead of the LoadOptions.
  void Score(std::span<const Column> columns, std::size_t rows, const Outputs& outputs, int threads,
             const EvidenceOptions& evidence) const;

  // The network's nodes (the target first), and the index of the node of
  // that name (-1 when there is none). Error when the plug-in offers no
  // inference.
  std::vector<Node> GetNodes() const;
  int FindNode(std::string_view name) const;

  // The network's arcs, the target's Markov blanket and the binned fields
  // as the plug-in read them (Error when the plug-in does not describe its
  // network).
  Structure GetStructure() const;
  // The fields the document declares, with their types and categories.
  ModelDescription Describe() const;

  // The posterior of each node nodes[i] (an index into GetNodes()) given
  // the record's usable values, by exact inference: fields without one are
  // summed out (and, with UnknownValues::kMissing, values none of their
  // field's categories). Writes the probabilities of nodes[0]'s categories,
  // then nodes[1]'s, ... into `posteriors` (NaN unless kScored). Returns
  // the status: kMissingPredictor for an unknown value (kStop) or an
  // inference too large to carry out, kNoPositiveScore when the evidence
  // has probability zero.
  int Query(std::span<const NamedCell> record, std::span<const int> nodes,
            std::span<double> posteriors) const;
  // The same with unknown values treated as `evidence` says.
  int Query(std::span<const NamedCell> record, std::span<const int> nodes,
            std::span<double> posteriors, const EvidenceOptions& evidence) const;

  // Reads CSV records (a header row naming the fields, then one record a
  // row) from `input` and writes, per record, its Query of the nodes named
  // in `nodes` to `output`: the header status,probability(N=C)... (one
  // column per category C of each node N), then one row per record
  // (probabilities empty unless status is 0). Error for a name that is no
  // node or a CSV fault ("NAME:LINE: ..."). `evidence`, when set, instead
  // of the LoadOptions. Returns the records read.
  long QueryCsv(ByteSource& input, std::string_view inputName, ByteSink& output,
                const std::vector<std::string>& nodes, char delimiter = ',',
                std::optional<EvidenceOptions> evidence = std::nullopt) const;

  // ScoreOne, and the `k` reasons that most favour the prediction over the
  // runner-up, largest first, into `reasons` (none unless kScored; see
  // Reason, and docs/inference.md for fields summed out).
  Outcome Explain(std::span<const NamedCell> record, std::size_t k, std::vector<Reason>& reasons,
                  std::span<double> probabilities = {}) const;
  // The same with gaps and unknown values treated as `evidence` says.
  Outcome Explain(std::span<const NamedCell> record, std::size_t k, std::vector<Reason>& reasons,
                  std::span<double> probabilities, const EvidenceOptions& evidence) const;

  // Reads CSV records (a header row, then one record a row) from `input`
  // and writes exactly what `bnscore score` writes for them to `output`.
  // `inputName` names the input in CSV faults (Error, "NAME:LINE: ...");
  // rows before a fault are written.
  // With options.inputFormat or outputFormat kJsonLines, JSON Lines is
  // read or written instead (docs/formats.md).
  CsvSummary ScoreCsv(ByteSource& input, std::string_view inputName, ByteSink& output,
                      const CsvOptions& options = {}) const;

  // Reads and scores records as ScoreCsv does, and hands each one's outcome
  // to `sink` instead of writing it (outputFormat, keepInput, outputHeader
  // and explain do not apply). Records before a fault of the input reach
  // the sink before the Error.
  CsvSummary ScoreEach(ByteSource& input, std::string_view inputName, OutcomeSink& sink,
                       const CsvOptions& options = {}) const;

 private:
  struct Impl;
  explicit Model(std::unique_ptr<Impl> impl);
  std::unique_ptr<Impl> impl_;
};

}  // namespace bnscore

#endif  // BNSCORE_BNSCORE_H_
