#include "bayesnet/model/PredictorCoder.h"

#include "bayesnet/encoders/VkBinningEncoder.h"
#include "bayesnet/encoders/VkCatNumericEncoder.h"
#include "bayesnet/encoders/VkCatStringEncoder.h"
#include "host/data/BaseDictVar.h"
#include "host/data/ExactClass.h"
#include "host/data/NumericValue.h"
#include "host/data/TransformationDictionary.h"
#include "host/interfaces/ScoreCaseRecord.h"
#include "host/interfaces/ScoreDictVar.h"

PredictorCoder::PredictorCoder(const BayesNetModel& model) {
  const std::vector<std::string> names = model.GetPredictorVarNames();
  const std::vector<const ScoreDictVar*>& vars = model.GetPredictorVars();
  const std::size_t n = names.size();
  const TransformationDictionary* transformation = model.GetTransformationDictionary();
  predictors_.reserve(n);
  for (std::size_t i = 0; i < n; ++i) {
    Predictor p{nullptr, nullptr, 0, false, nullptr, -1, nullptr, 0, nullptr, nullptr, nullptr};
    if (i < vars.size()) p.var = vars[i];
    p.encoder = model.GetEncoderAt(i);
    if (p.var == nullptr || p.encoder == nullptr) {
      neverComplete_ = true;  // this predictor never gets a code
    } else {
      p.name = &p.var->GetName();
      p.position = p.var->GetIndex();
      p.checkMissing = p.var->GetMeasure() == ScoreDictVar::Continuous;
      p.dictVar = exact_class::As<const BaseDictVar>(p.var);
      if (transformation != nullptr) {
        p.derivedPosition = transformation->GetDerivedPosition(*p.name);
        if (p.derivedPosition >= 0) derivedFields_.push_back(p.derivedPosition);
      }
      p.numCodes = p.encoder->GetNumCategories();
      p.binning = exact_class::As<const VkBinningEncoder>(p.encoder);
      p.numbers = exact_class::As<const VkCatNumericEncoder>(p.encoder);
      p.strings = exact_class::As<const VkCatStringEncoder>(p.encoder);
    }
    predictors_.push_back(p);
  }
}

void PredictorCoder::UsePositions() {
  for (Predictor& p : predictors_) {
    if (p.var != nullptr) p.position = p.var->GetIndex();
  }
}

PredictorCoder::Encoding PredictorCoder::Encode(const ScoreCaseRecord* record,
                                                const ScoreCaseRecord* derived, int* codes) const {
  if (neverComplete_) return Encoding::Missing;
  // The host's own records, read by position, are read cell by cell.
  const bool indexed = record->IsIndexed();
  const BaseCaseRecord* cells = indexed ? exact_class::As<const BaseCaseRecord>(record) : nullptr;
  return cells != nullptr ? EncodeFrom<true>(record, cells, indexed, derived, codes)
                          : EncodeFrom<false>(record, nullptr, indexed, derived, codes);
}

template <bool kCells>
PredictorCoder::Encoding PredictorCoder::EncodeFrom(const ScoreCaseRecord* record,
                                                    const BaseCaseRecord* cells, bool indexed,
                                                    const ScoreCaseRecord* derived,
                                                    int* codes) const {
  const int numCells = kCells ? cells->GetNumFields() : 0;
  bool outside = false;
  BaseCaseRecord::Cell own;  // a value not in a cell, described
  for (std::size_t i = 0; i < predictors_.size(); ++i) {
    const Predictor& p = predictors_[i];
    // The common case inline: a value in the record's cells.
    const BaseCaseRecord::Cell* cell = nullptr;
    if (kCells && p.position >= 0 && p.position < numCells) cell = &cells->GetCell(p.position);
    if (cell == nullptr || cell->value == nullptr) {
      cell = Locate(p, kCells ? nullptr : record, indexed, derived, own);
    }
    if (cell == nullptr) return Encoding::Missing;
    const int code = CodeOf(p, *cell);
    if (code < 0) return Encoding::Missing;
    if (code >= p.numCodes) outside = true;
    codes[i] = code;
  }
  return outside ? Encoding::OutsidePlan : Encoding::Complete;
}

