#ifndef TESTING_RECORDGENERATOR_H_
#define TESTING_RECORDGENERATOR_H_

#include <cstdint>
#include <ostream>
#include <string>
#include <vector>

#include "testing/SeededRandom.h"
#include "testing/GeneratorOptions.h"
#include "testing/ModelGenerator.h"

namespace bnscore::testing {

// Draws case records for a generated model: one cell per input data field
// (each predictor's field, for a derived predictor the continuous field it
// is computed from; the target's field too when asked), in the data
// dictionary's order. Continuous cells are decimal numbers with two
// decimals spread over all bins; categorical cells are one of the field's
// values. A cell is empty with probability missingCells and otherwise holds
// an unknown value with probability unknownValues ("-1" for a numeric
// category, "unknown" for a string one, "NA" for a continuous field, which
// reads as no number). Values are drawn uniformly, not from the network.
//
// Copies what it needs from the ModelGenerator. Deterministic for the
// RecordOptions seed; records are drawn one at a time, so any number of
// them can be streamed in constant memory.
class RecordGenerator {
 public:
  RecordGenerator(const ModelGenerator& model, const RecordOptions& options);

  const std::vector<std::string>& GetFieldNames() const { return names_; }

  // The header line "name,name,...\n".
  void WriteHeader(std::ostream& out) const;
  // Replaces `cells` by the next record's cell texts, one per field ("" for
  // an empty cell). Reuses the strings' storage.
  void NextRecord(std::vector<std::string>& cells);
  // Writes the next `count` records as CSV lines.
  void WriteRecords(std::ostream& out, long long count);

 private:
  struct Column {
    enum Kind { Continuous, NumericCategory, StringCategory };
    Kind kind;
    int bins;                         // Continuous: values fall in [0, 10 * bins)
    std::vector<std::string> values;  // categories
  };

  void NextCell(const Column& column, std::string& cell);

  RecordOptions options_;
  SeededRandom random_;
  std::vector<std::string> names_;
  std::vector<Column> columns_;
};

}  // namespace bnscore::testing

#endif  // TESTING_RECORDGENERATOR_H_
