#ifndef BNSCORE_ENGINE_TARGETCATEGORIES_H_
#define BNSCORE_ENGINE_TARGETCATEGORIES_H_

#include <cstddef>
#include <string>
#include <utility>
#include <vector>

#include "host/interfaces/ScoreModel.h"
#include "host/interfaces/ScoreValue.h"

namespace bnscore::internal {

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

  // The index of the first category equal to `value` (as ScoreValue's ==:
  // numbers by their double, texts exactly, types never equal), or -1 when
  // there is none or `value` is null. Two virtual calls and no allocation.
  int IndexOf(const ScoreValue* value) const;

  // The entry of a result's percent list (GetAllValuePercent) that gives
  // category `index` its probability, or -1 when none does: entry `index`
  // when it holds the category, else the first that does.
  int FindEntry(std::size_t index,
                const std::vector<std::pair<const ScoreValue*, double>>& percents) const;

 private:
  std::vector<const ScoreValue*> values_;
  std::vector<std::string> labels_;
  std::vector<ScoreValue::ValueType> types_;
  std::vector<double> numbers_;  // each numeric category's double
};

}  // namespace bnscore::internal

#endif  // BNSCORE_ENGINE_TARGETCATEGORIES_H_
