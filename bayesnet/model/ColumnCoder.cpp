#include "bayesnet/model/ColumnCoder.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>

#include "bayesnet/encoders/CountBelow.h"
#include "bayesnet/encoders/CutIndex.h"
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

  // Every bin's containment is decided by comparisons with its margins, so
  // it is the same for all numbers strictly between two neighbouring
  // margins: each region's choice is that of one number in it.
  std::vector<double>& margins = derived.margins;
  for (const DiscretizeBin& bin : derived.bins) {
    if (bin.hasLeftMargin && bin.leftMargin == bin.leftMargin) margins.push_back(bin.leftMargin);
    if (bin.hasRightMargin && bin.rightMargin == bin.rightMargin) {
      margins.push_back(bin.rightMargin);
    }
  }
  std::sort(margins.begin(), margins.end());
  margins.erase(
      std::unique(margins.begin(), margins.end(), [](double a, double b) { return a == b; }),
      margins.end());
  auto choiceOf = [&](double x) {
    for (std::size_t bin = 0; bin < derived.bins.size(); ++bin) {
      if (derived.bins[bin].Contains(x)) return derived.binCodes[bin];
    }
    return derived.defaultCode;
  };
  constexpr double kInf = std::numeric_limits<double>::infinity();
  const std::size_t m = margins.size();
  for (std::size_t j = 0; j <= m; ++j) {
    // A number of region 2j, or none (between neighbouring doubles, or
    // below -infinity or above infinity). Below the first margin and above
    // the last the infinities count as inside.
    double inside = 0.0;
    bool empty = false;
    if (m != 0 && j == 0) {
      inside = std::nextafter(margins[0], -kInf);
      empty = margins[0] == -kInf;
    } else if (m != 0) {
      inside = std::nextafter(margins[j - 1], kInf);
      empty = margins[j - 1] == kInf || (j < m && !(inside < margins[j]));
    }
    derived.regionCodes.push_back(empty ? derived.defaultCode : choiceOf(inside));
    if (j < m) derived.regionCodes.push_back(choiceOf(margins[j]));
  }
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
  return NumberCode(derived, input->numbers[row]);
}

int ColumnCoder::NumberCode(const DerivedInput& derived, double x) {
  if (x != x || x == NumericValue::kSystemMissing) return derived.missingCode;
  const std::size_t m = derived.margins.size();
  const std::size_t below = CountBelow(derived.margins.data(), m, x);
  const std::size_t on = below < m && x == derived.margins[below] ? 1 : 0;
  return derived.regionCodes[2 * below + on];
}

namespace {

std::uint64_t BitsOf(double x) {
  std::uint64_t bits;
  std::memcpy(&bits, &x, sizeof bits);
  return bits;
}

// Whether any of the `count` bytes at `bytes` is not zero.
bool AnyNonZero(const unsigned char* bytes, std::size_t count) {
  std::uint64_t any = 0;
  std::size_t r = 0;
  for (; r + 8 <= count; r += 8) {
    std::uint64_t word;
    std::memcpy(&word, bytes + r, sizeof word);
    any |= word;
  }
  for (; r < count; ++r) any |= bytes[r];
  return any != 0;
}

}  // namespace

