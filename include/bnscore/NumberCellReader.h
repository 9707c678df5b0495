#ifndef BNSCORE_NUMBERCELLREADER_H_
#define BNSCORE_NUMBERCELLREADER_H_

// Reading the text of a number field's cell exactly as `bnscore score`
// reads a CSV cell, for front ends that get texts from elsewhere (a
// DataFrame of strings) and must treat them the same way.

#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "bnscore/bnscore.h"

namespace bnscore {

// What a number field's cell holds.
enum class NumberCellKind {
  kMissing,     // empty, or one of the missing values
  kNumber,      // a finite number
  kNotFinite,   // "inf", "nan" and the like: bnscore refuses it unless
                // --allow-nonfinite (then it is a number)
  kNotANumber,  // other text: the field gets no usable value (status 90029)
};

// Reads cells with a fixed list of missing values (those of
// CsvOptions::missingValues by default). Immutable; allocates nothing per
// cell; may be used from many threads at once.
class BNSCORE_API NumberCellReader {
 public:
  explicit NumberCellReader(
      const std::vector<std::string>& missingValues = CsvOptions().missingValues);
  ~NumberCellReader();
  NumberCellReader(const NumberCellReader&) = delete;
  NumberCellReader& operator=(const NumberCellReader&) = delete;

  // The kind of `cell`; `value` is set for kNumber and kNotFinite, and for
  // kNotANumber to the system-missing value -1.7976931348623155e308, which
  // gives the field no usable value (so a column of numbers can carry it);
  // it is left alone for kMissing.
  NumberCellKind Read(std::string_view cell, double& value) const;

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

}  // namespace bnscore

#endif  // BNSCORE_NUMBERCELLREADER_H_
