#ifndef BNSCORE_SERVICE_JSONRECORDSCORER_H_
#define BNSCORE_SERVICE_JSONRECORDSCORER_H_

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include <simdjson.h>

#include "bnscore/bnscore.h"

class DeployedModel;

// Scores the JSON body of a scoring request and writes the JSON reply.
//
// The body is one record, {"field": value, ...}, or a batch,
// {"records": [record, ...]}. A number field takes a JSON number or null;
// a text field a string, a number (read as its shortest text) or null;
// null is a missing value, and so is a field the record leaves out. Fields
// the model does not read are ignored. The reply to a record is
//   {"status":0,"prediction":"C","confidence":x,"probabilities":{"C":p,...}}
// (prediction, confidence and probabilities null when the record got none),
// and to a batch {"results":[reply, ...]} in the records' order.
//
// One scorer per thread: it keeps its parser and buffers from request to
// request, so that a request allocates nothing once they have grown (a
// body over 1 MiB does not leave them that large).
class JsonRecordScorer {
 public:
  // Writes the reply into `out` (cleared first) and returns the number of
  // records scored. Throws RequestError (400) for a body that is not valid
  // JSON (the message gives the place), not a record or a batch, or that
  // gives a field a value of the wrong type or twice (the message names
  // the field, and the record's index in a batch).
  std::uint64_t Score(const DeployedModel& model, std::string_view body, std::string& out);

 private:
  static constexpr std::size_t kKeptCapacity = 1 << 20;  // bytes of body

  // Reads `record` into cells_; `index` is its place in a batch, -1 for a
  // lone record (messages name the place).
  void ReadRecord(const DeployedModel& model, simdjson::dom::object record, long index);
  void ScoreRecord(const DeployedModel& model, std::string& out);

  simdjson::dom::parser parser_;
  std::vector<char> padded_;  // the body followed by the parser's padding
  std::vector<bnscore::NamedCell> cells_;
  std::vector<double> probabilities_;
};

#endif  // BNSCORE_SERVICE_JSONRECORDSCORER_H_
