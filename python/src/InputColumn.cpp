#include "python/src/InputColumn.h"

#include <charconv>
#include <limits>
#include <utility>

#include "python/src/PyCell.h"

namespace py = pybind11;

namespace {

template <typename T>
void Widen(const char* base, py::ssize_t stride, std::size_t count, double* out) {
  for (std::size_t i = 0; i < count; ++i) {
    out[i] = static_cast<double>(
        *reinterpret_cast<const T*>(base + static_cast<py::ssize_t>(i) * stride));
  }
}

// Converts `count` numbers of a 1-d numeric array from `base` on into
// doubles. Returns false for a dtype that is not a number.
bool WidenNumbers(const py::array& array, const char* base, std::size_t count, double* out) {
  const py::ssize_t stride = array.strides(0);
  const char kind = array.dtype().kind();
  const py::ssize_t size = array.itemsize();
  if (kind == 'f' && size == 8)
    Widen<double>(base, stride, count, out);
  else if (kind == 'f' && size == 4)
    Widen<float>(base, stride, count, out);
  else if (kind == 'i' && size == 8)
    Widen<std::int64_t>(base, stride, count, out);
  else if (kind == 'i' && size == 4)
    Widen<std::int32_t>(base, stride, count, out);
  else if (kind == 'i' && size == 2)
    Widen<std::int16_t>(base, stride, count, out);
  else if (kind == 'i' && size == 1)
    Widen<std::int8_t>(base, stride, count, out);
  else if (kind == 'u' && size == 8)
    Widen<std::uint64_t>(base, stride, count, out);
  else if (kind == 'u' && size == 4)
    Widen<std::uint32_t>(base, stride, count, out);
  else if (kind == 'u' && size == 2)
    Widen<std::uint16_t>(base, stride, count, out);
  else if ((kind == 'u' || kind == 'b') && size == 1)
    Widen<std::uint8_t>(base, stride, count, out);
  else
    return false;
  return true;
}

bool IsNumberDtype(const py::array& array) {
  double ignored;
  return WidenNumbers(array, nullptr, 0, &ignored);
}

template <typename T>
std::int64_t CodeAt(const char* base, py::ssize_t stride, std::size_t row) {
  return static_cast<std::int64_t>(
      *reinterpret_cast<const T*>(base + static_cast<py::ssize_t>(row) * stride));
}

std::string DtypeText(const py::array& array) { return py::str(array.dtype()).cast<std::string>(); }

// An int's digits for a message: all of a short one, else the first and
// the count.
std::string IntDigits(PyObject* cell) {
  std::string digits = py::str(cell).cast<std::string>();
  if (digits.size() <= 24) return digits;
  return digits.substr(0, 12) + "... (" + std::to_string(digits.size()) + " digits)";
}

}  // namespace

InputColumn::InputColumn(std::string name, py::array values, py::object mask, py::object categories,
                         const bnscore::NumberCellReader* numbers, bool allowNonfinite)
    : name_(std::move(name)),
      numberReader_(numbers),
      allowNonfinite_(numbers == nullptr || allowNonfinite),
      source_(Source::kNumbers),
      values_(std::move(values)),
      rows_(0),
      hasMask_(!mask.is_none()) {
  if (values_.ndim() != 1) {
    throw py::type_error("column '" + name_ + "' is not one-dimensional");
  }
  rows_ = static_cast<std::size_t>(values_.shape(0));
  const char kind = values_.dtype().kind();
  if (!categories.is_none()) {
    if (kind != 'i' || hasMask_) {
      throw py::type_error("column '" + name_ + "': categorical codes must be integers");
    }
    source_ = Source::kCategorical;
    categories_ = std::make_unique<InputColumn>(name_, py::array::ensure(categories), py::none(),
                                                py::none(), numbers, true);
    categoryCells_ = categories_->Slice(0, categories_->GetRows());
  } else if (kind == 'O') {
    source_ = Source::kObjects;
  } else if (kind == 'S') {
    source_ = Source::kFixedBytes;
  } else if (!IsNumberDtype(values_)) {
    throw py::type_error("column '" + name_ + "' has dtype " + DtypeText(values_) +
                         ", which holds neither numbers nor text");
  }
  if (hasMask_) {
    mask_ = py::array::ensure(mask);
    if (source_ != Source::kNumbers || !mask_ || mask_.ndim() != 1 || mask_.dtype().kind() != 'b' ||
        mask_.itemsize() != 1 || static_cast<std::size_t>(mask_.shape(0)) != rows_) {
      throw py::type_error("column '" + name_ +
                           "': a missing mask goes with numbers, one bool per row");
    }
  }
}

std::size_t InputColumn::GetBufferBytesPerRow() const {
  switch (source_) {
    case Source::kNumbers: {
      const bool contiguousDoubles =
          values_.dtype().kind() == 'f' && values_.itemsize() == 8 && values_.strides(0) == 8;
      const bool contiguousMask = !hasMask_ || mask_.strides(0) == 1;
      return (contiguousDoubles ? 0 : sizeof(double)) + (contiguousMask ? 0 : 1);
    }
    case Source::kObjects:
      return sizeof(double) + sizeof(std::string_view);
    case Source::kFixedBytes:
      return sizeof(std::string_view);
    case Source::kCategorical:
      return sizeof(std::string_view);
  }
  return 0;
}

