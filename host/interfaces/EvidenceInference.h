#ifndef MODELCORE_EVIDENCEINFERENCE_H_
#define MODELCORE_EVIDENCEINFERENCE_H_

#include <string>
#include <vector>

#include "host/interfaces/MCStatus.h"
#include "host/interfaces/ModelCoreExport.h"
#include "host/interfaces/ScoreCaseRecord.h"
#include "host/interfaces/ScoreResult.h"

// An interface a model may offer beside ScoreModel: answers from whatever
// evidence a record holds. A host finds it with dynamic_cast on the model.
// ScoreModel::GetScore stays as it is; this interface adds
//   - scoring with fields that have no usable value summed out of the
//     model's joint distribution, rather than refusing the record;
//   - the posterior of any node of the model given the record;
//   - the terms that make up the log-odds of the prediction over the
//     runner-up, credited to the fields they come from.
//
// REQUIRES: the model has scored one record through GetScore with an
// indexed record of the layout used (which fixes the record positions).
// Then every member may run on any number of threads at once. Records and
// results are as for GetScore; a result passed in is reused or replaced as
// GetScore does, and belongs to the caller.
class MODELCORE_API EvidenceInference {
 public:
  struct Options {
    // A field without a usable value is summed out (else the record gets
    // GetScore's missing status, as GetScore gives it).
    bool sumOutMissing = false;
    // A value that is none of its field's categories counts as no value
    // (else it makes the record's status the missing status).
    bool unknownAsMissing = false;
  };

  // One term of the log-odds: log P(first | e) - log P(second | e) is the
  // sum of the terms of a record. `fields` are the names of the fields the
  // term is credited to (none: the part of the network that no observed
  // field reaches, the prior) and `values` their values as the record
  // gives them, in the same order.
  struct Term {
    std::vector<std::string> fields;
    std::vector<std::string> values;
    double logOdds = 0.0;
  };

  virtual ~EvidenceInference();

  // The nodes of the network, in a fixed order, and the texts of a node's
  // categories in code order (empty for a node index out of range).
  virtual std::vector<std::string> GetNodeNames() const = 0;
  virtual std::vector<std::string> GetNodeCategories(int node) const = 0;

  // GetScore, with the options. A record GetScore scores is scored by
  // GetScore, to the same bits.
  virtual MCScore::MCStatus ScoreEvidence(const ScoreCaseRecord* record, ScoreResult*& result,
                                          bool derivedInRecord, const Options& options) = 0;

  // The posterior of each node nodes[i] given the record's usable values
  // (fields without one are always summed out), into `posteriors`: the
  // categories of nodes[0], then of nodes[1], and so on. Status as
  // GetScore's: the missing status for a null record, an unknown value (see
  // Options) or an inference too large to carry out; the no-score status
  // when the evidence has probability zero. The posteriors are NaN unless
  // the status is success.
  virtual MCScore::MCStatus QueryNodes(const ScoreCaseRecord* record, bool derivedInRecord,
                                       const Options& options, const std::vector<int>& nodes,
                                       double* posteriors) = 0;

  // The terms of the record's prediction against the runner-up (the second
  // most probable category), largest first, as ScoreEvidence scores it;
  // none unless it scores the record and the target has two categories or
  // more.
  virtual MCScore::MCStatus ExplainEvidence(const ScoreCaseRecord* record, bool derivedInRecord,
                                            const Options& options, std::vector<Term>& terms) = 0;

 protected:
  EvidenceInference() = default;
  EvidenceInference(const EvidenceInference&) = default;
  EvidenceInference& operator=(const EvidenceInference&) = default;
};

#endif  // MODELCORE_EVIDENCEINFERENCE_H_
