#include "bayesnet/model/ColumnCoder.h"

#include <algorithm>

#include "bayesnet/encoders/VkBinningEncoder.h"
#include "bayesnet/encoders/VkCatNumericEncoder.h"
#include "bayesnet/encoders/VkCatStringEncoder.h"
#include "host/data/BaseCaseRecord.h"
#include "host/data/BaseDictVar.h"
#include "host/data/ExactClass.h"
#include "host/data/NumericValue.h"

ColumnCoder::ColumnCoder(const BayesNetModel& model, const PredictorCoder& predictors)
    : predictors_(predictors) {
  const TransformationDictionary* transformation = model.GetTransformationDictionary();
  const int n = predictors.NumPredictors();
  derivedInputs_.reserve(static_cast<std::size_t>(n));
  for (int i = 0; i < n; ++i) {
    const PredictorCoder::Predictor& p = predictors.At(i);
    derivedInputs_.push_back(p.derivedPosition >= 0
                                 ? CompileDerived(p, *transformation, model.GetDictionary())
                                 : DerivedInput());
  }
}

ColumnCoder::DerivedInput ColumnCoder::CompileDerived(
    const PredictorCoder::Predictor& p, const TransformationDictionary& transformation,
    const ScoreDictionary* dataDictionary) {
  DerivedInput derived;
  const Discretization* d = transformation.GetDiscretization(p.derivedPosition);
  if (d == nullptr) return derived;
  // The input is missing when it has no value or holds the system-missing
  // value; a variable that declares missing values of its own asks the
  // value itself, which only GetScore has.
  const ScoreDictVar* inputVar =
      dataDictionary != nullptr ? dataDictionary->GetVariable(d->field) : nullptr;
  if (inputVar != nullptr) {
    const BaseDictVar* plain = exact_class::As<const BaseDictVar>(inputVar);
    if (plain == nullptr || plain->HasMissingValues()) return derived;
  }
  derived.field = d->field;
  derived.bins = d->bins;
  // Each choice's value, made as the derived-values record holds it, and
  // coded as EncodeEvidence codes a derived cell.
  BaseCaseRecord value(std::vector<std::string>{*p.name}, true);
  auto codeOf = [&](int choice) {
    transformation.SetOutcomeValue(p.derivedPosition, choice, value, 0);
    const BaseCaseRecord::Cell& cell = value.GetCell(0);
    if (cell.value == nullptr || PredictorCoder::MissingFor(p, cell)) {
      return PredictorCoder::kNoValue;
    }
    const int code = PredictorCoder::CodeOf(p, cell);
    return code < 0 ? PredictorCoder::kUnknownValue : code;
  };
  for (std::size_t bin = 0; bin < d->bins.size(); ++bin) {
    derived.binCodes.push_back(codeOf(static_cast<int>(bin)));
  }
  derived.defaultCode = codeOf(TransformationDictionary::kDefaultChoice);
  derived.missingCode = codeOf(TransformationDictionary::kMissingChoice);
  derived.compiled = true;
  return derived;
}

bool ColumnCoder::Bind(const ColumnScoring::Column* columns, int numColumns, bool derivedValues,
                       std::vector<ColumnSource>& bound) const {
  if (predictors_.NeverComplete()) return false;
  const int n = predictors_.NumPredictors();
  bound.assign(static_cast<std::size_t>(n), ColumnSource());
  for (int i = 0; i < n; ++i) {
    const PredictorCoder::Predictor& p = predictors_.At(i);
    ColumnSource& source = bound[static_cast<std::size_t>(i)];
    const bool derived = derivedValues && p.derivedPosition >= 0;
    const ColumnScoring::Column* column =
        p.position >= 0 && p.position < numColumns ? &columns[p.position] : nullptr;
    if (column != nullptr && column->numbers == nullptr && column->texts == nullptr) {
      column = nullptr;  // missing in every row
    }
    if (column != nullptr) {
      // A derived value would stand in for the record's missing cells.
      if (derived) return false;
      // A missing-value test beyond the system-missing value asks the value.
      const bool plainMissing =
          !p.checkMissing || (p.dictVar != nullptr && !p.dictVar->HasMissingValues());
      if (column->numbers != nullptr) {
        if (!plainMissing || (p.binning == nullptr && p.numbers == nullptr)) return false;
      } else if (!plainMissing || p.strings == nullptr) {
        return false;
      }
      source.column = column;
    } else if (derived) {
      const DerivedInput& input = derivedInputs_[static_cast<std::size_t>(i)];
      if (!input.compiled) return false;
      source.derived = &input;
      // The input is found by name, the first field of that name.
      for (int c = 0; c < numColumns; ++c) {
        if (columns[c].name != input.field) continue;
        if (columns[c].texts != nullptr) return false;
        if (columns[c].numbers != nullptr) source.input = &columns[c];
        break;
      }
    }
  }
  return true;
}