void ColumnCoder::EncodeBlock(const ColumnSource* bound, std::size_t first, std::size_t count,
                              int* codes, std::size_t stride, Encoding* encodings,
                              unsigned char* bad) const {
  const std::size_t n = static_cast<std::size_t>(predictors_.NumPredictors());
  std::fill(bad, bad + count, 0);
  // Column by column, each kind of column with a loop of its own: every
  // cell's code (negative: missing) goes to its row, and the loop tells
  // whether some code may lie outside 0 .. numCodes-1 (`check`); only then
  // are the rows of such codes marked, and sorted out afterwards.
  for (std::size_t i = 0; i < n; ++i) {
    const ColumnSource& source = bound[i];
    const ColumnScoring::Column* column = source.column;
    const PredictorCoder::Predictor& p = predictors_.At(static_cast<int>(i));
    const unsigned limit = static_cast<unsigned>(std::max(p.numCodes, 0));
    int* out = codes + i * stride;
    bool check = true;
    if (column == nullptr) {
      if (source.derived == nullptr) {
        std::fill(out, out + count, PredictorCoder::kNoValue);
      } else {
        // As DerivedCode, a column at a time.
        const DerivedInput& derived = *source.derived;
        const ColumnScoring::Column* input = source.input;
        if (input == nullptr) {
          std::fill(out, out + count, derived.missingCode);
        } else {
          const double* numbers = input->numbers + first;
          for (std::size_t r = 0; r < count; ++r) out[r] = NumberCode(derived, numbers[r]);
          if (input->missing != nullptr && AnyNonZero(input->missing + first, count)) {
            const unsigned char* missing = input->missing + first;
            for (std::size_t r = 0; r < count; ++r) {
              if (missing[r] != 0) out[r] = derived.missingCode;
            }
          }
        }
      }
    } else if (column->numbers != nullptr) {
      const double* numbers = column->numbers + first;
      // NaN is no value; the system-missing value is missing when checked
      // (compared by its bits, which only it has).
      const std::uint64_t missingBits = BitsOf(NumericValue::kSystemMissing);
      const bool checkMissing = p.checkMissing;
      auto missing = [&](double x) { return x != x || (checkMissing && BitsOf(x) == missingBits); };
      unsigned largest = 0;  // the largest code seen, as unsigned
      auto put = [&](std::size_t r, int code) {
        out[r] = code;
        largest = std::max(largest, static_cast<unsigned>(code));
      };
      const CutIndex* cuts = p.binning != nullptr ? p.binning->Counted() : nullptr;
      const VkCatNumericEncoder::SortedKeys keys =
          p.numbers != nullptr ? p.numbers->Sorted() : VkCatNumericEncoder::SortedKeys{};
      if (cuts != nullptr) {
        const CutIndex::View index = cuts->Viewed();
        for (std::size_t r = 0; r < count; ++r) {
          const double x = numbers[r];
          put(r, missing(x) ? PredictorCoder::kNoValue : static_cast<int>(index.Count(x)));
        }
      } else if (p.binning != nullptr) {
        const VkBinningEncoder& binning = *p.binning;
        for (std::size_t r = 0; r < count; ++r) {
          const double x = numbers[r];
          put(r, missing(x) ? PredictorCoder::kNoValue : binning.CodeOfNumber(x));
        }
      } else if (keys.keys != nullptr) {
        for (std::size_t r = 0; r < count; ++r) {
          const double x = numbers[r];
          put(r, missing(x) ? PredictorCoder::kNoValue : keys.Code(x));
        }
      } else {
        const VkCatNumericEncoder& encoder = *p.numbers;
        for (std::size_t r = 0; r < count; ++r) {
          const double x = numbers[r];
          put(r, missing(x) ? PredictorCoder::kNoValue : encoder.CodeOfNumber(x));
        }
      }
      check = largest >= limit;
    } else {
      const std::string_view* texts = column->texts + first;
      const VkCatStringEncoder& strings = *p.strings;
      int any = 0;  // every code or'ed: negative when one is
      switch (strings.UniformLength()) {
        case 1:
          any = EncodeUniform<1>(strings, texts, count, out);
          break;
        case 2:
          any = EncodeUniform<2>(strings, texts, count, out);
          break;
        case 3:
          any = EncodeUniform<3>(strings, texts, count, out);
          break;
        case 4:
          any = EncodeUniform<4>(strings, texts, count, out);
          break;
        case 5:
          any = EncodeUniform<5>(strings, texts, count, out);
          break;
        case 6:
          any = EncodeUniform<6>(strings, texts, count, out);
          break;
        case 7:
          any = EncodeUniform<7>(strings, texts, count, out);
          break;
        case 8:
          any = EncodeUniform<8>(strings, texts, count, out);
          break;
        default:
          for (std::size_t r = 0; r < count; ++r) {
            // The empty text is no value.
            out[r] = texts[r].empty() ? PredictorCoder::kNoValue : strings.CodeOfText(texts[r]);
            any |= out[r];
          }
          break;
      }
      // The encoder's codes are below its number of categories.
      check = any < 0 || strings.GetNumCategories() > p.numCodes;
    }
    if (column != nullptr && column->missing != nullptr &&
        AnyNonZero(column->missing + first, count)) {
      const unsigned char* missing = column->missing + first;
      for (std::size_t r = 0; r < count; ++r) {
        if (missing[r] != 0) out[r] = PredictorCoder::kNoValue;
      }
      check = true;
    }
    if (check) {
      for (std::size_t r = 0; r < count; ++r) {
        bad[r] |= static_cast<unsigned>(out[r]) >= limit ? 1 : 0;
      }
    }
  }
  // A row with a missing code is Missing, whatever else it has; else a row
  // with a code past the tables is OutsidePlan.
  for (std::size_t r = 0; r < count; ++r) {
    encodings[r] = Encoding::Complete;
    if (bad[r] == 0) continue;
    bool missing = false;
    for (std::size_t i = 0; i < n; ++i) {
      missing = missing || codes[i * stride + r] < 0;
      codes[i * stride + r] = 0;
    }
    encodings[r] = missing ? Encoding::Missing : Encoding::OutsidePlan;
  }
}

template <std::size_t kLength>
int ColumnCoder::EncodeUniform(const VkCatStringEncoder& strings, const std::string_view* texts,
                               std::size_t count, int* out) {
  // The table read once, not after every store through `out`.
  const VkCatStringEncoder::UniformTable table = strings.Uniform();
  int any = 0;
#pragma GCC unroll 8
  for (std::size_t r = 0; r < count; ++r) {
    const std::string_view text = texts[r];
    // A text of another length is no category, the empty one no value.
    const int code = text.size() == kLength ? table.Code<kLength>(text.data())
                                            : (text.empty() ? PredictorCoder::kNoValue : -1);
    out[r] = code;
    any |= code;
  }
  return any;
}
