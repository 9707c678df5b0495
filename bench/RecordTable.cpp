#include "bench/RecordTable.h"

#include <fstream>
#include <stdexcept>

#include "host/NumberText.h"
#include "host/NumericValue.h"
#include "host/TransformationDictionary.h"

namespace {

void SplitCommas(const std::string& line, std::vector<std::string>& cells) {
  cells.clear();
  std::size_t start = 0;
  for (;;) {
    const std::size_t comma = line.find(',', start);
    cells.push_back(line.substr(start, comma - start));
    if (comma == std::string::npos) break;
    start = comma + 1;
  }
}

void StripCarriageReturn(std::string& line) {
  if (!line.empty() && line.back() == '\r') line.pop_back();
}

}  // namespace

RecordTable::RecordTable(const ScoreModel& model, std::vector<std::string> fieldNames,
                         bool indexed, bool derivedInRecord)
    : names_(std::move(fieldNames)), indexed_(indexed) {
  for (const std::string& name : names_) {
    const ScoreDictVar* var =
        model.GetDictionary() ? model.GetDictionary()->GetVariable(name) : nullptr;
    if (var == nullptr && derivedInRecord && model.GetTransformationDictionary() != nullptr) {
      var = model.GetTransformationDictionary()->GetVariable(name);
    }
    numeric_.push_back(var != nullptr && var->GetValueType() == 0);
  }
}

void RecordTable::Add(const std::vector<std::string>& cells) {
  auto record = std::make_unique<BaseCaseRecord>(names_, indexed_);
  for (std::size_t i = 0; i < names_.size() && i < cells.size(); ++i) {
    const int position = static_cast<int>(i);
    if (cells[i].empty()) continue;
    if (numeric_[i]) {
      double value = NumericValue::GetSysmisValue();
      ParseNumber(cells[i], value);
      record->SetNumber(position, value);
    } else {
      record->SetText(position, cells[i]);
    }
  }
  records_.push_back(std::move(record));
}

std::vector<std::string> RecordTable::ReadCsvHeader(const std::string& path) {
  std::ifstream in(path);
  std::string line;
  if (!in || !std::getline(in, line)) throw std::runtime_error("cannot read " + path);
  StripCarriageReturn(line);
  std::vector<std::string> names;
  SplitCommas(line, names);
  return names;
}

void RecordTable::AddCsvFile(const std::string& path, std::size_t limit) {
  std::ifstream in(path);
  std::string line;
  if (!in || !std::getline(in, line)) throw std::runtime_error("cannot read " + path);
  StripCarriageReturn(line);
  std::vector<std::string> cells;
  SplitCommas(line, cells);
  if (cells != names_) throw std::runtime_error(path + ": another header than expected");
  std::size_t lineNumber = 1;
  for (std::size_t added = 0; added < limit && std::getline(in, line); ++added) {
    ++lineNumber;
    StripCarriageReturn(line);
    SplitCommas(line, cells);
    if (cells.size() != names_.size()) {
      throw std::runtime_error(path + ":" + std::to_string(lineNumber) + ": " +
                               std::to_string(cells.size()) + " cells, expected " +
                               std::to_string(names_.size()));
    }
    Add(cells);
  }
}