bnscore::Column InputColumn::Slice(std::size_t begin, std::size_t count) {
  switch (source_) {
    case Source::kNumbers:
      return SliceNumbers(begin, count);
    case Source::kObjects:
      return SliceObjects(begin, count);
    case Source::kFixedBytes:
      return SliceFixedBytes(begin, count);
    case Source::kCategorical:
      return SliceCategorical(begin, count);
  }
  return {};
}

void InputColumn::Reserve(std::size_t count) {
  if (source_ != Source::kFixedBytes && numbers_.size() < count) numbers_.resize(count);
  if (source_ == Source::kNumbers && missing_.size() < count) missing_.resize(count);
  if (source_ != Source::kNumbers && texts_.size() < count) texts_.resize(count);
}

bnscore::Column InputColumn::SliceNumbers(std::size_t begin, std::size_t count) {
  const char* base = static_cast<const char*>(values_.data()) +
                     static_cast<py::ssize_t>(begin) * values_.strides(0);
  std::span<const double> numbers;
  if (values_.dtype().kind() == 'f' && values_.itemsize() == 8 && values_.strides(0) == 8) {
    numbers = std::span<const double>(reinterpret_cast<const double*>(base), count);
  } else {
    Reserve(count);
    WidenNumbers(values_, base, count, numbers_.data());
    numbers = std::span<const double>(numbers_.data(), count);
  }
  const bool mayHoldInfinity = values_.dtype().kind() == 'f';
  std::span<const std::uint8_t> missing;
  if (hasMask_) {
    const py::ssize_t stride = mask_.strides(0);
    const char* maskBase =
        static_cast<const char*>(mask_.data()) + static_cast<py::ssize_t>(begin) * stride;
    if (stride == 1) {
      missing =
          std::span<const std::uint8_t>(reinterpret_cast<const std::uint8_t*>(maskBase), count);
    } else {
      Reserve(count);
      for (std::size_t i = 0; i < count; ++i)
        missing_[i] = maskBase[static_cast<py::ssize_t>(i) * stride] != 0;
      missing = std::span<const std::uint8_t>(missing_.data(), count);
    }
  }
  if (!allowNonfinite_ && mayHoldInfinity) {
    for (std::size_t i = 0; i < count; ++i) {
      if (missing.empty() || missing[i] == 0) CheckFinite(numbers[i], begin + i);
    }
  }
  return bnscore::Column::Numbers(name_, numbers, missing);
}

bnscore::Column InputColumn::SliceObjects(std::size_t begin, std::size_t count) {
  Reserve(count);
  const py::ssize_t stride = values_.strides(0);
  const char* base =
      static_cast<const char*>(values_.data()) + static_cast<py::ssize_t>(begin) * stride;
  // Each cell sets the entry the column will be read from: its text when
  // the slice holds any text, else its number (NaN when missing). A number
  // field's texts that read as numbers or as missing count as numbers.
  bool anyNumber = false;
  bool anyText = false;
  for (std::size_t i = 0; i < count; ++i) {
    PyObject* cell =
        *reinterpret_cast<PyObject* const*>(base + static_cast<py::ssize_t>(i) * stride);
    if (PyUnicode_CheckExact(cell) && PyUnicode_IS_COMPACT_ASCII(cell)) {
      // Text columns hold ASCII str objects almost always: read in place.
      texts_[i] = std::string_view(static_cast<const char*>(PyUnicode_DATA(cell)),
                                   static_cast<std::size_t>(PyUnicode_GET_LENGTH(cell)));
      anyText |= numberReader_ == nullptr || ReadNumberText(texts_[i], i, begin + i);
      continue;
    }
    double number = std::numeric_limits<double>::quiet_NaN();
    std::string_view text;
    pycell::Kind kind;
    try {
      kind = pycell::Read(cell, number, text);
    } catch (py::error_already_set& e) {
      if (!e.matches(PyExc_OverflowError)) throw;
      throw py::value_error("column '" + name_ + "', row " + std::to_string(begin + i) +
                            ": the int " + IntDigits(cell) +
                            " is too large for a number (a float)");
    }
    if (kind == pycell::Kind::kUnsupported) {
      throw py::type_error("column '" + name_ + "', row " + std::to_string(begin + i) + ": a " +
                           pycell::TypeName(cell) + " is neither text nor a number");
    }
    numbers_[i] = kind == pycell::Kind::kNumber ? number : std::numeric_limits<double>::quiet_NaN();
    texts_[i] = text;  // empty unless kText
    if (kind == pycell::Kind::kNumber) {
      CheckFinite(number, begin + i);
      anyNumber = true;
    } else if (kind == pycell::Kind::kText) {
      anyText |= numberReader_ == nullptr || ReadNumberText(text, i, begin + i);
    }
  }
  if (!anyText)
    return bnscore::Column::Numbers(name_, std::span<const double>(numbers_.data(), count));
  if (anyNumber) FormatNumbersAsText(base, stride, count);
  return bnscore::Column::Texts(name_, std::span<const std::string_view>(texts_.data(), count));
}

