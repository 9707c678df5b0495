#ifndef BNSCORE_PYTHON_INPUTCOLUMN_H_
#define BNSCORE_PYTHON_INPUTCOLUMN_H_

#include <pybind11/numpy.h>
#include <pybind11/pybind11.h>

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "include/bnscore/NumberCellReader.h"
#include "include/bnscore/bnscore.h"

// One input column of a batch as the Python package hands it over, seen by
// the engine a slice of rows at a time. The values are one of:
//   - a numpy array of numbers (float, int, unsigned or bool), with an
//     optional numpy bool array that marks missing rows;
//   - a numpy array of objects: str or bytes (text), int, float or numpy
//     scalars (numbers), None, NaN, pd.NA or NaT (missing);
//   - a numpy array of fixed-width bytes (dtype S), read in place (trailing
//     NUL bytes are not part of a text);
//   - categorical codes (a numpy integer array, -1 for missing) with the
//     categories as a second array of either kind.
// Slice() returns the array itself when it already is contiguous float64,
// otherwise cells converted into buffers that this object owns and reuses
// (a missing cell is then NaN or an empty text, as an empty CSV cell);
// a slice is valid until the next call. Text views point into the array's
// str objects. The column holds references to its arrays; all its members
// must be called with the GIL held.
//
// A column of a number field reads its cells as `bnscore score` reads CSV
// cells: a text is read by the NumberCellReader given (missing values,
// numbers), and a number that is not finite (as a number or as a text such
// as "inf") is refused, naming the column and the row, unless
// `allowNonfinite`. The reader must outlive the column.
class InputColumn {
 public:
  // Throws pybind11::type_error when an array has a dtype that holds
  // neither numbers nor text, or a mask is not one bool per row of numbers.
  // `numbers`: the reader of a number field's texts; null for a text field.
  InputColumn(std::string name, pybind11::array values, pybind11::object mask,
              pybind11::object categories, const bnscore::NumberCellReader* numbers = nullptr,
              bool allowNonfinite = true);
  InputColumn(const InputColumn&) = delete;
  InputColumn& operator=(const InputColumn&) = delete;

  const std::string& GetName() const { return name_; }
  std::size_t GetRows() const { return rows_; }
  // Bytes of this column's own buffers per row of a slice (0: no copy).
  std::size_t GetBufferBytesPerRow() const;

  // The rows [begin, begin + count) as an engine column. Throws
  // pybind11::type_error, naming the column and the row, for an object
  // cell that is neither text, a number nor missing, and
  // pybind11::value_error for a number refused as not finite or an int too
  // large for a double.
  bnscore::Column Slice(std::size_t begin, std::size_t count);

 private:
  enum class Source { kNumbers, kObjects, kFixedBytes, kCategorical };

  bnscore::Column SliceNumbers(std::size_t begin, std::size_t count);
  bnscore::Column SliceObjects(std::size_t begin, std::size_t count);
  bnscore::Column SliceFixedBytes(std::size_t begin, std::size_t count);
  bnscore::Column SliceCategorical(std::size_t begin, std::size_t count);
  // The numbers of a slice of objects that also holds text, as text.
  void FormatNumbersAsText(const char* base, pybind11::ssize_t stride, std::size_t count);
  void Reserve(std::size_t count);
  // Throws when `value` at `row` is a number refused as not finite.
  void CheckFinite(double value, std::size_t row) const {
    if (!allowNonfinite_ && std::isinf(value)) RefuseNotFinite(value, row);
  }
  [[noreturn]] void RefuseNotFinite(double value, std::size_t row) const;
  [[noreturn]] void RefuseNotFinite(std::string_view text, std::size_t row) const;
  // The text cell `text` of a number field at slice entry `i`: true when it
  // is a text the field does not read as a number.
  bool ReadNumberText(std::string_view text, std::size_t i, std::size_t row);

  std::string name_;
  const bnscore::NumberCellReader* numberReader_;  // null: a text field
  bool allowNonfinite_;
  Source source_;
  pybind11::array values_;  // the numbers, the objects or the codes
  pybind11::array mask_;    // bool per row, or none
  std::size_t rows_;
  bool hasMask_;
  std::unique_ptr<InputColumn> categories_;  // with Source::kCategorical
  bnscore::Column categoryCells_;            // all of categories_, sliced once

  std::vector<double> numbers_;
  std::vector<std::string_view> texts_;
  std::vector<std::uint8_t> missing_;  // a strided mask, made contiguous
  std::string formatted_;
};

#endif  // BNSCORE_PYTHON_INPUTCOLUMN_H_
