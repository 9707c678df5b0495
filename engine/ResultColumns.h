#ifndef BNSCORE_ENGINE_RESULTCOLUMNS_H_
#define BNSCORE_ENGINE_RESULTCOLUMNS_H_

#include <string>
#include <vector>

#include "engine/CsvWriter.h"
#include "engine/NumberTextCache.h"
#include "engine/TargetCategories.h"
#include "host/interfaces/MCStatus.h"
#include "host/interfaces/ScoreModel.h"
#include "host/interfaces/ScoreResult.h"
#include "host/interfaces/ScoreValue.h"

// The result columns of the scorer's output and their cells:
//   status,prediction,confidence,probability(C)...
// with one probability column per distinct category C of the model's
// target, in the order of its value labels (TargetCategories); only
// status,prediction when the model gives predictions only.
//
// status is 0 or the status code; prediction is the prediction's text form
// (empty when there is none); confidence and probabilities are numbers in
// the host's text form for status 0 and empty otherwise.
//
// Borrows the target's category values from the model, which must outlive
// this object. Writing a row allocates nothing. One object per thread.
class ResultColumns {
 public:
  ResultColumns(const ScoreModel& model, bool predictionOnly);

  void WriteHeader(CsvWriter& out) const;
  // The names WriteHeader writes.
  std::vector<std::string> GetNames() const;
  // `result` is what GetScore left (null when it gave none).
  void WriteRow(const MCScore::MCStatus& status, const ScoreResult* result, CsvWriter& out);

  // The distinct target categories, in column order, and their texts.
  std::size_t GetNumCategories() const { return categories_.Size(); }
  const std::string& GetCategoryText(std::size_t index) const {
    return categories_.GetLabels()[index];
  }
  // The probability of category `index` in `result` (what GetScore gave
  // with status 0), or null when the result lists none.
  const double* GetProbability(std::size_t index, const ScoreResult* result);

 private:
  // The probability of category `index`, or null when the result lists none.
  const double* FindPercent(std::size_t index, const ScoreClsResult& result) const;

  bool predictionOnly_;
  TargetCategories categories_;
  std::vector<std::string> probabilityHeaders_;
  NumberTextBuffer text_;
  NumberTextCache numbers_;
  // The result last seen and the same object as a classification result
  // (null when it is none), so the cast is made once per result object.
  const ScoreResult* lastResult_ = nullptr;
  const ScoreClsResult* lastClsResult_ = nullptr;
};

#endif  // BNSCORE_ENGINE_RESULTCOLUMNS_H_
