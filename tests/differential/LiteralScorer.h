#ifndef TESTS_DIFFERENTIAL_LITERALSCORER_H_
#define TESTS_DIFFERENTIAL_LITERALSCORER_H_

#include "host/interfaces/MCStatus.h"
#include "host/interfaces/ScoreCaseRecord.h"
#include "host/interfaces/ScoreResult.h"
#include "bayesnet/model/BayesNetModel.h"

// The scoring algorithm written out literally, record by record and name by
// name, from the model's public state: the oracle the compiled plan is
// tested against. Scores `record` with `model` as BayesNetModel::GetScore
// must, filling `result` (reused when it is a Bayes-net result, else
// replaced). REQUIRES: the model has seen an indexed record before an
// indexed `record` is given (GetScore stores the record positions; this
// function only reads them).
MCScore::MCStatus ScoreLiterally(const BayesNetModel& model, const ScoreCaseRecord* record,
                                 ScoreResult*& result, bool derivedInRecord);

#endif  // TESTS_DIFFERENTIAL_LITERALSCORER_H_
