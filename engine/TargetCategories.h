#ifndef BNSCORE_ENGINE_TARGETCATEGORIES_H_
#define BNSCORE_ENGINE_TARGETCATEGORIES_H_

#include <cstddef>
#include <string>
#include <vector>

#include "host/ScoreModel.h"
#include "host/ScoreResult.h"
#include "host/ScoreValue.h"

// The categories of a model's target in output order: the values of its
// value labels, each distinct value once, in label order. This is the order
// of bnscore's probability(C) columns and of the public Schema.
//
// Borrows the category values from the model, which must outlive this
// object. Immutable; lookups allocate nothing.
class TargetCategories {
 public:
  explicit TargetCategories(const ScoreModel& model);

  std::size_t Size() const { return values_.size(); }
  const ScoreValue& GetValue(std::size_t index) const { return *values_[index]; }
  // The text form of each category (as bnscore writes it).
  const std::vector<std::string>& GetLabels() const { return labels_; }

  // The index of the category equal to `value` (normally the very same
  // object), or -1 when there is none or `value` is null.
  int IndexOf(const ScoreValue* value) const;

  // The probability that `result` lists for category `index`, or null when
  // it lists none.
  const double* FindPercent(std::size_t index, const ScoreClsResult& result) const;

 private:
  std::vector<const ScoreValue*> values_;
  std::vector<std::string> labels_;
};

#endif  // BNSCORE_ENGINE_TARGETCATEGORIES_H_
