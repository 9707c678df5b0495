#include "service/RecordReasons.h"

#include <cstring>

namespace bnscore::service {

namespace {

// An empty cell is written "" so that a record is never a blank line.
void AppendCell(std::string& out, std::string_view cell) {
  if (!cell.empty() && cell.find_first_of(",\"\r\n") == std::string_view::npos) {
    out.append(cell);
    return;
  }
  out.push_back('"');
  for (char c : cell) {
    if (c == '"') out.push_back('"');
    out.push_back(c);
  }
  out.push_back('"');
}

// The last field of each CSV record of `text` (quotes removed), the
// header's first.
std::vector<std::string> LastFields(std::string_view text) {
  std::vector<std::string> last;
  std::string field;
  bool quoted = false;
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    if (quoted) {
      if (c == '"' && i + 1 < text.size() && text[i + 1] == '"') {
        field.push_back('"');
        ++i;
      } else if (c == '"') {
        quoted = false;
      } else {
        field.push_back(c);
      }
    } else if (c == '"') {
      quoted = true;
    } else if (c == ',') {
      field.clear();
    } else if (c == '\n') {
      if (!field.empty() && field.back() == '\r') field.pop_back();
      last.push_back(std::move(field));
      field.clear();
    } else {
      field.push_back(c);
    }
  }
  return last;
}

}  // namespace

std::vector<std::string> RecordReasons::Explain(const bnscore::Model& model,
                                                const std::vector<std::vector<std::string>>& rows) {
  const std::vector<bnscore::Field>& inputs = model.GetSchema().inputs;
  csv_.clear();
  for (std::size_t i = 0; i < inputs.size(); ++i) {
    if (i > 0) csv_.push_back(',');
    AppendCell(csv_, inputs[i].name);
  }
  csv_.push_back('\n');
  for (const std::vector<std::string>& row : rows) {
    for (std::size_t i = 0; i < row.size(); ++i) {
      if (i > 0) csv_.push_back(',');
      AppendCell(csv_, row[i]);
    }
    csv_.push_back('\n');
  }
  output_.clear();
  bnscore::TextSource source(csv_);
  bnscore::StringSink sink(output_);
  bnscore::CsvOptions options;
  options.reason = true;
  model.ScoreCsv(source, "records", sink, options);
  std::vector<std::string> reasons = LastFields(output_);
  reasons.erase(reasons.begin());  // the header's
  reasons.resize(rows.size());
  return reasons;
}

}  // namespace bnscore::service
