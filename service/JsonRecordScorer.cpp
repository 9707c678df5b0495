#include "service/JsonRecordScorer.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>
#include <span>

#include "service/DeployedModel.h"
#include "service/JsonErrorText.h"
#include "service/JsonNanText.h"
#include "bnscore/JsonText.h"
#include "service/RequestError.h"
#include "bnscore/NumberText.h"

namespace bnscore::service {

using bnscore::service::RewriteJsonNan;

namespace {

using simdjson::dom::element_type;

const char* TypeName(element_type type) {
  switch (type) {
    case element_type::ARRAY:
      return "an array";
    case element_type::OBJECT:
      return "an object";
    case element_type::STRING:
      return "a string";
    case element_type::BOOL:
      return "true or false";
    default:
      return "a number";
  }
}

// Field names are short: comparing them in line beats calling memcmp.
inline bool SameText(std::string_view a, const std::string& b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (a[i] != b[i]) return false;
  }
  return true;
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
  message.append(kind == bnscore::FieldKind::kNumber ? " must be a number, a string or null, not "
                                                     : " must be a string, a number or null, not ");
  message.append(TypeName(type));
  throw RequestError(400, message);
}

}  // namespace

std::uint64_t JsonRecordScorer::Score(const DeployedModel& model, std::string_view body,
                                      std::string& out, ReplyFlush* flush, bool reasons,
                                      std::optional<bnscore::EvidenceOptions> evidence, int explain,
                                      int threads) {
  out.clear();
  reasons_ = reasons;
  model_ = &model;
  evidence_ = evidence;
  explain_ = explain;
  threads_ = threads < 1 ? 1 : threads;
  queryNodes_.clear();
  return Answer(body, out, flush);
}

std::uint64_t JsonRecordScorer::Query(const DeployedModel& model, std::string_view body,
                                      std::string& out, ReplyFlush* flush,
                                      const std::vector<int>& nodes,
                                      std::optional<bnscore::EvidenceOptions> evidence) {
  out.clear();
  reasons_ = false;
  model_ = &model;
  evidence_ = evidence;
  explain_ = 0;
  threads_ = 1;
  queryNodes_ = nodes;
  nodes_ = model.GetModel().GetNodes();
  std::size_t total = 0;
  for (int node : nodes) total += nodes_[static_cast<std::size_t>(node)].categories.size();
  posteriors_.resize(total);
  return Answer(body, out, flush);
}

std::uint64_t JsonRecordScorer::Answer(std::string_view body, std::string& out, ReplyFlush* flush) {
  inputs_ = &model_->GetSchema().inputs;
  resultsWritten_ = 0;
  // The parser keeps buffers about ten times the size of the largest body
  // it read: those of a large body go as soon as its request is answered
  // (or refused), so that a thread does not keep them while it serves
  // small requests, or none.
  struct GiveBack {
    JsonRecordScorer& scorer;
    ~GiveBack() {
      if (scorer.parser_.capacity() > kKeptCapacity) {
        scorer.parser_ = simdjson::dom::parser();
        scorer.padded_ = std::vector<char>();
      }
    }
  } giveBack{*this};
  padded_.resize(body.size() + simdjson::SIMDJSON_PADDING);
  if (!body.empty()) std::memcpy(padded_.data(), body.data(), body.size());
  simdjson::dom::element root;
  simdjson::error_code error = parser_.parse(padded_.data(), body.size(), false).get(root);
  // Not JSON, but maybe only for NaN words: read again without them (at
  // no cost to bodies that are JSON).
  if (error && RewriteJsonNan(body, rewritten_)) {
    padded_.resize(rewritten_.size() + simdjson::SIMDJSON_PADDING);
    std::memcpy(padded_.data(), rewritten_.data(), rewritten_.size());
    error = parser_.parse(padded_.data(), rewritten_.size(), false).get(root);
    if (rewritten_.capacity() > kKeptCapacity) std::string().swap(rewritten_);
  }
  if (error) throw RequestError(400, DescribeJsonError(body, simdjson::error_message(error)));

  simdjson::dom::object object;
  if (root.get_object().get(object)) {
    throw RequestError(400,
                       "the body must be a JSON object: a record, or {\"records\": [record, ...]}");
  }

  // A body with a member "records" is a batch, whatever else it holds:
  // its records are never read as the fields of one record.
  simdjson::dom::element batch;
  if (object.at_key("records").get(batch) == simdjson::SUCCESS) {
    simdjson::dom::array records;
    if (batch.get_array().get(records)) {
      throw RequestError(400, std::string("\"records\" must be an array of records, not ") +
                                  (batch.is_null() ? "null" : TypeName(batch.type())));
    }
    // Other members are refused rather than ignored, so that a member
    // given meaning later never changes what an old request did.
    bool seen = false;
    for (simdjson::dom::key_value_pair member : object) {
      if (member.key == "records") {
        if (seen) throw RequestError(400, "\"records\" is given twice");
        seen = true;
        continue;
      }
      std::string message = "a batch has only the member \"records\"; ";
      AppendJsonString(message, member.key);
      throw RequestError(400, message + " is not allowed");
    }
    // Scored a block at a time, while the block's columns are in cache.
    const std::size_t count = records.size();
    const std::size_t block = std::min(
        count, threads_ > 1 ? kThreadRows * static_cast<std::size_t>(threads_) : kBlockRows);
    out.append("{\"results\":[");
    StartColumns(block);
    long index = 0;
    for (simdjson::dom::element element : records) {
      simdjson::dom::object record;
      if (element.get_object().get(record)) {
        throw RequestError(
            400, Where(index) + "a record must be a JSON object, not " + TypeName(element.type()));
      }
      ReadRow(record, index++);
      if (rows_ == block) {
        AnswerRows(out);
        if (flush != nullptr) flush->Flush(out);
        StartColumns(block);
      }
    }
    if (rows_ > 0) AnswerRows(out);
    out.append("]}\n");
    return count;
  }

  StartColumns(1);
  ReadRow(object, -1);
  AnswerRows(out);
  out.push_back('\n');
  return 1;
}

