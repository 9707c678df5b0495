#ifndef BNSCORE_DESCRIPTION_H_
#define BNSCORE_DESCRIPTION_H_

// What a model's document declares (bnscore::Model::Describe): its type and
// version, the target, the input fields and the derived fields with their
// value types, measures and categories. Plain values, owned by the caller.

#include <optional>
#include <string>
#include <vector>

#include "bnscore/structure.h"

namespace bnscore {

enum class Measure { kContinuous, kCategorical, kOrdinal, kOther };

// A field of the data dictionary or the transformation dictionary.
struct Variable {
  std::string name;
  bool numeric = false;  // its values are numbers (else texts)
  Measure measure = Measure::kOther;
  // Its categories (value labels), in document order; empty for none.
  std::vector<std::string> categories;
  // For a derived field that bins a field by intervals (a Discretize): that
  // field and the bins, in document order.
  std::optional<std::string> binsOf;
  std::vector<Bin> bins;
};

struct ModelDescription {
  bool bayesNet = false;  // the host's type code is that of a Bayesian network
  int typeCode = 0;       // the host's model type code
  // The version of the application that wrote the document, when the host
  // read one.
  std::optional<std::string> version;
  std::optional<Variable> target;
  std::vector<Variable> inputs;   // the input fields, in dictionary order
  std::vector<Variable> derived;  // the transformation dictionary's fields
  // The columns records need: the predictors, in the order of the data
  // dictionary (what `bnscore check --header` prints).
  std::vector<std::string> predictors;
};

}  // namespace bnscore

#endif  // BNSCORE_DESCRIPTION_H_
