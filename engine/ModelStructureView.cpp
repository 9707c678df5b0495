// The structure Model::GetStructure returns: the plug-in's ModelStructure as the public
// Structure.
#include <utility>

#include "bnscore/NumberText.h"
#include "bnscore/bnscore.h"
#include "engine/ModelViews.h"
#include "host/interfaces/ModelStructure.h"

namespace bnscore {

namespace {

Bin PublicBin(const ModelStructure::Bin& bin) {
  Bin out;
  out.category = bin.category;
  if (bin.hasLeftMargin) out.left = bin.leftMargin;
  if (bin.hasRightMargin) out.right = bin.rightMargin;
  out.closedLeft = bin.closedLeft;
  out.closedRight = bin.closedRight;
  return out;
}

}  // namespace

std::string IntervalText(const Bin& bin) {
  return std::string(bin.closedLeft && bin.left ? "[" : "(") +
         (bin.left ? FormatNumber(*bin.left) : "-inf") + ", " +
         (bin.right ? FormatNumber(*bin.right) : "+inf") +
         (bin.closedRight && bin.right ? "]" : ")");
}

Structure internal::StructureOf(const ScoreModel& model) {
  const auto* plugin = dynamic_cast<const ModelStructure*>(&model);
  if (plugin == nullptr) throw Error("the model plug-in does not describe its network");
  Structure structure;
  for (ModelStructure::Arc& arc : plugin->GetArcs()) {
    structure.arcs.push_back(Arc{std::move(arc.parent), std::move(arc.child)});
  }
  structure.markovBlanket = plugin->GetMarkovBlanket();
  for (ModelStructure::BinnedField& field : plugin->GetBinnedFields()) {
    BinnedField binned{
        std::move(field.field), std::move(field.derivedField), field.discretized, {}};
    for (const ModelStructure::Bin& bin : field.bins) binned.bins.push_back(PublicBin(bin));
    structure.binnedFields.push_back(std::move(binned));
  }
  ModelStructure::Source source = plugin->GetSource();
  structure.sourceModelType = std::move(source.modelType);
  structure.sourceInferenceMethod = std::move(source.inferenceMethod);
  return structure;
}

}  // namespace bnscore