void JsonRecordScorer::StartColumns(std::size_t rows) {
  const std::vector<bnscore::Field>& inputs = *inputs_;
  numbers_.resize(inputs.size());
  texts_.resize(inputs.size());
  for (std::size_t i = 0; i < inputs.size(); ++i) {
    // Every cell missing until its record gives it.
    if (inputs[i].kind == bnscore::FieldKind::kNumber) {
      numbers_[i].assign(rows, std::numeric_limits<double>::quiet_NaN());
    } else {
      texts_[i].assign(rows, std::string_view());
    }
  }
  givenIn_.assign(inputs.size(), 0);
  if (reasons_) {
    givenTexts_.resize(inputs.size());
    for (auto& column : givenTexts_) column.assign(rows, std::string_view());
  }
  numberTextChars_.clear();
  numberTextCells_.clear();
  rows_ = 0;
}

void JsonRecordScorer::ReadRow(simdjson::dom::object record, long index) {
  const std::vector<bnscore::Field>& inputs = *inputs_;
  std::size_t place = 0;
  for (simdjson::dom::key_value_pair member : record) {
    const int input = InputOf(member.key, place++);
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
      case element_type::DOUBLE: {
        const double number = member.value.get_double();
        if (field.kind == bnscore::FieldKind::kNumber) {
          numbers_[i][rows_] = number;
        } else {
          // A number for a text field is its shortest round-trip text, as
          // the engine reads one; viewed once every record is read.
          const std::string text = bnscore::FormatNumber(number);
          numberTextCells_.push_back({i, rows_, numberTextChars_.size(), text.size()});
          numberTextChars_.append(text);
        }
        break;
      }
      case element_type::STRING: {
        const std::string_view text(member.value.get_string());
        if (field.kind == bnscore::FieldKind::kText) {
          texts_[i][rows_] = text;
          break;
        }
        if (reasons_) givenTexts_[i][rows_] = text;
        double number;
        const auto kind = cellReader_.Read(text, number);
        if (kind == bnscore::NumberCellKind::kNumber ||
            kind == bnscore::NumberCellKind::kNotANumber) {
          numbers_[i][rows_] = number;
        } else if (kind == bnscore::NumberCellKind::kNotFinite) {
          std::string message = Where(index);
          message.append("field ");
          AppendJsonString(message, field.name);
          message.append(": ");
          AppendJsonString(message, text);
          throw RequestError(400, message + " is not a finite number");
        }
        break;
      }
      case element_type::NULL_VALUE:
        break;
      default:
        ThrowWrongType(index, field.name, field.kind, type);
    }
  }
  ++rows_;
}

