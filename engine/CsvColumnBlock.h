#ifndef BNSCORE_ENGINE_CSVCOLUMNBLOCK_H_
#define BNSCORE_ENGINE_CSVCOLUMNBLOCK_H_

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <functional>
#include <map>
#include <span>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "bnscore/bnscore.h"
#include "engine/CsvReader.h"
#include "engine/CsvWriter.h"
#include "engine/ExplainColumns.h"
#include "engine/FieldLayout.h"
#include "engine/JsonLinesWriter.h"
#include "engine/RecordFiller.h"
#include "engine/ScoreOptions.h"
#include "engine/StatusReason.h"
#include "host/data/BaseCaseRecord.h"
#include "host/interfaces/ScoreModel.h"

namespace bnscore::internal {

// CSV rows gathered into columns in the model's field order, scored
// together through Model::Score and written as output rows: what one
// thread of `bnscore score` does with its rows.
//
// AddRow reads a row's cells by the CSV rules: a numeric field's cell
// becomes a number (an empty cell or a missing-value token: missing; text
// that is no number: the system-missing value; a number that is not finite
// and not allowed: CellError), any other field's cell a text (empty:
// missing). Texts (and, with --keep-input or --reason, every cell) are
// copied into the block, so the reader may move on. A cell that reads as
// NaN (allowed non-finite) is a value, not a missing cell, which only the
// record path tells apart: such a row is refused by AddRow and added alone
// with AddRowAsTexts, whose numeric cells go to the model as texts.
//
// ScoreAndWrite scores the rows held and writes one output row each (the
// input cells first with keepInput; the reason, worked out only for rows
// whose status is not 0, with reason; the explanation columns last with
// explain), or one JSON Lines object each
// (SetJsonLines), then empties the block. Rows may come from a CSV reader
// (AddRow) or any other record source (AddCells: JSON Lines).
//
// Borrows the model, the host model, the layout and the header, which must
// outlive it. One object per thread; allocates nothing per row once its
// arrays have reached their size.
class CsvColumnBlock {
 public:
  static constexpr std::size_t kRows = 256;

  CsvColumnBlock(const bnscore::Model& model, const ScoreModel& host, const FieldLayout& layout,
                 const std::vector<std::string>& header, const ScoreOptions& options);
  ~CsvColumnBlock();

  CsvColumnBlock(const CsvColumnBlock&) = delete;
  CsvColumnBlock& operator=(const CsvColumnBlock&) = delete;

  std::size_t Rows() const { return rows_; }
  bool Full() const { return rows_ == kRows; }

  // Adds the reader's current row. Returns false, adding nothing, for a row
  // that only AddRowAsTexts takes. Throws CsvError at the row's line when
  // its field count is not the header's or a cell is refused; the rows
  // added before stay.
  bool AddRow(const CsvReader& reader);
  // Adds the reader's current row with its numeric cells as texts; the
  // block must be empty. Throws as AddRow.
  void AddRowAsTexts(const CsvReader& reader);
  // AddRow and AddRowAsTexts for a record of another source: `cells` has
  // one cell per header column; `numberCells` (null: none) marks the cells
  // that hold JSON numbers; faults name `sourceName` and `line`.
  bool AddCells(const std::vector<std::string_view>& cells, const char* numberCells, long line,
                const std::string& sourceName);
  void AddCellsAsTexts(const std::vector<std::string_view>& cells, const char* numberCells,
                       long line, const std::string& sourceName);

  // Has ScoreAndWrite write JSON Lines through `writer` (borrowed) instead
  // of CSV rows.
  void SetJsonLines(JsonLinesWriter* writer) { json_ = writer; }

  // Scores the rows held, writes their output rows to `out` and empties
  // the block.
  void ScoreAndWrite(CsvWriter& out);

  // One row's outcome, as ScoreAndVisit hands it over: probabilities one
  // per category (NaN where the record has none), or null with
  // predictionOnly; with reason, why the status is not 0 ("" when it is);
  // with keepInput or reason, the row's cells (else none). Views valid
  // during the visit only.
  struct RowOutcome {
    int status;
    int prediction;  // -1: none
    double confidence;
    const double* probabilities;
    std::string_view reason;
    std::span<const std::string_view> cells;
  };
  // Scores the rows held and hands each row's outcome to `visit` (with the
  // row's index in the block) instead of writing it, then empties the
  // block (also when `visit` throws).
  using OutcomeVisitor = std::function<void(std::size_t row, const RowOutcome& outcome)>;
  void ScoreAndVisit(const OutcomeVisitor& visit);

  // Adds the records scored so far, by status code, to `counts`.
  void AddStatusCounts(std::map<long, long>& counts) const;

