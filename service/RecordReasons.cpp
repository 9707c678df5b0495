#include "service/RecordReasons.h"

#include <cstring>

namespace bnscore::internal {

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

class StringSource : public bnscore::ByteSource {
 public:
  explicit StringSource(std::string_view text) : text_(text) {}
  std::size_t Read(char* buffer, std::size_t size) override {
    const std::size_t n = std::min(size, text_.size());
    if (n > 0) std::memcpy(buffer, text_.data(), n);
    text_.remove_prefix(n);
    return n;
  }

 private:
  std::string_view text_;
};

class StringSink : public bnscore::ByteSink {
 public:
  explicit StringSink(std::string& out) : out_(out) {}
  void Write(const char* data, std::size_t size) override { out_.append(data, size); }

 private:
  std::string& out_;
};

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
  StringSource source(csv_);
  StringSink sink(output_);
  bnscore::CsvOptions options;
  options.reason = true;
  model.ScoreCsv(source, "records", sink, options);
  std::vector<std::string> reasons = LastFields(output_);
  reasons.erase(reasons.begin());  // the header's
  reasons.resize(rows.size());
  return reasons;
}

}  // namespace bnscore::internal
