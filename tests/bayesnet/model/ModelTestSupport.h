#ifndef TESTS_MODEL_MODELTESTSUPPORT_H_
#define TESTS_MODEL_MODELTESTSUPPORT_H_

#include <memory>
#include <string>
#include <vector>

#include "bayesnet/encoders/VkCatStringEncoder.h"
#include "host/data/BaseDictVar.h"
#include "host/data/BaseDictionary.h"
#include "host/interfaces/MCStatus.h"
#include "host/data/StringValue.h"
#include "bayesnet/model/BayesNetModel.h"

namespace model_test {

// Adds to `dict` a variable with one category (value label) per text; the
// category values are numbers for a numeric variable (valueType 0).
BaseDictVar* AddVar(BaseDictionary* dict, const std::string& name, int valueType, int measure,
                    const std::vector<std::string>& categories);

// A categorical encoder holding the variable's categories in label order.
IVkEncoder* EncoderFor(const ScoreDictVar* var);

// The value of category `c` of a variable.
const ScoreValue* CategoryValue(const ScoreDictVar* var, int c);

// Records arc parent -> child in both directions.
void AddArc(BayesNetModel& model, const std::string& parent, const std::string& child);

// A string encoder that counts its deletions.
class CountingEncoder : public VkCatStringEncoder {
 public:
  explicit CountingEncoder(int* deleted) : deleted_(deleted) {}
  ~CountingEncoder() override { ++*deleted_; }

 private:
  int* deleted_;
};

// A string value that counts its deletions.
class CountingString : public StringValue {
 public:
  CountingString(const char* text, int* deleted) : StringValue(text), deleted_(deleted) {}
  ~CountingString() override { ++*deleted_; }

 private:
  int* deleted_;
};

// The worked network: target T (categories a, b; or 1, 2 when
// `numericTarget`) with the prior (0.6, 0.4); predictor X (categories x0,
// x1), T's only child, with rows {0} -> (0.7, 0.3) and {1} -> (0.2, 0.8).
// The variables belong to the model's dictionary.
struct WorkedNet {
  std::unique_ptr<BayesNetModel> model;
  BaseDictVar* target;
  BaseDictVar* x;
};
WorkedNet MakeWorkedNet(bool numericTarget = false);

inline long Code(const MCScore::MCStatus& status) { return status.GetCode(); }

}  // namespace model_test

#endif  // TESTS_MODEL_MODELTESTSUPPORT_H_
