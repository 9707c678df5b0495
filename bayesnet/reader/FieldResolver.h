#ifndef BAYESNET_FIELDRESOLVER_H_
#define BAYESNET_FIELDRESOLVER_H_

#include <string>

#include "bayesnet/model/BayesNetModel.h"
#include "host/data/TransformationDictionary.h"
#include "host/interfaces/ScoreDictionary.h"

// Resolves a name that a LinkSource or ConditionalTable row uses to the
// data-dictionary field it stands for: a data field stands for itself, a
// derived field for the data field the MiningSchema linked it to.
// REQUIRES: `dictionary` is not null; the model and both dictionaries
// outlive the resolver (`transformation` may be null). Holds no state of
// its own: links the model learns later are seen.
class FieldResolver {
 public:
  FieldResolver(const BayesNetModel& model, const ScoreDictionary* dictionary,
                const TransformationDictionary* transformation)
      : model_(model), dictionary_(dictionary), transformation_(transformation) {}

  // The data field's name; raises code 8 when neither dictionary has `name`.
  std::string Resolve(const std::string& name) const;

 private:
  const BayesNetModel& model_;
  const ScoreDictionary* dictionary_;
  const TransformationDictionary* transformation_;
};

#endif  // BAYESNET_FIELDRESOLVER_H_
