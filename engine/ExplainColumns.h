#ifndef BNSCORE_ENGINE_EXPLAINCOLUMNS_H_
#define BNSCORE_ENGINE_EXPLAINCOLUMNS_H_

#include <string>
#include <vector>

#include "bnscore/bnscore.h"
#include "engine/CsvWriter.h"
#include "host/interfaces/EvidenceInference.h"
#include "host/interfaces/ScoreCaseRecord.h"
#include "host/interfaces/ScoreModel.h"
#include "host/text/NumberText.h"

namespace bnscore::internal {

// A term of the log-odds as the API gives it: its fields joined by "+" (or
// "(prior)"), their values likewise.
bnscore::Reason MakeReason(const EvidenceInference::Term& term);

// The explanation columns of the scorer's output, after the result columns:
//   reason_1,...,reason_K,logodds_1,...,logodds_K
// the fields of a scored record's K largest terms (MakeReason) and the
// terms, empty past its terms and for records not scored.
//
// Borrows the model, which must outlive this object and offer
// EvidenceInference (else the constructor throws EngineError). One object
// per thread; allocates only while a record's terms grow.
class ExplainColumns {
 public:
  ExplainColumns(ScoreModel& model, const bnscore::LoadOptions& options, int count);

  static std::vector<std::string> Names(int count);

  // Writes the columns of `record`, which the model scored with status
  // `status`.
  void WriteRow(long status, const ScoreCaseRecord& record, CsvWriter& out);
  // The same for a JSON Lines object: its member
  //   ,"explanation":[{"field":F,"value":V,"logOdds":L},...]
  // (an empty list for records not scored; L null when not finite). Valid
  // until the next call.
  std::string_view Json(long status, const ScoreCaseRecord& record);

 private:
  EvidenceInference* inference_;
  EvidenceInference::Options options_;
  bool derivedInRecord_;
  std::size_t count_;
  std::vector<EvidenceInference::Term> terms_;
  std::string joined_;
  std::string json_;
  NumberTextBuffer text_;
};

}  // namespace bnscore::internal

#endif  // BNSCORE_ENGINE_EXPLAINCOLUMNS_H_
