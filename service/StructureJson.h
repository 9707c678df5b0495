#ifndef BNSCORE_SERVICE_STRUCTUREJSON_H_
#define BNSCORE_SERVICE_STRUCTUREJSON_H_

#include <string>

#include "bnscore/bnscore.h"

namespace bnscore::service {

// The network of a deployed model as the plug-in read it
// (Model::GetStructure), for GET /models/{id}/structure:
//   {"id":..,"target":..,"arcs":[[PARENT,CHILD]...],"markov_blanket":[NAME...],
//    "binned":[{"field":..,"derived":..,"intervals":[{"category":..,
//    "interval":"(0, 10]"}...]}...]}
// with the arcs, blanket and intervals of `bnscore check --format json`;
// "intervals" is present only for a field binned by intervals.
std::string StructureJson(const std::string& id, const Model& model);

}  // namespace bnscore::service

#endif  // BNSCORE_SERVICE_STRUCTUREJSON_H_
