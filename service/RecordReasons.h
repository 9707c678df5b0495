#ifndef BNSCORE_SERVICE_RECORDREASONS_H_
#define BNSCORE_SERVICE_RECORDREASONS_H_

#include <string>
#include <string_view>
#include <vector>

#include "bnscore/bnscore.h"

namespace bnscore::service {

// Says why records were not scored, in the words of `bnscore score
// --reason` ("income: missing", "employment: unknown category \"x\""): the
// records are written as CSV, one cell per input of the model (an empty
// cell is missing), and read by the model's own CSV scoring with reasons
// on, so that the reasons are the command line's by construction. Meant
// for the few records of a request that got a non-zero status; it
// allocates. One object per thread.
class RecordReasons {
 public:
  // `rows` holds, per record, one cell text per input of `model`'s schema,
  // in schema order. Returns the reason of each record ("" for a record
  // that the CSV scoring scores). Throws bnscore::Error when the CSV
  // scoring refuses a cell.
  std::vector<std::string> Explain(const bnscore::Model& model,
                                   const std::vector<std::vector<std::string>>& rows);

 private:
  std::string csv_;
  std::string output_;
};

}  // namespace bnscore::service

#endif  // BNSCORE_SERVICE_RECORDREASONS_H_