bool InputColumn::ReadNumberText(std::string_view text, std::size_t i, std::size_t row) {
  double number = std::numeric_limits<double>::quiet_NaN();
  switch (numberReader_->Read(text, number)) {
    case bnscore::NumberCellKind::kMissing:
      numbers_[i] = std::numeric_limits<double>::quiet_NaN();
      texts_[i] = std::string_view();  // an empty text is missing too
      return false;
    case bnscore::NumberCellKind::kNotFinite:
      if (!allowNonfinite_) RefuseNotFinite(text, row);
      [[fallthrough]];
    case bnscore::NumberCellKind::kNumber:
      numbers_[i] = number;  // the text, when kept, reads as the same number
      return false;
    case bnscore::NumberCellKind::kNotANumber:
      break;
  }
  return true;
}

void InputColumn::RefuseNotFinite(double value, std::size_t row) const {
  RefuseNotFinite(value < 0 ? "-inf" : "inf", row);
}

void InputColumn::RefuseNotFinite(std::string_view text, std::size_t row) const {
  throw py::value_error("column '" + name_ + "', row " + std::to_string(row) + ": \"" +
                        std::string(text) +
                        "\" is not a finite number (pass allow_nonfinite=True)");
}

bnscore::Column InputColumn::SliceFixedBytes(std::size_t begin, std::size_t count) {
  Reserve(count);
  const py::ssize_t stride = values_.strides(0);
  const auto width = static_cast<std::size_t>(values_.itemsize());
  const char* base =
      static_cast<const char*>(values_.data()) + static_cast<py::ssize_t>(begin) * stride;
  for (std::size_t i = 0; i < count; ++i) {
    const char* text = base + static_cast<py::ssize_t>(i) * stride;
    std::size_t size = width;
    while (size > 0 && text[size - 1] == '\0') --size;
    texts_[i] = std::string_view(text, size);
  }
  return bnscore::Column::Texts(name_, std::span<const std::string_view>(texts_.data(), count));
}

void InputColumn::FormatNumbersAsText(const char* base, py::ssize_t stride, std::size_t count) {
  // Shortest text that reads back to the same double: a number field reads
  // the same value from it, a text field the text the engine gives a number.
  constexpr std::size_t kMaxText = 32;
  formatted_.resize(count * kMaxText);
  for (std::size_t i = 0; i < count; ++i) {
    PyObject* cell =
        *reinterpret_cast<PyObject* const*>(base + static_cast<py::ssize_t>(i) * stride);
    double number = 0.0;
    std::string_view text;
    if (pycell::Read(cell, number, text) != pycell::Kind::kNumber) continue;
    char* first = formatted_.data() + i * kMaxText;
    const std::to_chars_result result = std::to_chars(first, first + kMaxText, number);
    texts_[i] = std::string_view(first, static_cast<std::size_t>(result.ptr - first));
  }
}

bnscore::Column InputColumn::SliceCategorical(std::size_t begin, std::size_t count) {
  Reserve(count);
  const py::ssize_t stride = values_.strides(0);
  const char* base =
      static_cast<const char*>(values_.data()) + static_cast<py::ssize_t>(begin) * stride;
  const py::ssize_t size = values_.itemsize();
  const auto categoryCount = static_cast<std::int64_t>(categories_->GetRows());
  const bool numbers = categoryCells_.texts.empty();
  const bool categoryMissing = !categoryCells_.missing.empty();
  for (std::size_t i = 0; i < count; ++i) {
    std::int64_t code;
    if (size == 1)
      code = CodeAt<std::int8_t>(base, stride, i);
    else if (size == 2)
      code = CodeAt<std::int16_t>(base, stride, i);
    else if (size == 4)
      code = CodeAt<std::int32_t>(base, stride, i);
    else
      code = CodeAt<std::int64_t>(base, stride, i);
    const bool absent =
        code < 0 || code >= categoryCount ||
        (categoryMissing && categoryCells_.missing[static_cast<std::size_t>(code)] != 0);
    if (numbers) {
      numbers_[i] = absent ? std::numeric_limits<double>::quiet_NaN()
                           : categoryCells_.numbers[static_cast<std::size_t>(code)];
      CheckFinite(numbers_[i], begin + i);
    } else {
      texts_[i] =
          absent ? std::string_view() : categoryCells_.texts[static_cast<std::size_t>(code)];
    }
  }
  if (numbers)
    return bnscore::Column::Numbers(name_, std::span<const double>(numbers_.data(), count));
  return bnscore::Column::Texts(name_, std::span<const std::string_view>(texts_.data(), count));
}
