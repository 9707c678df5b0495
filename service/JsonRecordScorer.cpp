#include "service/JsonRecordScorer.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>

#include "service/DeployedModel.h"
#include "service/JsonErrorText.h"
#include "service/JsonText.h"
#include "service/RequestError.h"

namespace {

using simdjson::dom::element_type;

const char* TypeName(element_type type) {
  switch (type) {
    case element_type::ARRAY: return "an array";
    case element_type::OBJECT: return "an object";
    case element_type::STRING: return "a string";
    case element_type::BOOL: return "true or false";
    default: return "a number";
  }
}

// "records[3]: " for a record of a batch, "" for a lone record.
std::string Where(long index) {
  return index < 0 ? std::string() : "records[" + std::to_string(index) + "]: ";
}

[[noreturn]] void ThrowWrongType(long index, std::string_view field, bnscore::FieldKind kind,
                                 element_type type) {
  std::string message = Where(index);
  message.append("field ");
  AppendJsonString(message, field);
  message.append(kind == bnscore::FieldKind::kNumber ? " must be a number or null, not "
                                                     : " must be a string, a number or null, not ");
  message.append(TypeName(type));
  throw RequestError(400, message);
}

}  // namespace

std::uint64_t JsonRecordScorer::Score(const DeployedModel& model, std::string_view body,
                                      std::string& out) {
  out.clear();
  // The parser keeps buffers several times the size of the largest body it
  // read; after a large one, a small body starts afresh.
  if (parser_.capacity() > kKeptCapacity && body.size() <= kKeptCapacity) {
    parser_ = simdjson::dom::parser();
    padded_ = std::vector<char>();
  }
  padded_.resize(body.size() + simdjson::SIMDJSON_PADDING);
  if (!body.empty()) std::memcpy(padded_.data(), body.data(), body.size());
  simdjson::dom::element root;
  simdjson::error_code error = parser_.parse(padded_.data(), body.size(), false).get(root);
  if (error) throw RequestError(400, DescribeJsonError(body, simdjson::error_message(error)));

  simdjson::dom::object object;
  if (root.get_object().get(object)) {
    throw RequestError(400,
                       "the body must be a JSON object: a record, or {\"records\": [record, ...]}");
  }

  simdjson::dom::array records;
  if (object.size() == 1 && (*object.begin()).key == "records" &&
      (*object.begin()).value.get_array().get(records) == simdjson::SUCCESS) {
    out.append("{\"results\":[");
    std::uint64_t count = 0;
    if (ReadColumns(model, records)) {
      count = ScoreColumns(model, out);
    } else {
      for (simdjson::dom::element element : records) {
        ReadRecord(model, element.get_object().value_unsafe(), static_cast<long>(count));
        if (count > 0) out.push_back(',');
        ScoreRecord(model, out);
        ++count;
      }
    }
    out.append("]}\n");
    return count;
  }

  ReadRecord(model, object, -1);
  ScoreRecord(model, out);
  out.push_back('\n');
  return 1;
}

void JsonRecordScorer::ReadRecord(const DeployedModel& model, simdjson::dom::object record,
                                  long index) {
  const std::vector<bnscore::Field>& inputs = model.GetSchema().inputs;
  cells_.resize(inputs.size());
  for (std::size_t i = 0; i < inputs.size(); ++i) {
    cells_[i].name = {};  // marks a field not given yet
    cells_[i].cell = bnscore::Cell::Missing();
  }
  std::size_t place = 0;
  for (simdjson::dom::key_value_pair member : record) {
    const int input = InputOf(model, member.key, place++);
    if (input < 0) continue;
    const bnscore::Field& field = inputs[static_cast<std::size_t>(input)];
    bnscore::NamedCell& cell = cells_[static_cast<std::size_t>(input)];
    if (cell.name.data() != nullptr) {
      std::string message = Where(index);
      message.append("field ");
      AppendJsonString(message, field.name);
      throw RequestError(400, message + " is given twice");
    }
    cell.name = field.name;
    const element_type type = member.value.type();
    switch (type) {
      case element_type::INT64:
      case element_type::UINT64:
      case element_type::DOUBLE:
        cell.cell = bnscore::Cell::Of(double(member.value.get_double()));
        break;
      case element_type::STRING:
        if (field.kind == bnscore::FieldKind::kNumber) {
          ThrowWrongType(index, field.name, field.kind, type);
        }
        cell.cell = bnscore::Cell::Of(std::string_view(member.value.get_string()));
        break;
      case element_type::NULL_VALUE:
        break;
      default:
        ThrowWrongType(index, field.name, field.kind, type);
    }
  }
  // Fields the record leaves out are missing; ScoreOne wants their names.
  for (std::size_t i = 0; i < inputs.size(); ++i) cells_[i].name = inputs[i].name;
}

