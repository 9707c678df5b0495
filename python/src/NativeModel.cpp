#include "python/src/NativeModel.h"

#include <algorithm>
#include <cmath>
#include <string>
#include <string_view>
#include <vector>

#include "python/src/InputColumn.h"
#include "python/src/PyCell.h"

namespace py = pybind11;

namespace {

// Records are scored a slice of rows at a time, and between slices a Ctrl-C
// is noticed. Columns that are not used in place are converted into
// buffers of about kBufferBudget bytes in all: on one thread small enough
// to be still in the cache when the engine reads them (2 MB was the
// fastest of 256 KB, 2 MB and 8 MB on wide216), on more threads large
// enough for every thread to get a good share of rows.
constexpr std::size_t kBufferBudget = std::size_t{2} << 20;
constexpr std::size_t kParallelBufferBudget = std::size_t{8} << 20;
constexpr std::size_t kMinSliceRows = 64;
constexpr std::size_t kMaxSliceRows = std::size_t{1} << 18;

[[noreturn]] void RefuseNotFinite(std::string_view field, std::string_view text) {
  throw py::value_error("field '" + std::string(field) + "': \"" + std::string(text) +
                        "\" is not a finite number (pass allow_nonfinite=True)");
}

}  // namespace

NativeModel::NativeModel(const py::bytes& pmml, bool byName, bool derivedInRecord,
                         bool predictionOnly, const std::string& target,
                         std::size_t maxDocumentBytes, std::size_t maxNodes,
                         const std::string& missing, const std::string& unknown) {
  bnscore::LoadOptions options;
  options.target = target;
  options.maxDocumentBytes = maxDocumentBytes;
  options.maxNodes = maxNodes;
  if (missing != "stop" && missing != "marginalize") {
    throw py::value_error("missing must be 'stop' or 'marginalize', not '" + missing + "'");
  }
  if (unknown != "stop" && unknown != "missing") {
    throw py::value_error("unknown must be 'stop' or 'missing', not '" + unknown + "'");
  }
  if (missing == "marginalize") options.missing = bnscore::MissingValues::kMarginalize;
  if (unknown == "missing") options.unknown = bnscore::UnknownValues::kMissing;
  options.byName = byName;
  options.derivedInRecord = derivedInRecord;
  options.predictionOnly = predictionOnly;
  const std::string_view text(PyBytes_AS_STRING(pmml.ptr()),
                              static_cast<std::size_t>(PyBytes_GET_SIZE(pmml.ptr())));
  {
    py::gil_scoped_release release;  // `pmml` is kept alive by the caller
    model_ = bnscore::Model::LoadText(text, options);
  }
  for (const bnscore::Field& field : model_->GetSchema().inputs) {
    if (field.kind == bnscore::FieldKind::kNumber) numberFields_.insert(field.name);
  }
}

py::tuple NativeModel::GetSchema() const {
  const bnscore::Schema& schema = model_->GetSchema();
  py::list inputs;
  for (const bnscore::Field& field : schema.inputs) {
    inputs.append(
        py::make_tuple(field.name, field.kind == bnscore::FieldKind::kNumber ? "number" : "text"));
  }
  py::list categories;
  for (const std::string& category : schema.categories) categories.append(category);
  return py::make_tuple(inputs, schema.target, categories);
}

std::string NativeModel::Display() const { return model_->Display(); }

