#ifndef BNSCORE_ENGINE_RESULTREADER_H_
#define BNSCORE_ENGINE_RESULTREADER_H_

#include <span>
#include <vector>

#include "bnscore/bnscore.h"
#include "engine/TargetCategories.h"
#include "host/interfaces/MCStatus.h"
#include "host/interfaces/ScoreResult.h"

namespace bnscore::internal {

// Reads what GetScore left into a bnscore::Outcome and the probabilities in
// category order: the same values bnscore writes (a prediction equal to no
// category gives -1, a category the result lists no probability for NaN).
// REQUIRES: the categories outlive the reader; one reader per thread.
// Allocates only when the result's list of categories changes.
class ResultReader {
 public:
  explicit ResultReader(const TargetCategories& categories) : categories_(categories) {}

  // `result` may be null; `clsResult` is the same object as a
  // classification result, or null. With `predictionOnly`, the confidence
  // and the probabilities are NaN. `probabilities` is empty or holds at
  // least one entry per category.
  bnscore::Outcome Read(const MCScore::MCStatus& status, const ScoreResult* result,
                        const ScoreClsResult* clsResult, bool predictionOnly,
                        std::span<double> probabilities);

 private:
  // Makes entryOf_ fit the list `percents`.
  void Learn(const std::vector<std::pair<const ScoreValue*, double>>& percents);

  const TargetCategories& categories_;
  // The value objects of the percent list last learned, and per category
  // the entry of that list that gives its probability (-1: none).
  std::vector<const ScoreValue*> listValues_;
  std::vector<int> entryOf_;
};

}  // namespace bnscore::internal

#endif  // BNSCORE_ENGINE_RESULTREADER_H_
