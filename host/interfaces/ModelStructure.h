#ifndef MODELCORE_MODELSTRUCTURE_H_
#define MODELCORE_MODELSTRUCTURE_H_

#include <string>
#include <vector>

#include "host/interfaces/ModelCoreExport.h"

// An interface a model may offer beside ScoreModel: the structure of its
// network as the model read it and scores with it, for a host to show. A
// host finds it with dynamic_cast on the model.
//
// Names are the data fields' names: a derived field that stands for a data
// field (the one the records carry) is named by that data field, as the
// model resolves it when it reads its arcs.
//
// REQUIRES: the model has been read and is not changed afterwards. Then
// every member may run on any number of threads at once. Every answer is a
// copy the caller owns.
class MODELCORE_API ModelStructure {
 public:
  struct Arc {
    std::string parent;
    std::string child;
  };

  // One bin of a binned field: the category it gives and its interval. An
  // absent margin is infinite; a margin that could not be read is NaN.
  struct Bin {
    std::string category;
    bool hasLeftMargin = false;
    double leftMargin = 0.0;
    bool hasRightMargin = false;
    double rightMargin = 0.0;
    bool closedLeft = false;
    bool closedRight = true;
  };

  // A data field that the network reads through a derived field, and
  // whether that derived field bins it by intervals (a Discretize) with
  // which bins, in document order.
  struct BinnedField {
    std::string field;
    std::string derivedField;
    bool discretized = false;
    std::vector<Bin> bins;
  };

  // What a model converted from another format says of its source ("" when
  // it says nothing).
  struct Source {
    std::string modelType;
    std::string inferenceMethod;
  };

  virtual ~ModelStructure();

  // The network's arcs, each once, in the order the document first states
  // them.
  virtual std::vector<Arc> GetArcs() const = 0;
  // The Markov blanket of the target: its parents, its children and their
  // other parents, each once, in the order of GetArcs. Empty without a
  // target.
  virtual std::vector<std::string> GetMarkovBlanket() const = 0;
  // Every data field read through a derived field, in name order.
  virtual std::vector<BinnedField> GetBinnedFields() const = 0;
  virtual Source GetSource() const = 0;

 protected:
  ModelStructure() = default;
  ModelStructure(const ModelStructure&) = default;
  ModelStructure& operator=(const ModelStructure&) = default;
};

#endif  // MODELCORE_MODELSTRUCTURE_H_
