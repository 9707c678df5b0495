#ifndef BNSCORE_SERVICE_JSONRECORDSCORER_H_
#define BNSCORE_SERVICE_JSONRECORDSCORER_H_

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include <simdjson.h>

#include "bnscore/JsonText.h"
#include "bnscore/NumberCellReader.h"
#include "bnscore/bnscore.h"
#include "service/RecordReasons.h"

namespace bnscore::service {

class DeployedModel;

// Scores the JSON body of a scoring request and writes the JSON reply.
//
// The body is one record, {"field": value, ...}, or a batch,
// {"records": [record, ...]}: an object with a member "records" is a batch,
// whose "records" must be an array and which has no other member (400
// otherwise). A number field takes a JSON number, null, or a string read
// as `bnscore score` reads a cell of a number column ("34" is 34, "NA" and
// "" are missing, "abc" leaves the record unscorable, "inf" is refused with
// 400); a text field a string, a number (read as its shortest text) or
// null; null is a missing value, and so is a field the record leaves out.
// The word NaN where a number goes (as Python's json.dumps writes a float
// NaN) is read as null; Infinity is refused. Fields
// the model does not read are ignored. The reply to a record is
//   {"status":0,"prediction":"C","confidence":x,"probabilities":{"C":p,...}}
// (prediction, confidence and probabilities null when the record got none),
// and to a batch {"results":[reply, ...]} in the records' order.
//
// One scorer per thread: it keeps its parser and buffers from request to
// request, so that a request allocates nothing once they have grown (a
// body over 1 MiB does not leave them that large: they are given back as
// soon as its reply is written).
class JsonRecordScorer {
 public:
  // Takes the reply as it grows: after each block of a batch's replies
  // is written, Flush may send `out` and clear it, so that a long reply
  // is never held whole.
  class ReplyFlush {
   public:
    virtual ~ReplyFlush() = default;
    virtual void Flush(std::string& out) = 0;
  };

  // Writes the reply into `out` (cleared first) and returns the number of
  // records scored. Throws RequestError (400) for a body that is not valid
  // JSON (the message gives the place), not a record or a batch, or that
  // gives a field a value of the wrong type or twice (the message names
  // the field, and the record's index in a batch).
  // With `reasons`, each result gets a last member "reason": why the
  // record was not scored, as `bnscore score --reason` says it (null for
  // a scored record). `evidence`, when set, overrides the model's
  // treatment of gaps and unknown values (Model::Score); with `explain`
  // K > 0 each reply gets "explanation": [{"field","value","logOdds"}, ...],
  // the K largest terms of Model::Explain (an empty list for a record not
  // scored). A batch is scored on `threads` threads (this one and
  // threads - 1 of the model's workers, Model::Score) in blocks of
  // kThreadRows records per thread; the reply is the same for any number.
  std::uint64_t Score(const DeployedModel& model, std::string_view body, std::string& out,
                      ReplyFlush* flush = nullptr, bool reasons = false,
                      std::optional<bnscore::EvidenceOptions> evidence = std::nullopt,
                      int explain = 0, int threads = 1);

  // The same for a query request (the same bodies and errors): the reply
  // to a record is
  //   {"status":0,"posteriors":{"N":{"C":p,...},"M":{...}}}
  // with Model::Query's status and posteriors of `nodes` (indices into
  // Model::GetNodes(), in that order; posteriors null when the record got
  // none), and to a batch {"results":[reply, ...]}. `evidence` as for Score.
  std::uint64_t Query(const DeployedModel& model, std::string_view body, std::string& out,
                      ReplyFlush* flush, const std::vector<int>& nodes,
                      std::optional<bnscore::EvidenceOptions> evidence = std::nullopt);

 private:
  static constexpr std::size_t kKeptCapacity = 1 << 20;   // bytes of body
  static constexpr std::size_t kPlacesRemembered = 1024;  // see InputOf
  static constexpr std::size_t kBlockRows = 64;           // records of a batch scored at once
  // With more threads, records per thread in a block: Model::Score gives
  // a thread no fewer than 1,024.
  static constexpr std::size_t kThreadRows = 1024;

