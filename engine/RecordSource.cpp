#include "engine/RecordSource.h"

#include "engine/CsvScoring.h"
#include "engine/FieldLayout.h"
#include "engine/CsvColumnBlock.h"

namespace bnscore::internal {

RecordSource::RecordSource(bnscore::ByteSource& source, const std::string& sourceName,
                           const ScoreModel& model, const FieldLayout& layout,
                           const ScoreOptions& options) {
  if (options.inputFormat == bnscore::RecordFormat::kJsonLines) {
    json_ = std::make_unique<JsonLinesReader>(source, sourceName);
    json_->SetRejectBlankLines(options.rejectBlankLines);
    if (!options.columns.empty()) json_->SetColumns(options.columns);
    pending_ = json_->ReadRow();
    columns_ = pending_ || !options.columns.empty()
                   ? json_->GetColumns()
                   : FieldLayout(model, false, false).GetPredictorNames();
    CheckPredictorColumns(columns_, layout, options,
                          sourceName + ":" + std::to_string(json_->GetLine()));
  } else {
    csv_ = std::make_unique<CsvReader>(source, sourceName);
    csv_->SetDelimiter(options.delimiter);
    csv_->SetRejectBlankLines(options.rejectBlankLines);
    columns_ = ReadHeader(*csv_, options);
    CheckPredictorColumns(columns_, layout, options, sourceName);
  }
}

RecordSource::~RecordSource() = default;

bool RecordSource::Next() {
  if (json_) {
    if (pending_) {
      pending_ = false;
      return true;
    }
    return json_->ReadRow();
  }
  if (!csv_->ReadRow()) return false;
  CheckFieldCount(*csv_, columns_.size());
  return true;
}

}  // namespace bnscore::internal
