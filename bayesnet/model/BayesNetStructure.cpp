// BayesNetModel as a ModelStructure: the network as the reader stored it.
#include <algorithm>
#include <set>

#include "bayesnet/model/BayesNetModel.h"
#include "host/data/TransformationDictionary.h"

namespace {

void AddOnce(std::vector<std::string>& names, std::set<std::string>& listed,
             const std::string& name) {
  if (listed.insert(name).second) names.push_back(name);
}

ModelStructure::Bin BinOf(const DiscretizeBin& bin) {
  ModelStructure::Bin out;
  out.category = bin.binValue;
  out.hasLeftMargin = bin.hasLeftMargin;
  out.leftMargin = bin.leftMargin;
  out.hasRightMargin = bin.hasRightMargin;
  out.rightMargin = bin.rightMargin;
  out.closedLeft =
      bin.closure == DiscretizeBin::ClosedOpen || bin.closure == DiscretizeBin::ClosedClosed;
  out.closedRight =
      bin.closure == DiscretizeBin::OpenClosed || bin.closure == DiscretizeBin::ClosedClosed;
  return out;
}

}  // namespace

void BayesNetModel::NoteArc(const std::string& parent, const std::string& child) {
  arcOrder_.push_back(Arc{parent, child});
}

void BayesNetModel::SetSource(const std::string& modelType, const std::string& inferenceMethod) {
  source_ = Source{modelType, inferenceMethod};
}

std::vector<ModelStructure::Arc> BayesNetModel::GetArcs() const {
  // The link source holds the last orientation the document gave a pair;
  // an arc noted earlier that a later row turned round is not the
  // network's.
  std::vector<Arc> arcs;
  std::set<std::pair<std::string, std::string>> listed;
  for (const Arc& arc : arcOrder_) {
    const auto from = linkSource_.find(arc.parent);
    if (from == linkSource_.end()) continue;
    const auto to = from->second.find(arc.child);
    if (to == from->second.end() || to->second != ArcOut) continue;
    if (listed.emplace(arc.parent, arc.child).second) arcs.push_back(arc);
  }
  return arcs;
}

std::vector<std::string> BayesNetModel::GetMarkovBlanket() const {
  std::vector<std::string> blanket;
  if (targetVar_ == nullptr) return blanket;
  const std::string target = targetVar_->GetName();
  const std::vector<Arc> arcs = GetArcs();
  std::set<std::string> listed;
  std::set<std::string> children;
  for (const Arc& arc : arcs) {
    if (arc.child == target) AddOnce(blanket, listed, arc.parent);
    if (arc.parent == target) {
      AddOnce(blanket, listed, arc.child);
      children.insert(arc.child);
    }
  }
  for (const Arc& arc : arcs) {
    if (children.count(arc.child) != 0 && arc.parent != target) {
      AddOnce(blanket, listed, arc.parent);
    }
  }
  return blanket;
}

std::vector<ModelStructure::BinnedField> BayesNetModel::GetBinnedFields() const {
  std::vector<BinnedField> fields;
  const TransformationDictionary* derived = GetTransformationDictionary();
  for (const auto& [data, derivedName] : dataToDerived_) {
    BinnedField field{data, derivedName, false, {}};
    const Discretization* bins =
        derived != nullptr ? derived->GetDiscretization(derived->GetDerivedPosition(derivedName))
                           : nullptr;
    if (bins != nullptr) {
      field.discretized = true;
      for (const DiscretizeBin& bin : bins->bins) field.bins.push_back(BinOf(bin));
    }
    fields.push_back(std::move(field));
  }
  return fields;
}

ModelStructure::Source BayesNetModel::GetSource() const { return source_; }
