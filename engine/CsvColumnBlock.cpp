#include "engine/CsvColumnBlock.h"

#include <algorithm>
#include <bit>
#include <charconv>
#include <cstring>
#include <cmath>
#include <limits>

#include "engine/DecimalText.h"
#include "engine/NumberTextCache.h"

namespace bnscore::internal {

namespace {

// "1 field", "3 fields".
std::string Count(std::size_t n, const char* noun) {
  return std::to_string(n) + " " + noun + (n == 1 ? "" : "s");
}

// How a numeric cell reads.
enum class NumberCell { kMissing, kNumber, kNaN };

// The CSV rules for a numeric cell (those FillField applies); throws
// CellError for a number that is not finite and not allowed, naming the
// field.
NumberCell ReadNumber(std::string_view cell, const NumberCellRules& rules, const std::string& name,
                      double& value) {
  switch (ReadNumberCell(cell, rules, value)) {
    case bnscore::NumberCellKind::kMissing:
      return NumberCell::kMissing;
    case bnscore::NumberCellKind::kNotANumber:  // the system-missing value
      return NumberCell::kNumber;
    case bnscore::NumberCellKind::kNumber:
      return value != value ? NumberCell::kNaN : NumberCell::kNumber;
    case bnscore::NumberCellKind::kNotFinite:
      break;
  }
  throw NotFiniteCell(name, cell);
}

}  // namespace

void CheckFieldCount(const CsvReader& reader, std::size_t headerFields) {
  if (reader.GetNumFields() != headerFields) {
    throw CsvError(reader.GetSourceName(), reader.GetLine(),
                   "the row has " + Count(reader.GetNumFields(), "field") + " but the header has " +
                       Count(headerFields, "field"));
  }
}

CsvColumnBlock::CsvColumnBlock(const bnscore::Model& model, const ScoreModel& host,
                               const FieldLayout& layout, const std::vector<std::string>& header,
                               const ScoreOptions& options)
    : score_(
          [&model, evidence = bnscore::EvidenceOptions{options.load.missing, options.load.unknown}](
              std::span<const bnscore::Column> columns, std::size_t rows,
              const bnscore::Outputs& outputs) {
            model.Score(columns, rows, outputs, 1, evidence);
          }),
      layout_(layout),
      headerFields_(header.size()),
      keepInput_(options.keepInput),
      predictionOnly_(options.load.predictionOnly),
      labels_(model.GetSchema().categories),
      rules_(options.missingValues, options.allowNonfinite),
      numericMissingValue_(rules_.HasNumericMissingValue()),
      keepCells_(options.keepInput || options.reason || options.explain > 0),
      columnOf_(layout.MapColumns(header)) {
  for (int position = 0; position < layout.Size(); ++position) {
    const int column = columnOf_[static_cast<std::size_t>(position)];
    if (column < 0) continue;
    Bound b;
    b.position = position;
    b.column = static_cast<std::size_t>(column);
    b.numeric = layout.IsNumeric(position);
    if (b.numeric) b.numbers.resize(kRows);
    b.texts.resize(kRows);
    b.views.resize(kRows);
    b.missing.resize(kRows);
    bound_.push_back(std::move(b));
  }
  columns_.resize(bound_.size());
  if (keepCells_) {
    cells_.resize(kRows * headerFields_);
    numberCells_.resize(kRows * headerFields_);
    rowCells_.resize(headerFields_);
  }
  status_.resize(kRows);
  prediction_.resize(kRows);
  if (!predictionOnly_) {
    confidence_.resize(kRows);
    probabilities_.resize(kRows * labels_.size());
  }
  if (options.reason) reason_ = std::make_unique<StatusReason>(host, layout, columnOf_, options);
  if (options.explain > 0) {
    // The host interface declares the model's scoring calls non-const;
    // they change nothing a concurrent caller sees.
    explain_ = std::make_unique<ExplainColumns>(const_cast<ScoreModel&>(host), options.load,
                                                options.explain);
  }
  if (reason_ || explain_) {
    record_ = std::make_unique<BaseCaseRecord>(layout.GetNames(), !options.load.byName);
    layoutCells_.resize(static_cast<std::size_t>(layout.Size()));
  }
}

CsvColumnBlock::~CsvColumnBlock() = default;

void CsvColumnBlock::GrowArena(std::size_t bytes) {
  arena_.resize(std::max(2 * arena_.size(), arenaUsed_ + bytes + 4096));
}

bool CsvColumnBlock::AddRow(const CsvReader& reader) {
  CheckFieldCount(reader, headerFields_);
  return Add(reader.GetFields(), nullptr, reader.GetLine(), reader.GetSourceName(), false);
}

void CsvColumnBlock::AddRowAsTexts(const CsvReader& reader) {
  CheckFieldCount(reader, headerFields_);
  AddCellsAsTexts(reader.GetFields(), nullptr, reader.GetLine(), reader.GetSourceName());
}

bool CsvColumnBlock::AddCells(const std::vector<std::string_view>& cells, const char* numberCells,
                              long line, const std::string& sourceName) {
  return Add(cells, numberCells, line, sourceName, false);
}

void CsvColumnBlock::AddCellsAsTexts(const std::vector<std::string_view>& cells,
                                     const char* numberCells, long line,
                                     const std::string& sourceName) {
  asTexts_ = true;
  Add(cells, numberCells, line, sourceName, true);
}

bool CsvColumnBlock::Add(const std::vector<std::string_view>& cells, const char* numberCells,
                         long line, const std::string& sourceName, bool numbersAsTexts) {
  const std::size_t row = rows_;
  const std::size_t arenaBefore = arenaUsed_;
  try {
    for (Bound& b : bound_) {
      const std::string_view cell = cells[b.column];
      if (!b.numeric) {
        b.missing[row] = cell.empty() ? 1 : 0;
        b.texts[row] = Copy(cell);
        continue;
      }
      double value = 0.0;
      // Most cells are plain decimals, which ReadNumber would read so too.
      if (!cell.empty() && !numericMissingValue_ && ParsePlainDecimal(cell, value)) {
        b.missing[row] = 0;
        b.numbers[row] = value;
        if (numbersAsTexts) b.texts[row] = Copy(cell);
        continue;
      }
      const NumberCell kind =
          ReadNumber(cell, rules_, layout_.GetNames()[static_cast<std::size_t>(b.position)], value);
      if (kind == NumberCell::kNaN && !numbersAsTexts) {
        arenaUsed_ = arenaBefore;
        return false;
      }
      b.missing[row] = kind == NumberCell::kMissing ? 1 : 0;
      b.numbers[row] = value;
      if (numbersAsTexts) b.texts[row] = Copy(cell);
    }
  } catch (const CellError& e) {
    arenaUsed_ = arenaBefore;
    throw CsvError(sourceName, line, e.what(), e.GetColumn());
  }
  if (keepCells_) {
    for (std::size_t c = 0; c < headerFields_; ++c) {
      cells_[row * headerFields_ + c] = Copy(cells[c]);
      numberCells_[row * headerFields_ + c] = numberCells != nullptr ? numberCells[c] : 0;
    }
  }
  ++rows_;
  return true;
}

void CsvColumnBlock::Score() {
  const std::size_t rows = rows_;
  for (std::size_t i = 0; i < bound_.size(); ++i) {
    Bound& b = bound_[i];
    const std::string_view name = layout_.GetNames()[static_cast<std::size_t>(b.position)];
    const std::span<const std::uint8_t> missing(b.missing.data(), rows);
    if (b.numeric && !asTexts_) {
      columns_[i] = bnscore::Column::Numbers(name, std::span(b.numbers.data(), rows), missing);
      continue;
    }
    for (std::size_t r = 0; r < rows; ++r) b.views[r] = View(b.texts[r]);
    columns_[i] = bnscore::Column::Texts(name, std::span(b.views.data(), rows), missing);
  }
  const std::size_t categories = labels_.size();
  bnscore::Outputs outputs{
      std::span(status_.data(), rows), std::span(prediction_.data(), rows), {}, {}};
  if (!predictionOnly_) {
    outputs.confidence = std::span(confidence_.data(), rows);
    outputs.probabilities = std::span(probabilities_.data(), rows * categories);
  }
  score_(columns_, rows, outputs);
}

void CsvColumnBlock::Clear() {
  rows_ = 0;
  asTexts_ = false;
  arenaUsed_ = 0;
}

void CsvColumnBlock::ScoreAndVisit(const OutcomeVisitor& visit) {
  const std::size_t rows = rows_;
  if (rows == 0) return;
  Score();
  struct Emptied {
    CsvColumnBlock& block;
    ~Emptied() { block.Clear(); }  // also when a visitor throws
  } emptied{*this};
  const std::size_t categories = labels_.size();
  const double none = std::numeric_limits<double>::quiet_NaN();
  for (std::size_t r = 0; r < rows; ++r) {
    const int status = status_[r];
    Count(status);
    if (keepCells_) SetRowCells(r);
    const RowOutcome outcome{
        status,
        prediction_[r],
        predictionOnly_ ? none : confidence_[r],
        predictionOnly_ ? nullptr : probabilities_.data() + r * categories,
        reason_ && status != bnscore::kScored ? Explain(r, status) : std::string_view(),
        keepCells_ ? std::span<const std::string_view>(rowCells_)
                   : std::span<const std::string_view>()};
    visit(r, outcome);
  }
}

void CsvColumnBlock::ScoreAndWrite(CsvWriter& out) {
  const std::size_t rows = rows_;
  if (rows == 0) return;
  Score();
  const std::size_t categories = labels_.size();
  if (json_ != nullptr) {
    WriteJsonLines(rows, out);
    return;
  }
  // The thread's number texts: those of earlier blocks and calls.
  NumberTextCache& numberTexts = NumberTextCache::ForThisThread();
  char code[24];
  for (std::size_t r = 0; r < rows; ++r) {
    if (keepInput_) {
      for (std::size_t c = 0; c < headerFields_; ++c) {
        out.WriteField(View(cells_[r * headerFields_ + c]));
      }
    }
    const int status = status_[r];
    Count(status);
    const auto converted = std::to_chars(code, code + sizeof code, status);
    out.WriteUnquotedField(std::string_view(code, static_cast<std::size_t>(converted.ptr - code)));
    const int prediction = prediction_[r];
    out.WriteField(prediction >= 0 ? std::string_view(labels_[static_cast<std::size_t>(prediction)])
                                   : std::string_view());
    if (!predictionOnly_) {
      // Numbers are NaN unless the record was scored and has them. The
      // confidence is the predicted category's probability, whose text is
      // then made once.
      const double confidence = confidence_[r];
      const std::string_view confidenceText =
          confidence == confidence ? numberTexts.Format(confidence) : std::string_view();
      out.WriteUnquotedField(confidenceText);
      const double* p = probabilities_.data() + r * categories;
      std::size_t same = categories;  // the category whose text is the confidence's
      char held[sizeof(NumberTextBuffer::data)];
      if (prediction >= 0 && !confidenceText.empty() &&
          std::bit_cast<std::uint64_t>(p[prediction]) == std::bit_cast<std::uint64_t>(confidence)) {
        same = static_cast<std::size_t>(prediction);
        std::memcpy(held, confidenceText.data(), confidenceText.size());
      }
      for (std::size_t c = 0; c < categories; ++c) {
        if (c == same) {
          out.WriteUnquotedField(std::string_view(held, confidenceText.size()));
          continue;
        }
        out.WriteUnquotedField(p[c] == p[c] ? numberTexts.Format(p[c]) : std::string_view());
      }
    }
    if (reason_) out.WriteField(status != bnscore::kScored ? Explain(r, status) : "");
    if (explain_) {
      if (status == bnscore::kScored) FillRowRecord(r);
      explain_->WriteRow(status, *record_, out);
    }
    out.EndRow();
  }
  Clear();
}

void CsvColumnBlock::WriteJsonLines(std::size_t rows, CsvWriter& out) {
  const std::size_t categories = labels_.size();
  const double none = std::numeric_limits<double>::quiet_NaN();
  for (std::size_t r = 0; r < rows; ++r) {
    const int status = status_[r];
    Count(status);
    if (keepCells_) SetRowCells(r);
    json_->WriteRow(status, prediction_[r], predictionOnly_ ? none : confidence_[r],
                    predictionOnly_ ? nullptr : probabilities_.data() + r * categories, rowCells_,
                    keepCells_ ? numberCells_.data() + r * headerFields_ : nullptr,
                    reason_ && status != bnscore::kScored ? Explain(r, status) : std::string_view(),
                    out, explain_ ? Explanation(r, status) : std::string_view());
  }
  Clear();
}

void CsvColumnBlock::SetRowCells(std::size_t row) {
  for (std::size_t c = 0; c < headerFields_; ++c)
    rowCells_[c] = View(cells_[row * headerFields_ + c]);
}

void CsvColumnBlock::FillRowRecord(std::size_t row) {
  SetRowCells(row);
  for (std::size_t p = 0; p < layoutCells_.size(); ++p) {
    const int column = columnOf_[p];
    layoutCells_[p] =
        column >= 0 ? rowCells_[static_cast<std::size_t>(column)] : std::string_view();
  }
  // The cells were read once already: filling the record throws nothing.
  FillRecord(layoutCells_, layout_.GetNumeric(), rules_, *record_);
}

std::string_view CsvColumnBlock::Explain(std::size_t row, int status) {
  FillRowRecord(row);
  return reason_->Explain(status, rowCells_, *record_);
}

std::string_view CsvColumnBlock::Explanation(std::size_t row, int status) {
  if (status == bnscore::kScored) FillRowRecord(row);
  return explain_->Json(status, *record_);
}

void CsvColumnBlock::Count(int status) {
  for (auto& entry : counts_) {
    if (entry.first == status) {
      ++entry.second;
      return;
    }
  }
  counts_.emplace_back(status, 1);
}

void CsvColumnBlock::AddStatusCounts(std::map<long, long>& counts) const {
  for (const auto& [status, count] : counts_) counts[status] += count;
}

}  // namespace bnscore::internal