const BaseCaseRecord::Cell* PredictorCoder::Locate(const Predictor& p,
                                                   const ScoreCaseRecord* record, bool indexed,
                                                   const ScoreCaseRecord* derived,
                                                   BaseCaseRecord::Cell& own) {
  if (record != nullptr) {
    const ScoreValue* value = indexed ? record->GetValue(p.position) : record->GetValue(*p.name);
    if (value != nullptr) {
      own = exact_class::CellOf(value);
      return &own;
    }
  }
  if (derived == nullptr) return nullptr;
  // The model's derived values come in the host's own records, whose
  // fields are the transformation dictionary's, in order.
  const BaseCaseRecord* derivedCells =
      p.derivedPosition >= 0 ? exact_class::As<const BaseCaseRecord>(derived) : nullptr;
  if (derivedCells != nullptr) {
    if (p.derivedPosition < derivedCells->GetNumFields()) {
      const BaseCaseRecord::Cell& cell = derivedCells->GetCell(p.derivedPosition);
      return cell.value != nullptr ? &cell : nullptr;
    }
  }
  const ScoreValue* value = derived->GetValue(*p.name);
  if (value == nullptr) return nullptr;
  own = exact_class::CellOf(value);
  return &own;
}

bool PredictorCoder::MissingFor(const Predictor& p, const BaseCaseRecord::Cell& cell) {
  // IsMissingValue, inlined for a BaseDictVar that declares no missing
  // values (then only the system-missing value is missing, and a
  // StringValue never is).
  if (!p.checkMissing) return false;
  if (p.dictVar == nullptr || p.dictVar->HasMissingValues())
    return p.var->IsMissingValue(cell.value);
  if (cell.kind == BaseCaseRecord::kNumber) return cell.number == NumericValue::kSystemMissing;
  if (cell.kind == BaseCaseRecord::kOther) return cell.value->IsSystemMissingValue();
  return false;
}

int PredictorCoder::CodeOf(const Predictor& p, const BaseCaseRecord::Cell& cell) {
  if (MissingFor(p, cell)) return -1;
  // The encoders' GetCode, without the virtual calls where the classes of
  // both the encoder and the value are known.
  if (cell.kind == BaseCaseRecord::kNumber) {
    if (p.binning != nullptr) return p.binning->CodeOfNumber(cell.number);
    if (p.numbers != nullptr) return p.numbers->CodeOfNumber(cell.number);
  } else if (cell.kind == BaseCaseRecord::kText && p.strings != nullptr) {
    return p.strings->CodeOfText(cell.text);
  }
  return p.encoder->GetCode(cell.value);
}

const BaseCaseRecord::Cell* PredictorCoder::CellOf(const Predictor& p,
                                                   const ScoreCaseRecord* record,
                                                   const ScoreCaseRecord* derived,
                                                   BaseCaseRecord::Cell& own) const {
  // As Encode reads a record: the host's own records by their cells.
  const bool indexed = record->IsIndexed();
  const BaseCaseRecord* cells = indexed ? exact_class::As<const BaseCaseRecord>(record) : nullptr;
  const BaseCaseRecord::Cell* cell = nullptr;
  if (cells != nullptr && p.position >= 0 && p.position < cells->GetNumFields()) {
    cell = &cells->GetCell(p.position);
  }
  if (cell == nullptr || cell->value == nullptr) {
    cell = Locate(p, cells != nullptr ? nullptr : record, indexed, derived, own);
  }
  return cell;
}

void PredictorCoder::EncodeEvidence(const ScoreCaseRecord* record, const ScoreCaseRecord* derived,
                                    int* codes) const {
  BaseCaseRecord::Cell own;
  for (std::size_t i = 0; i < predictors_.size(); ++i) {
    const Predictor& p = predictors_[i];
    codes[i] = kNoValue;
    if (p.var == nullptr || p.encoder == nullptr) continue;
    const BaseCaseRecord::Cell* cell = CellOf(p, record, derived, own);
    if (cell == nullptr || MissingFor(p, *cell)) continue;
    const int code = CodeOf(p, *cell);
    codes[i] = code < 0 || code >= p.numCodes ? kUnknownValue : code;
  }
}

std::string PredictorCoder::ValueText(const ScoreCaseRecord* record, const ScoreCaseRecord* derived,
                                      int i) const {
  const Predictor& p = predictors_[static_cast<std::size_t>(i)];
  if (p.var == nullptr) return std::string();
  BaseCaseRecord::Cell own;
  const BaseCaseRecord::Cell* cell = CellOf(p, record, derived, own);
  if (cell == nullptr || cell->value == nullptr) return std::string();
  return cell->value->GetString();
}