bool JsonRecordScorer::ReadColumns(const DeployedModel& model, simdjson::dom::array records) {
  const std::vector<bnscore::Field>& inputs = model.GetSchema().inputs;
  const std::size_t rows = records.size();
  numbers_.resize(inputs.size());
  texts_.resize(inputs.size());
  for (std::size_t i = 0; i < inputs.size(); ++i) {
    // Every cell missing until the record gives it.
    if (inputs[i].kind == bnscore::FieldKind::kNumber) {
      numbers_[i].assign(rows, std::numeric_limits<double>::quiet_NaN());
    } else {
      texts_[i].assign(rows, std::string_view());
    }
  }
  givenIn_.assign(inputs.size(), 0);
  rows_ = 0;
  bool columnar = true;
  for (simdjson::dom::element element : records) {
    const long index = static_cast<long>(rows_);
    simdjson::dom::object record;
    if (element.get_object().get(record)) {
      throw RequestError(400, Where(index) + "a record must be a JSON object, not " +
                                  TypeName(element.type()));
    }
    std::size_t place = 0;
    for (simdjson::dom::key_value_pair member : record) {
      const int input = InputOf(model, member.key, place++);
      if (input < 0) continue;
      const std::size_t i = static_cast<std::size_t>(input);
      const bnscore::Field& field = inputs[i];
      if (givenIn_[i] == rows_ + 1) {
        std::string message = Where(index);
        message.append("field ");
        AppendJsonString(message, field.name);
        throw RequestError(400, message + " is given twice");
      }
      givenIn_[i] = rows_ + 1;
      const element_type type = member.value.type();
      switch (type) {
        case element_type::INT64:
        case element_type::UINT64:
        case element_type::DOUBLE:
          if (field.kind == bnscore::FieldKind::kNumber) {
            numbers_[i][rows_] = double(member.value.get_double());
          } else {
            columnar = false;  // a number for a text field is read as its text, record by record
          }
          break;
        case element_type::STRING:
          if (field.kind == bnscore::FieldKind::kNumber) {
            ThrowWrongType(index, field.name, field.kind, type);
          }
          texts_[i][rows_] = std::string_view(member.value.get_string());
          break;
        case element_type::NULL_VALUE:
          break;
        default:
          ThrowWrongType(index, field.name, field.kind, type);
      }
    }
    ++rows_;
  }
  return columnar;
}

std::uint64_t JsonRecordScorer::ScoreColumns(const DeployedModel& model, std::string& out) {
  const std::vector<bnscore::Field>& inputs = model.GetSchema().inputs;
  const std::size_t categories = model.GetSchema().categories.size();
  columns_.resize(inputs.size());
  for (std::size_t i = 0; i < inputs.size(); ++i) {
    columns_[i] = inputs[i].kind == bnscore::FieldKind::kNumber
                      ? bnscore::Column::Numbers(inputs[i].name, numbers_[i])
                      : bnscore::Column::Texts(inputs[i].name, texts_[i]);
  }
  status_.resize(rows_);
  prediction_.resize(rows_);
  confidence_.resize(rows_);
  probabilities_.resize(rows_ * categories);
  model.GetModel().Score(columns_, rows_, {status_, prediction_, confidence_, probabilities_});
  for (std::size_t r = 0; r < rows_; ++r) {
    if (r > 0) out.push_back(',');
    bnscore::Outcome outcome;
    outcome.status = status_[r];
    outcome.prediction = prediction_[r];
    outcome.confidence = confidence_[r];
    WriteResult(model, outcome, probabilities_.data() + r * categories, out);
  }
  return rows_;
}

void JsonRecordScorer::ScoreRecord(const DeployedModel& model, std::string& out) {
  const std::size_t categories = model.GetSchema().categories.size();
  probabilities_.resize(categories);
  const bnscore::Outcome outcome = model.GetModel().ScoreOne(cells_, probabilities_);
  WriteResult(model, outcome, probabilities_.data(), out);
}

void JsonRecordScorer::WriteResult(const DeployedModel& model, const bnscore::Outcome& outcome,
                                   const double* probabilities, std::string& out) {
  const std::size_t categories = model.GetSchema().categories.size();
  out.append("{\"status\":");
  AppendJsonInteger(out, outcome.status);
  out.append(",\"prediction\":");
  if (outcome.prediction >= 0 && static_cast<std::size_t>(outcome.prediction) < categories) {
    out.append(model.CategoryLiteral(static_cast<std::size_t>(outcome.prediction)));
  } else {
    out.append("null");
  }
  out.append(",\"confidence\":");
  AppendNumber(out, outcome.confidence);
  out.append(",\"probabilities\":");
  if (outcome.status != bnscore::kScored || model.GetModel().GetOptions().predictionOnly) {
    out.append("null}");
    return;
  }
  out.push_back('{');
  for (std::size_t i = 0; i < categories; ++i) {
    if (i > 0) out.push_back(',');
    out.append(model.CategoryKey(i));
    AppendNumber(out, probabilities[i]);
  }
  out.append("}}");
}

void JsonRecordScorer::AppendNumber(std::string& out, double value) {
  if (std::isfinite(value)) {
    out.append(numberTexts_.Format(value));
  } else {
    out.append("null");
  }
}

int JsonRecordScorer::InputOf(const DeployedModel& model, std::string_view key,
                              std::size_t place) {
  // Records of one client list their fields in one order: the field at
  // the same place in the last record is tried first.
  const std::vector<bnscore::Field>& inputs = model.GetSchema().inputs;
  if (place < lastInputAt_.size()) {
    const int guess = lastInputAt_[place];
    if (guess >= 0 && static_cast<std::size_t>(guess) < inputs.size() &&
        inputs[static_cast<std::size_t>(guess)].name == key) {
      return guess;
    }
  } else if (place < kPlacesRemembered) {
    lastInputAt_.resize(place + 1, -1);
  }
  const int input = model.FindInput(key);
  if (place < lastInputAt_.size()) lastInputAt_[place] = input;
  return input;
}
