#include "testing/RecordGenerator.h"

#include <charconv>

namespace bnscore::testing {

RecordGenerator::RecordGenerator(const ModelGenerator& model, const RecordOptions& options)
    : options_(options), random_(options.seed) {
  for (const GeneratedNode& node : model.GetNodes()) {
    switch (node.kind) {
      case GeneratedNode::Binned:
        names_.push_back(node.name);
        columns_.push_back({Column::Continuous, node.categories, {}});
        break;
      case GeneratedNode::Derived:
        names_.push_back(node.helperField);
        columns_.push_back({Column::Continuous, node.categories, {}});
        break;
      case GeneratedNode::NumericCategory:
        names_.push_back(node.name);
        columns_.push_back({Column::NumericCategory, 0, node.values});
        break;
      case GeneratedNode::StringCategory:
        names_.push_back(node.name);
        columns_.push_back({Column::StringCategory, 0, node.values});
        break;
      case GeneratedNode::Target:
        if (!options.includeTarget) break;
        names_.push_back(node.name);
        columns_.push_back(
            {model.GetOptions().numericTarget ? Column::NumericCategory : Column::StringCategory, 0,
             node.values});
        break;
    }
  }
}

void RecordGenerator::WriteHeader(std::ostream& out) const {
  for (std::size_t i = 0; i < names_.size(); ++i) out << (i ? "," : "") << names_[i];
  out << "\n";
}

void RecordGenerator::NextCell(const Column& column, std::string& cell) {
  cell.clear();
  if (random_.Chance(options_.missingCells)) return;
  if (random_.Chance(options_.unknownValues)) {
    switch (column.kind) {
      case Column::Continuous:
        cell = "NA";
        break;
      case Column::NumericCategory:
        cell = "-1";
        break;
      case Column::StringCategory:
        cell = "unknown";
        break;
    }
    return;
  }
  if (column.kind != Column::Continuous) {
    cell = column.values[random_.Below(column.values.size())];
    return;
  }
  // Hundredths in [0, 1000 * bins): two decimals over bins of width 10.
  const std::uint64_t hundredths = random_.Below(static_cast<std::uint64_t>(column.bins) * 1000);
  char buffer[32];
  char* end = std::to_chars(buffer, buffer + sizeof buffer, hundredths / 100).ptr;
  const int fraction = static_cast<int>(hundredths % 100);
  *end++ = '.';
  *end++ = static_cast<char>('0' + fraction / 10);
  *end++ = static_cast<char>('0' + fraction % 10);
  cell.assign(buffer, end);
}

void RecordGenerator::NextRecord(std::vector<std::string>& cells) {
  cells.resize(columns_.size());
  for (std::size_t i = 0; i < columns_.size(); ++i) NextCell(columns_[i], cells[i]);
}

void RecordGenerator::WriteRecords(std::ostream& out, long long count) {
  std::vector<std::string> cells;
  std::string block;
  constexpr std::size_t kBlockBytes = 1 << 20;
  block.reserve(kBlockBytes + 4096);
  for (long long r = 0; r < count; ++r) {
    NextRecord(cells);
    for (std::size_t i = 0; i < cells.size(); ++i) {
      if (i) block += ',';
      block += cells[i];
    }
    block += '\n';
    if (block.size() >= kBlockBytes) {
      out.write(block.data(), static_cast<std::streamsize>(block.size()));
      block.clear();
    }
  }
  out.write(block.data(), static_cast<std::streamsize>(block.size()));
}

}  // namespace bnscore::testing