void ColumnCoder::EncodeRows(const ColumnSource* bound, std::size_t first, std::size_t count,
                             int* codes, Encoding* encodings, bool evidence) const {
  if (evidence) {
    EncodeRowsAs<true>(bound, first, count, codes, encodings);
  } else {
    EncodeRowsAs<false>(bound, first, count, codes, encodings);
  }
}

template <bool kEvidence>
void ColumnCoder::EncodeRowsAs(const ColumnSource* bound, std::size_t first, std::size_t count,
                               int* codes, Encoding* encodings) const {
  const std::size_t n = static_cast<std::size_t>(predictors_.NumPredictors());
  std::fill(encodings, encodings + count, Encoding::Complete);
  // Column by column, so that each column is read in order: a row's codes
  // do not depend on each other, and a row with one missing code is
  // Missing whichever predictor has it (without kEvidence its other codes
  // are not needed, and not made). Each kind of column has a loop of its
  // own.
  for (std::size_t i = 0; i < n; ++i) {
    const ColumnSource& source = bound[i];
    const ColumnScoring::Column* column = source.column;
    const PredictorCoder::Predictor& p = predictors_.At(static_cast<int>(i));
    const int numCodes = p.numCodes;
    // `code`: a category code, or kNoValue or kUnknownValue (without
    // kEvidence, any negative number).
    auto put = [&](std::size_t r, int code) {
      if constexpr (kEvidence) {
        if (code < 0) {
          encodings[r] = Encoding::Missing;
          codes[r * n + i] = code;
        } else if (code >= numCodes) {
          codes[r * n + i] = PredictorCoder::kUnknownValue;
          if (encodings[r] != Encoding::Missing) encodings[r] = Encoding::OutsidePlan;
        } else {
          codes[r * n + i] = code;
        }
      } else {
        if (code < 0) {
          encodings[r] = Encoding::Missing;
        } else {
          codes[r * n + i] = code;
          if (code >= numCodes) encodings[r] = Encoding::OutsidePlan;
        }
      }
    };
    // An encoder's code: -1 when the value has none.
    auto coded = [](int code) {
      return kEvidence && code < 0 ? PredictorCoder::kUnknownValue : code;
    };
    const unsigned char* missing =
        column != nullptr && column->missing != nullptr ? column->missing + first : nullptr;
    if (column == nullptr) {
      for (std::size_t r = 0; r < count; ++r) {
        if (!kEvidence && encodings[r] == Encoding::Missing) continue;
        put(r, source.derived != nullptr ? DerivedCode(*source.derived, source.input, first + r)
                                         : PredictorCoder::kNoValue);
      }
    } else if (column->numbers != nullptr) {
      const double* numbers = column->numbers + first;
      for (std::size_t r = 0; r < count; ++r) {
        if (!kEvidence && encodings[r] == Encoding::Missing) continue;
        const double number = numbers[r];
        // NaN is no value; the system-missing value is missing when checked.
        if ((missing != nullptr && missing[r] != 0) || number != number ||
            (p.checkMissing && number == NumericValue::kSystemMissing)) {
          put(r, PredictorCoder::kNoValue);
        } else {
          put(r, coded(p.binning != nullptr ? p.binning->CodeOfNumber(number)
                                            : p.numbers->CodeOfNumber(number)));
        }
      }
    } else {
      const std::string_view* texts = column->texts + first;
      for (std::size_t r = 0; r < count; ++r) {
        if (!kEvidence && encodings[r] == Encoding::Missing) continue;
        const std::string_view text = texts[r];
        // The empty text is no value.
        put(r, (missing != nullptr && missing[r] != 0) || text.empty()
                   ? PredictorCoder::kNoValue
                   : coded(p.strings->CodeOfText(text)));
      }
    }
  }
}

int ColumnCoder::DerivedCode(const DerivedInput& derived, const ColumnScoring::Column* input,
                             std::size_t row) {
  // As the transformation dictionary chooses: a missing input (no value,
  // the system-missing value) takes mapMissingTo, else the first bin that
  // contains it, else the default value.
  if (input == nullptr || (input->missing != nullptr && input->missing[row] != 0)) {
    return derived.missingCode;
  }
  const double x = input->numbers[row];
  if (x != x || x == NumericValue::kSystemMissing) return derived.missingCode;
  for (std::size_t bin = 0; bin < derived.bins.size(); ++bin) {
    if (derived.bins[bin].Contains(x)) return derived.binCodes[bin];
  }
  return derived.defaultCode;
}