void JsonRecordScorer::AnswerRows(std::string& out) {
  if (queryNodes_.empty()) {
    ScoreColumns(out);
  } else {
    QueryRows(out);
  }
}

void JsonRecordScorer::QueryRows(std::string& out) {
  for (const NumberTextCell& cell : numberTextCells_) {
    texts_[cell.input][cell.row] =
        std::string_view(numberTextChars_).substr(cell.offset, cell.length);
  }
  const bnscore::Model& model = model_->GetModel();
  for (std::size_t r = 0; r < rows_; ++r) {
    RowRecord(r, explainRecord_);
    const int status = evidence_ ? model.Query(explainRecord_, queryNodes_, posteriors_, *evidence_)
                                 : model.Query(explainRecord_, queryNodes_, posteriors_);
    if (resultsWritten_++ > 0) out.push_back(',');
    out.append("{\"status\":");
    out.append(std::to_string(status));
    out.append(",\"posteriors\":");
    if (status != bnscore::kScored) {
      out.append("null}");
      continue;
    }
    out.push_back('{');
    const double* posterior = posteriors_.data();
    for (std::size_t n = 0; n < queryNodes_.size(); ++n) {
      const bnscore::Node& node = nodes_[static_cast<std::size_t>(queryNodes_[n])];
      if (n > 0) out.push_back(',');
      AppendJsonString(out, node.name);
      out.append(":{");
      for (std::size_t c = 0; c < node.categories.size(); ++c) {
        if (c > 0) out.push_back(',');
        AppendJsonString(out, node.categories[c]);
        out.push_back(':');
        bnscore::AppendJsonNumber(out, *posterior++);
      }
      out.push_back('}');
    }
    out.append("}}");
  }
}

void JsonRecordScorer::RowRecord(std::size_t row, std::vector<bnscore::NamedCell>& record) const {
  const std::vector<bnscore::Field>& inputs = *inputs_;
  record.clear();
  for (std::size_t i = 0; i < inputs.size(); ++i) {
    if (inputs[i].kind == bnscore::FieldKind::kNumber) {
      const double number = numbers_[i][row];
      if (number == number) record.push_back({inputs[i].name, bnscore::Cell::Of(number)});
    } else if (!texts_[i][row].empty()) {
      record.push_back({inputs[i].name, bnscore::Cell::Of(texts_[i][row])});
    }
  }
}

void JsonRecordScorer::ScoreColumns(std::string& out) {
  const std::vector<bnscore::Field>& inputs = *inputs_;
  const std::size_t categories = model_->GetSchema().categories.size();
  for (const NumberTextCell& cell : numberTextCells_) {
    texts_[cell.input][cell.row] =
        std::string_view(numberTextChars_).substr(cell.offset, cell.length);
  }
  columns_.resize(inputs.size());
  for (std::size_t i = 0; i < inputs.size(); ++i) {
    columns_[i] =
        inputs[i].kind == bnscore::FieldKind::kNumber
            ? bnscore::Column::Numbers(inputs[i].name,
                                       std::span<const double>(numbers_[i]).first(rows_))
            : bnscore::Column::Texts(inputs[i].name,
                                     std::span<const std::string_view>(texts_[i]).first(rows_));
  }
  status_.resize(rows_);
  prediction_.resize(rows_);
  confidence_.resize(rows_);
  probabilities_.resize(rows_ * categories);
  const bnscore::Outputs outputs{status_, prediction_, confidence_, probabilities_};
  if (evidence_) {
    model_->GetModel().Score(columns_, rows_, outputs, threads_, *evidence_);
  } else {
    model_->GetModel().Score(columns_, rows_, outputs, threads_);
  }
  const std::size_t firstResult = out.size();
  for (std::size_t r = 0; r < rows_; ++r) {
    if (resultsWritten_++ > 0) out.push_back(',');
    bnscore::Outcome outcome;
    outcome.status = status_[r];
    outcome.prediction = prediction_[r];
    outcome.confidence = confidence_[r];
    WriteResult(outcome, probabilities_.data() + r * categories, out);
    if (explain_ > 0) AppendExplanation(r, out);
  }
  if (reasons_) AddReasons(out, firstResult);
}