std::vector<bnscore::NamedCell> NativeModel::RecordCells(const py::dict& record,
                                                         bool allowNonfinite) const {
  std::vector<bnscore::NamedCell> cells;
  cells.reserve(record.size());
  for (const auto& item : record) {
    if (!PyUnicode_Check(item.first.ptr())) continue;
    Py_ssize_t size = 0;
    const char* name = PyUnicode_AsUTF8AndSize(item.first.ptr(), &size);
    if (name == nullptr) throw py::error_already_set();
    bnscore::NamedCell cell{std::string_view(name, static_cast<std::size_t>(size)), {}};
    double number = 0.0;
    std::string_view text;
    const bool numberField = numberFields_.count(std::string(cell.name)) != 0;
    switch (pycell::Read(item.second.ptr(), number, text)) {
      case pycell::Kind::kNumber:
        if (numberField && !allowNonfinite && std::isinf(number)) {
          RefuseNotFinite(cell.name, number < 0 ? "-inf" : "inf");
        }
        cell.cell = bnscore::Cell::Of(number);
        break;
      case pycell::Kind::kText:
        if (numberField) {
          // As bnscore reads a CSV cell: missing values, and no infinity.
          const bnscore::NumberCellKind kind = numberCells_.Read(text, number);
          if (kind == bnscore::NumberCellKind::kMissing) break;
          if (kind == bnscore::NumberCellKind::kNotFinite && !allowNonfinite)
            RefuseNotFinite(cell.name, text);
        }
        cell.cell = bnscore::Cell::Of(text);
        break;
      case pycell::Kind::kMissing:
        break;
      case pycell::Kind::kUnsupported:
        throw py::type_error("field '" + std::string(cell.name) + "': a " +
                             pycell::TypeName(item.second.ptr()) + " is neither text nor a number");
    }
    cells.push_back(cell);
  }
  return cells;
}

py::tuple NativeModel::ScoreOne(const py::dict& record, bool allowNonfinite) const {
  const std::vector<bnscore::NamedCell> cells = RecordCells(record, allowNonfinite);
  std::vector<double> probabilities(model_->GetSchema().categories.size());
  bnscore::Outcome outcome;
  {
    py::gil_scoped_release release;  // the views point into `record`, which the caller holds
    outcome = model_->ScoreOne(cells, probabilities);
  }
  py::list probabilityList;
  for (double p : probabilities) probabilityList.append(p);
  return py::make_tuple(outcome.status, outcome.prediction, outcome.confidence, probabilityList);
}

py::tuple NativeModel::Score(const py::list& columns, std::size_t rows, int threads,
                             bool allowNonfinite) const {
  if (threads < 1)
    throw py::value_error("threads must be at least 1, not " + std::to_string(threads));
  std::vector<std::unique_ptr<InputColumn>> inputs;
  std::size_t bufferBytesPerRow = 0;
  for (const py::handle& item : columns) {
    const py::tuple spec = py::reinterpret_borrow<py::tuple>(item);
    std::string name = spec[0].cast<std::string>();
    const bool numberField = numberFields_.count(name) != 0;
    auto column = std::make_unique<InputColumn>(
        std::move(name), py::array::ensure(spec[1]), py::reinterpret_borrow<py::object>(spec[2]),
        py::reinterpret_borrow<py::object>(spec[3]), numberField ? &numberCells_ : nullptr,
        allowNonfinite);
    if (column->GetRows() != rows) {
      throw py::value_error("column '" + column->GetName() + "' has " +
                            std::to_string(column->GetRows()) + " rows, the others " +
                            std::to_string(rows));
    }
    bufferBytesPerRow += column->GetBufferBytesPerRow();
    inputs.push_back(std::move(column));
  }

  const std::size_t categoryCount = model_->GetSchema().categories.size();
  const bool predictionOnly = model_->GetOptions().predictionOnly;
  py::array_t<std::int32_t> status(static_cast<py::ssize_t>(rows));
  py::array_t<std::int32_t> prediction(static_cast<py::ssize_t>(rows));
  py::object confidence = py::none();
  py::object probabilities = py::none();
  double* confidenceData = nullptr;
  double* probabilityData = nullptr;
  if (!predictionOnly) {
    py::array_t<double> c(static_cast<py::ssize_t>(rows));
    py::array_t<double> p(
        {static_cast<py::ssize_t>(rows), static_cast<py::ssize_t>(categoryCount)});
    confidenceData = c.mutable_data();
    probabilityData = p.mutable_data();
    confidence = std::move(c);
    probabilities = std::move(p);
  }

  const std::size_t sliceRows =
      bufferBytesPerRow == 0
          ? kMaxSliceRows
          : std::clamp((threads == 1 ? kBufferBudget : kParallelBufferBudget) / bufferBytesPerRow,
                       kMinSliceRows, kMaxSliceRows);
  std::vector<bnscore::Column> slice(inputs.size());
  for (std::size_t begin = 0; begin < rows; begin += sliceRows) {
    if (PyErr_CheckSignals() != 0) throw py::error_already_set();
    const std::size_t count = std::min(sliceRows, rows - begin);
    for (std::size_t i = 0; i < inputs.size(); ++i) slice[i] = inputs[i]->Slice(begin, count);
    bnscore::Outputs outputs;
    outputs.status = std::span<std::int32_t>(status.mutable_data() + begin, count);
    outputs.prediction = std::span<std::int32_t>(prediction.mutable_data() + begin, count);
    if (!predictionOnly) {
      outputs.confidence = std::span<double>(confidenceData + begin, count);
      outputs.probabilities =
          std::span<double>(probabilityData + begin * categoryCount, count * categoryCount);
    }
    py::gil_scoped_release release;  // the slices point into arrays the caller holds
    model_->Score(slice, count, outputs, threads);
  }
  return py::make_tuple(status, prediction, confidence, probabilities);
}

