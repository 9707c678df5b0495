#ifndef BNSCORE_STRUCTURE_H_
#define BNSCORE_STRUCTURE_H_

// The structure of a model's network as the model plug-in read it and
// scores with it (bnscore::Model::GetStructure): plain values, owned by the
// caller.

#include <optional>
#include <string>
#include <string_view>
#include <vector>

// What libbnscore exports; everything else in it is hidden.
#ifndef BNSCORE_API
#define BNSCORE_API __attribute__((visibility("default")))
#endif

namespace bnscore {

// An arc of the network. Both ends are named by their data field (a
// derived field that stands for a data field is named by that field).
struct Arc {
  std::string parent;
  std::string child;
};

// One bin of a binned field: the category it gives and its interval. An
// absent margin is infinite; a margin the document gave but that could not
// be read as a number is NaN.
struct Bin {
  std::string category;
  std::optional<double> left;
  std::optional<double> right;
  bool closedLeft = false;
  bool closedRight = true;
};

// A bin's interval as bnscore shows it: "(25000, 60000]", "(-inf, 30]",
// "[5, +inf)".
BNSCORE_API std::string IntervalText(const Bin& bin);

// A data field that the network reads through a derived field, and, when
// that derived field bins it by intervals (`discretized`), the bins in
// document order.
struct BinnedField {
  std::string field;
  std::string derivedField;
  bool discretized = false;
  std::vector<Bin> bins;
};

struct Structure {
  // Each arc once, in the order the document first states it.
  std::vector<Arc> arcs;
  // The target's Markov blanket: its parents, its children and their other
  // parents, each once, in the order of the arcs.
  std::vector<std::string> markovBlanket;
  // The data fields read through a derived field, in name order.
  std::vector<BinnedField> binnedFields;
  // What a network converted from another format says of its source ("" when
  // nothing).
  std::string sourceModelType;
  std::string sourceInferenceMethod;

  // The entry of binnedFields for data field `field`, or null.
  const BinnedField* FindBinned(std::string_view field) const {
    for (const BinnedField& binned : binnedFields) {
      if (binned.field == field) return &binned;
    }
    return nullptr;
  }
};

}  // namespace bnscore

#endif  // BNSCORE_STRUCTURE_H_
