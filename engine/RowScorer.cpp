#include "engine/RowScorer.h"

RowScorer::RowScorer(ScoreModel& model, const std::vector<std::string>& header,
                     const ScoreOptions& options)
    : model_(model),
      derivedInRecord_(options.load.derivedInRecord),
      keepInput_(options.keepInput),
      layout_(model, options.load.derivedInRecord, options.load.byName),
      columnOf_(layout_.MapColumns(header)),
      layoutCells_(columnOf_.size()),
      filler_(layout_.GetNames(), model, options.load.derivedInRecord, !options.load.byName,
              NumberCellRules(options.missingValues, options.allowNonfinite)),
      columns_(model, options.load.predictionOnly) {
  if (options.reason) reason_ = std::make_unique<StatusReason>(model, layout_, columnOf_, options);
}

RowScorer::~RowScorer() = default;

MCScore::MCStatus RowScorer::Score(const std::vector<std::string_view>& cells) {
  for (std::size_t i = 0; i < columnOf_.size(); ++i) {
    layoutCells_[i] = columnOf_[i] >= 0 ? cells[static_cast<std::size_t>(columnOf_[i])]
                                        : std::string_view();
  }
  filler_.Fill(layoutCells_);
  const MCScore::MCStatus status = result_.Score(model_, &filler_.GetRecord(), derivedInRecord_);
  Count(status.GetCode());
  return status;
}

void RowScorer::ScoreRow(const std::vector<std::string_view>& cells, CsvWriter& out) {
  MCScore::MCStatus status = Score(cells);
  if (keepInput_) {
    for (std::string_view cell : cells) out.WriteField(cell);
  }
  columns_.WriteRow(status, result_.Get(), out);
  if (reason_) out.WriteField(reason_->Explain(status.GetCode(), cells, filler_.GetRecord()));
  out.EndRow();
}

void RowScorer::Count(long status) {
  for (auto& entry : counts_) {
    if (entry.first == status) {
      ++entry.second;
      return;
    }
  }
  counts_.emplace_back(status, 1);
}

void RowScorer::AddStatusCounts(std::map<long, long>& counts) const {
  for (const auto& [status, count] : counts_) counts[status] += count;
}
