#ifndef BNSCORE_ENGINE_MODELVIEWS_H_
#define BNSCORE_ENGINE_MODELVIEWS_H_

#include "bnscore/description.h"
#include "bnscore/structure.h"
#include "host/interfaces/ScoreModel.h"

namespace bnscore::internal {

// The public views of a host model, which Model::GetStructure and
// Model::Describe return. Each answer is a copy the caller owns; the model
// is only read.

// The plug-in's ModelStructure as a Structure; Error when the plug-in does
// not offer it. (ModelStructureView.cpp)
Structure StructureOf(const ScoreModel& model);

// The model's dictionaries, target and type as a ModelDescription.
// (ModelDescriptionView.cpp)
ModelDescription DescriptionOf(const ScoreModel& model);

}  // namespace bnscore::internal

#endif  // BNSCORE_ENGINE_MODELVIEWS_H_