void JsonRecordScorer::AddReasons(std::string& out, std::size_t firstResult) {
  const std::vector<bnscore::Field>& inputs = *inputs_;
  unscored_.clear();
  for (std::size_t r = 0; r < rows_; ++r) {
    if (status_[r] == bnscore::kScored) continue;
    std::vector<std::string>& cells = unscored_.emplace_back(inputs.size());
    for (std::size_t i = 0; i < inputs.size(); ++i) {
      if (inputs[i].kind == bnscore::FieldKind::kText) {
        cells[i].assign(texts_[i][r]);
      } else if (!givenTexts_[i][r].empty()) {
        cells[i].assign(givenTexts_[i][r]);  // as the client wrote it
      } else if (!std::isnan(numbers_[i][r])) {
        cells[i].assign(bnscore::FormatNumber(numbers_[i][r]));
      }
    }
  }
  std::vector<std::string> reasons;
  if (!unscored_.empty()) reasons = explainer_.Explain(model_->GetModel(), unscored_);
  // Each result of the block ends with '}': the reason goes before it.
  std::string rewritten;
  rewritten.reserve(out.size() - firstResult + 32 * rows_);
  std::size_t from = firstResult;
  std::size_t next = 0;
  for (std::size_t r = 0; r < rows_; ++r) {
    std::size_t end = from;
    int depth = 0;
    bool inString = false;
    for (;; ++end) {  // the end of this result's object
      const char c = out[end];
      if (inString) {
        if (c == '\\')
          ++end;
        else if (c == '"')
          inString = false;
      } else if (c == '"') {
        inString = true;
      } else if (c == '{') {
        ++depth;
      } else if (c == '}' && --depth == 0) {
        break;
      }
    }
    rewritten.append(out, from, end - from);
    rewritten.append(",\"reason\":");
    if (status_[r] == bnscore::kScored) {
      rewritten.append("null");
    } else {
      AppendJsonString(rewritten, reasons[next++]);
    }
    rewritten.push_back('}');
    from = end + 1;
  }
  rewritten.append(out, from, std::string::npos);
  out.resize(firstResult);
  out.append(rewritten);
}

void JsonRecordScorer::AppendExplanation(std::size_t row, std::string& out) {
  RowRecord(row, explainRecord_);
  explanation_.clear();
  if (status_[row] == bnscore::kScored) {
    const bnscore::Model& model = model_->GetModel();
    model.Explain(explainRecord_, static_cast<std::size_t>(explain_), explanation_, {},
                  evidence_.value_or(bnscore::EvidenceOptions{model.GetOptions().missing,
                                                              model.GetOptions().unknown}));
  }
  out.pop_back();  // the reply's closing brace
  out.append(",\"explanation\":[");
  for (std::size_t i = 0; i < explanation_.size(); ++i) {
    out.append(i == 0 ? "{\"field\":" : ",{\"field\":");
    AppendJsonString(out, explanation_[i].field);
    out.append(",\"value\":");
    AppendJsonString(out, explanation_[i].value);
    out.append(",\"logOdds\":");
    bnscore::AppendJsonNumber(out, explanation_[i].logOdds);
    out.push_back('}');
  }
  out.append("]}");
}

void JsonRecordScorer::WriteResult(const bnscore::Outcome& outcome, const double* probabilities,
                                   std::string& out) {
  const bnscore::Model& model = model_->GetModel();
  // The writer keeps the keys of the last model's categories.
  if (!outcomeWriter_ || outcomeWriter_->GetCategories() != model.GetSchema().categories ||
      outcomeWriter_->IsPredictionOnly() != model.GetOptions().predictionOnly) {
    outcomeWriter_ = std::make_unique<bnscore::JsonOutcomeWriter>(
        model.GetSchema().categories, model.GetOptions().predictionOnly);
  }
  out.push_back('{');
  outcomeWriter_->Append(outcome, probabilities, out);
  out.push_back('}');
}

int JsonRecordScorer::InputOf(std::string_view key, std::size_t place) {
  // Records of one client list their fields in one order: the field at
  // the same place in the last record is tried first.
  if (place < lastInputAt_.size()) {
    const int guess = lastInputAt_[place];
    if (guess >= 0 && static_cast<std::size_t>(guess) < inputs_->size() &&
        SameText(key, (*inputs_)[static_cast<std::size_t>(guess)].name)) {
      return guess;
    }
  } else if (place < kPlacesRemembered) {
    lastInputAt_.resize(place + 1, -1);
  }
  const int input = model_->FindInput(key);
  if (place < lastInputAt_.size()) lastInputAt_[place] = input;
  return input;
}

}  // namespace bnscore::service