  // Parses the body and answers its records (Score's or Query's).
  std::uint64_t Answer(std::string_view body, std::string& out, ReplyFlush* flush);
  // Answers the rows read: ScoreColumns, or QueryRows for a query.
  void AnswerRows(std::string& out);
  // Queries the rows read, one by one, and writes their replies.
  void QueryRows(std::string& out);
  // The cells of row `row` as a record (the fields it gives).
  void RowRecord(std::size_t row, std::vector<bnscore::NamedCell>& record) const;
  // A query request's nodes (empty when scoring), and their names and
  // categories.
  std::vector<int> queryNodes_;
  std::vector<bnscore::Node> nodes_;
  std::vector<double> posteriors_;
  // Makes the columns of `rows` records, every cell missing.
  void StartColumns(std::size_t rows);
  // Reads `record` into the next row of the columns; `index` is its place
  // in a batch, -1 for a lone record (messages name the place).
  void ReadRow(simdjson::dom::object record, long index);
  // Scores the rows read, with one Score call, and writes their replies,
  // each after a comma but the request's first.
  void ScoreColumns(std::string& out);
  void WriteResult(const bnscore::Outcome& outcome, const double* probabilities, std::string& out);
  // The input named `key`, the member at `place` of its record (-1: the
  // model reads no such field).
  int InputOf(std::string_view key, std::size_t place);

  // The model of the request being scored, its inputs, and the replies
  // written so far.
  const DeployedModel* model_ = nullptr;
  std::optional<bnscore::EvidenceOptions> evidence_;
  int explain_ = 0;
  int threads_ = 1;
  // Appends row r's explanation member (see Score).
  void AppendExplanation(std::size_t row, std::string& out);
  std::vector<bnscore::NamedCell> explainRecord_;
  std::vector<bnscore::Reason> explanation_;
  const std::vector<bnscore::Field>* inputs_ = nullptr;
  std::size_t resultsWritten_ = 0;
  simdjson::dom::parser parser_;
  const bnscore::NumberCellReader cellReader_;  // as bnscore score's defaults
  std::string rewritten_;                       // a body with NaN words made null
  // With reasons: the strings given for number fields (empty: none), the
  // cells of the records to explain, and who explains them.
  bool reasons_ = false;
  std::vector<std::vector<std::string_view>> givenTexts_;
  std::vector<std::vector<std::string>> unscored_;
  bnscore::service::RecordReasons explainer_;
  // Appends the reasons of the block's rows to their results.
  void AddReasons(std::string& out, std::size_t firstResult);
  std::vector<char> padded_;  // the body followed by the parser's padding
  // The records as columns: numbers (NaN: missing) for number fields,
  // views of the parsed strings (empty: missing) for text fields; givenIn_[i]
  // is 1 + the last record that gave field i; the outputs of the Score call.
  std::vector<std::vector<double>> numbers_;
  std::vector<std::vector<std::string_view>> texts_;
  std::vector<std::size_t> givenIn_;
  // The texts of numbers given for text fields, one after another, and the
  // cells they go to (viewed only once all are written).
  struct NumberTextCell {
    std::size_t input;
    std::size_t row;
    std::size_t offset;
    std::size_t length;
  };
  std::string numberTextChars_;
  std::vector<NumberTextCell> numberTextCells_;
  std::size_t rows_ = 0;
  std::vector<bnscore::Column> columns_;
  std::vector<std::int32_t> status_;
  std::vector<std::int32_t> prediction_;
  std::vector<double> confidence_;
  std::vector<double> probabilities_;
  // Writes the outcome members of each reply (made again for a model with
  // other categories).
  std::unique_ptr<bnscore::JsonOutcomeWriter> outcomeWriter_;
  // The input found at each place of the last record (-1: none).
  std::vector<int> lastInputAt_;
};

}  // namespace bnscore::service

#endif  // BNSCORE_SERVICE_JSONRECORDSCORER_H_
