#include "testing/RecordTable.h"

#include <fstream>
#include <stdexcept>

#include "engine/RecordFiller.h"

using namespace bnscore::internal;

namespace bnscore::testing {

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

RecordTable::RecordTable(const ScoreModel& model, std::vector<std::string> fieldNames, bool indexed,
                         bool derivedInRecord)
    : names_(std::move(fieldNames)),
      numeric_(NumericColumns(names_, model, derivedInRecord)),
      indexed_(indexed) {}

void RecordTable::Add(const std::vector<std::string>& cells) {
  // Cells past the field names are ignored; fields without a cell get none.
  std::vector<std::string_view> views(names_.size());
  for (std::size_t i = 0; i < views.size() && i < cells.size(); ++i) views[i] = cells[i];
  auto record = std::make_unique<BaseCaseRecord>(names_, indexed_);
  FillRecord(views, numeric_, NumberCellRules({}, true), *record);
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

}  // namespace bnscore::testing
