#ifndef TESTING_RECORDTABLE_H_
#define TESTING_RECORDTABLE_H_

#include <cstddef>
#include <memory>
#include <string>
#include <vector>

#include "host/data/BaseCaseRecord.h"
#include "host/interfaces/ScoreModel.h"

namespace bnscore::testing {

// Case records built once and kept in memory, so that a benchmark can time
// GetScore alone. Cells are typed and read by bnscore's own code
// (engine/RecordFiller): a field that the model's data dictionary (or, with
// derivedInRecord, its transformation dictionary) declares numeric holds a
// NumericValue of the cell (the system-missing value when the cell is no
// number), any other field a StringValue; an empty cell holds no value.
// Owns its records.
class RecordTable {
 public:
  RecordTable(const ScoreModel& model, std::vector<std::string> fieldNames, bool indexed,
              bool derivedInRecord);

  // Appends a record with one cell per field name.
  void Add(const std::vector<std::string>& cells);

  // Appends up to `limit` records from a CSV file whose first row names the
  // fields as this table does. Reads bngen's CSV: no quoted cells. Throws
  // std::runtime_error for an unreadable file, another header or a row of
  // another length.
  void AddCsvFile(const std::string& path, std::size_t limit);

  // The header of a CSV file, split at commas.
  static std::vector<std::string> ReadCsvHeader(const std::string& path);

  std::size_t Size() const { return records_.size(); }
  const ScoreCaseRecord* Get(std::size_t i) const { return records_[i].get(); }

 private:
  std::vector<std::string> names_;
  std::vector<char> numeric_;  // per field: 1 when its cells are numbers
  bool indexed_;
  std::vector<std::unique_ptr<BaseCaseRecord>> records_;
};

}  // namespace bnscore::testing

#endif  // TESTING_RECORDTABLE_H_
