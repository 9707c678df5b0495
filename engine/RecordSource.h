#ifndef BNSCORE_ENGINE_RECORDSOURCE_H_
#define BNSCORE_ENGINE_RECORDSOURCE_H_

#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "engine/CsvReader.h"
#include "engine/FieldLayout.h"
#include "engine/JsonLinesReader.h"
#include "engine/ScoreOptions.h"
#include "host/interfaces/ScoreModel.h"

namespace bnscore::internal {

// The records of one input, read one at a time, as CSV or as JSON Lines
// (options.inputFormat), with their columns known before the first one:
// for CSV the header row or options.columns; for JSON Lines options.columns
// or the keys of the first record (read at construction), or the model's
// predictors when the input holds no record. The columns must name every
// predictor of `layout` (the model's) unless options.allowMissingColumns
// (EngineError otherwise).
//
// Next throws CsvError for a faulty record (a CSV row whose field count is
// not the header's included), naming the line. The source stays the
// caller's and must outlive this.
class RecordSource {
 public:
  RecordSource(bnscore::ByteSource& source, const std::string& sourceName, const ScoreModel& model,
               const FieldLayout& layout, const ScoreOptions& options);
  ~RecordSource();

  RecordSource(const RecordSource&) = delete;
  RecordSource& operator=(const RecordSource&) = delete;

  const std::vector<std::string>& GetColumns() const { return columns_; }

  // Reads the next record; false at the end of the input.
  bool Next();
  // The current record's cells, one per column, valid until the next Next.
  const std::vector<std::string_view>& GetFields() const {
    return json_ ? json_->GetFields() : csv_->GetFields();
  }
  // Per cell, 1 when it holds a JSON number; null for CSV.
  const std::vector<char>* GetNumberCells() const {
    return json_ ? &json_->GetNumberCells() : nullptr;
  }
  long GetLine() const { return json_ ? json_->GetLine() : csv_->GetLine(); }
  long GetBlankLines() const { return json_ ? json_->GetBlankLines() : csv_->GetBlankLines(); }

 private:
  std::unique_ptr<CsvReader> csv_;
  std::unique_ptr<JsonLinesReader> json_;
  std::vector<std::string> columns_;
  bool pending_ = false;  // JSON Lines: the first record, read with the columns
};

}  // namespace bnscore::internal

#endif  // BNSCORE_ENGINE_RECORDSOURCE_H_