py::bytes NativeModel::ScoreCsv(const py::bytes& csv, bool reason, bool allowMissingColumns,
                                bool allowNonfinite, bool outputHeader) const {
  bnscore::CsvOptions options;
  options.reason = reason;
  options.allowMissingColumns = allowMissingColumns;
  options.allowNonfinite = allowNonfinite;
  options.outputHeader = outputHeader;
  bnscore::TextSource input(std::string_view(
      PyBytes_AS_STRING(csv.ptr()), static_cast<std::size_t>(PyBytes_GET_SIZE(csv.ptr()))));
  std::string text;
  bnscore::StringSink output(text);
  {
    py::gil_scoped_release release;  // `csv` is kept alive by the caller
    model_->ScoreCsv(input, "the DataFrame", output, options);
  }
  return py::bytes(text);
}

py::list NativeModel::Nodes() const {
  py::list nodes;
  for (const bnscore::Node& node : model_->GetNodes()) {
    py::list categories;
    for (const std::string& category : node.categories) categories.append(category);
    nodes.append(py::make_tuple(node.name, categories));
  }
  return nodes;
}

py::tuple NativeModel::QueryOne(const py::dict& record, const std::vector<int>& nodes) const {
  const std::vector<bnscore::NamedCell> cells = RecordCells(record, false);
  const std::vector<bnscore::Node>& all = model_->GetNodes();
  std::size_t total = 0;
  for (int node : nodes) {
    if (node < 0 || static_cast<std::size_t>(node) >= all.size())
      throw py::index_error("no such node");
    total += all[static_cast<std::size_t>(node)].categories.size();
  }
  std::vector<double> posteriors(total);
  int status = 0;
  {
    py::gil_scoped_release release;  // the views point into `record`, which the caller holds
    status = model_->Query(cells, nodes, posteriors);
  }
  py::list values;
  for (double p : posteriors) values.append(p);
  return py::make_tuple(status, values);
}

py::tuple NativeModel::ExplainOne(const py::dict& record, std::size_t k) const {
  const std::vector<bnscore::NamedCell> cells = RecordCells(record, false);
  std::vector<bnscore::Reason> reasons;
  bnscore::Outcome outcome;
  {
    py::gil_scoped_release release;
    outcome = model_->Explain(cells, k, reasons);
  }
  py::list list;
  for (const bnscore::Reason& reason : reasons) {
    list.append(py::make_tuple(reason.field, reason.value, reason.logOdds));
  }
  return py::make_tuple(outcome.status, list);
}
