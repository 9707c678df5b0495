#ifndef BNSCORE_ENGINE_ROWSCORER_H_
#define BNSCORE_ENGINE_ROWSCORER_H_

#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "engine/CsvReader.h"
#include "engine/CsvWriter.h"
#include "engine/FieldLayout.h"
#include "engine/OwnedResult.h"
#include "engine/RecordFiller.h"
#include "engine/ResultColumns.h"
#include "engine/ScoreOptions.h"
#include "engine/StatusReason.h"
#include "host/interfaces/ScoreModel.h"
#include "host/interfaces/ScoreResult.h"

// What one thread needs to score CSV rows with a model: its own case
// record, its own result object and its own output formatting. Scores a
// row and writes its output row (the input cells first with --keep-input,
// the reason last with --reason), and counts the records by status.
//
// The record has the model's FieldLayout, whatever the CSV columns: each
// field takes the cell of the first column of its name (none: missing), so
// that every record of a model has the layout its positions were set for.
//
// The model must outlive this object: the result object, which the model's
// plug-in made, is deleted by the destructor. Several RowScorers may score
// with one model at once. Scoring a row allocates nothing once the
// record and the output have reached their working size.
class RowScorer {
 public:
  RowScorer(ScoreModel& model, const std::vector<std::string>& header, const ScoreOptions& options);
  ~RowScorer();

  RowScorer(const RowScorer&) = delete;
  RowScorer& operator=(const RowScorer&) = delete;

  // Scores the record of `cells` (one cell per header field) and writes its
  // output row to `out`. Throws CellError for a cell that gives no value.
  void ScoreRow(const std::vector<std::string_view>& cells, CsvWriter& out);

  // Scores the record of `cells` and counts it, writing nothing; the result
  // is GetResult's until the next call. Throws CellError.
  MCScore::MCStatus Score(const std::vector<std::string_view>& cells);
  // Why the record of `cells` got `status` ("" for 0, and when reasons
  // were not asked for); valid until the next call.
  std::string_view Explain(long status, const std::vector<std::string_view>& cells) {
    return reason_ ? reason_->Explain(status, cells, filler_.GetRecord()) : std::string_view();
  }
  // What the last GetScore left (null when it gave none).
  const ScoreResult* GetResult() const { return result_.Get(); }

  // Adds the number of records scored so far, by status code, to `counts`.
  void AddStatusCounts(std::map<long, long>& counts) const;

 private:
  void Count(long status);

  ScoreModel& model_;
  bool derivedInRecord_;
  bool keepInput_;
  FieldLayout layout_;
  std::vector<int> columnOf_;                 // per layout field: its CSV column, or -1
  std::vector<std::string_view> layoutCells_;  // the row's cells in layout order
  RecordFiller filler_;
  ResultColumns columns_;
  std::unique_ptr<StatusReason> reason_;  // null unless reasons are asked for
  OwnedResult result_;
  // (status code, records); few distinct codes, so searched in order.
  std::vector<std::pair<long, long>> counts_;
};

#endif  // BNSCORE_ENGINE_ROWSCORER_H_