  // What scores a block: the model's Score on this thread unless replaced
  // (the bench's I/O floor fills the outputs without scoring).
  using ScoreFunction = std::function<void(std::span<const bnscore::Column> columns,
                                           std::size_t rows, const bnscore::Outputs& outputs)>;
  void SetScoreFunction(ScoreFunction score) { score_ = std::move(score); }

 private:
  // Where a copied cell lies in arena_.
  struct Span {
    std::uint32_t offset;
    std::uint32_t size;
  };
  // A field of the layout that has a CSV column.
  struct Bound {
    int position;        // in the layout
    std::size_t column;  // in the header
    bool numeric;
    std::vector<double> numbers;          // numeric fields
    std::vector<Span> texts;              // text fields, and numbers as texts
    std::vector<std::string_view> views;  // texts, made when scored
    std::vector<std::uint8_t> missing;
  };

  bool Add(const std::vector<std::string_view>& cells, const char* numberCells, long line,
           const std::string& sourceName, bool numbersAsTexts);
  // Copies a cell into the arena (inline: it runs once per text cell).
  // Categories are mostly short: up to 16 bytes are copied as two
  // overlapping pieces of fixed size, which reads no byte outside the cell.
  Span Copy(std::string_view cell) {
    const std::size_t n = cell.size();
    if (n > arena_.size() - arenaUsed_) GrowArena(n);
    const Span span{static_cast<std::uint32_t>(arenaUsed_), static_cast<std::uint32_t>(n)};
    char* const to = arena_.data() + arenaUsed_;
    const char* const from = cell.data();
    if (n >= 8 && n <= 16) {
      std::memcpy(to, from, 8);
      std::memcpy(to + n - 8, from + n - 8, 8);
    } else if (n >= 4 && n < 8) {
      std::memcpy(to, from, 4);
      std::memcpy(to + n - 4, from + n - 4, 4);
    } else if (n > 0 && n < 4) {
      to[0] = from[0];
      to[n / 2] = from[n / 2];
      to[n - 1] = from[n - 1];
    } else if (n > 16) {
      std::memcpy(to, from, n);
    }
    arenaUsed_ += n;
    return span;
  }
  void GrowArena(std::size_t bytes);
  std::string_view View(Span span) const {
    return std::string_view(arena_.data() + span.offset, span.size);
  }
  void Count(int status);
  // Scores the rows held into the output arrays.
  void Score();
  // Empties the block.
  void Clear();
  void WriteJsonLines(std::size_t rows, CsvWriter& out);
  // Sets rowCells_ to row `row`'s cells.
  void SetRowCells(std::size_t row);
  // Fills record_ from row `row`'s cells (rowCells_ too).
  void FillRowRecord(std::size_t row);
  // The reason for row `row`'s status (not 0).
  std::string_view Explain(std::size_t row, int status);
  // Row `row`'s explanation member for JSON Lines (ExplainColumns::Json).
  std::string_view Explanation(std::size_t row, int status);

  ScoreFunction score_;
  const FieldLayout& layout_;
  std::size_t headerFields_;
  std::string sourceName_;
  bool keepInput_;
  bool predictionOnly_;
  const std::vector<std::string>& labels_;
  NumberCellRules rules_;
  bool numericMissingValue_;  // a missing-value token reads as a number
  std::vector<Bound> bound_;
  bool keepCells_;                 // every cell is copied (keepInput or reason)
  std::vector<Span> cells_;        // rows × header fields, when keepCells_
  std::vector<char> numberCells_;  // the same: 1 for a JSON number
  JsonLinesWriter* json_ = nullptr;
  std::vector<char> arena_;  // the copied cells: the first arenaUsed_ bytes
  std::size_t arenaUsed_ = 0;
  std::size_t rows_ = 0;
  bool asTexts_ = false;  // the row held has its numbers as texts

  std::vector<bnscore::Column> columns_;
  std::vector<std::int32_t> status_;
  std::vector<std::int32_t> prediction_;
  std::vector<double> confidence_;
  std::vector<double> probabilities_;

  // The row's cells (with keepCells_), and for reasons and explanations
  // only the status reason, the explanation columns and a record of the
  // layout filled on demand.
  std::unique_ptr<StatusReason> reason_;
  std::unique_ptr<ExplainColumns> explain_;
  std::unique_ptr<BaseCaseRecord> record_;
  std::vector<std::string_view> rowCells_;
  std::vector<std::string_view> layoutCells_;
  std::vector<int> columnOf_;

  std::vector<std::pair<long, long>> counts_;  // (status, records), few codes
};

// Throws CsvError at the reader's line when its row's field count differs
// from the header's: "the row has 2 fields but the header has 4 fields".
void CheckFieldCount(const CsvReader& reader, std::size_t headerFields);

}  // namespace bnscore::internal

#endif  // BNSCORE_ENGINE_CSVCOLUMNBLOCK_H_
