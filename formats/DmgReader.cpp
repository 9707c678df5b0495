#include "formats/DmgReader.h"

#include <unordered_map>
#include <unordered_set>

#include "formats/Decimal.h"
#include "formats/StateIndex.h"
#include "formats/XmlDocument.h"

using xercesc::DOMElement;

namespace bnscore::formats {

namespace {

class DmgParser {
 public:
  DmgParser(std::string_view text, const std::string& source, const ReadLimits& limits)
      : document_(text, source, limits.xml), cellLimit_(limits.TableCells(text.size())) {}

  Network Read() {
    const DOMElement* root = document_.Root();
    if (!XmlDocument::Is(root, "PMML")) {
      document_.Fail(root,
                     "expected the root element <PMML>, found <" + XmlDocument::Name(root) + ">");
    }
    ReadDataDictionary(XmlDocument::Child(root, "DataDictionary"));
    const DOMElement* model = XmlDocument::Child(root, "BayesianNetworkModel");
    if (model == nullptr) document_.Fail(root, "the document has no <BayesianNetworkModel>");
    bool present = false;
    network_.name = XmlDocument::Attribute(model, "modelName");
    network_.modelType = XmlDocument::Attribute(model, "modelType", &present);
    if (!present) network_.modelType = "General";
    network_.inferenceMethod = XmlDocument::Attribute(model, "inferenceMethod", &present);
    if (!present) network_.inferenceMethod = "Other";
    const DOMElement* schema = XmlDocument::Child(model, "MiningSchema");
    if (schema == nullptr) document_.Fail(model, "<BayesianNetworkModel> has no <MiningSchema>");
    ReadTarget(schema);
    const DOMElement* nodes = XmlDocument::Child(model, "BayesianNetworkNodes");
    if (nodes == nullptr) {
      document_.Fail(model, "<BayesianNetworkModel> has no <BayesianNetworkNodes>");
    }
    std::vector<const DOMElement*> elements;
    for (const DOMElement* e = XmlDocument::FirstChild(nodes); e != nullptr;
         e = XmlDocument::Next(e)) {
      if (XmlDocument::Is(e, "ContinuousNode")) {
        document_.Fail(e, "node '" + XmlDocument::Attribute(e, "name") +
                              "' is a ContinuousNode: continuous nodes are not read");
      }
      if (!XmlDocument::Is(e, "DiscreteNode")) continue;
      DeclareNode(e);
      elements.push_back(e);
    }
    if (elements.empty()) document_.Fail(nodes, "<BayesianNetworkNodes> has no <DiscreteNode>");
    for (std::size_t i = 0; i < elements.size(); ++i) ReadTable(elements[i], network_.variables[i]);
    return std::move(network_);
  }

 private:
  void ReadDataDictionary(const DOMElement* dictionary) {
    if (dictionary == nullptr) return;
    for (const DOMElement* field = XmlDocument::FirstChild(dictionary); field != nullptr;
         field = XmlDocument::Next(field)) {
      if (!XmlDocument::Is(field, "DataField")) continue;
      std::vector<std::string>& values = fieldValues_[XmlDocument::Attribute(field, "name")];
      for (const DOMElement* value = XmlDocument::FirstChild(field); value != nullptr;
           value = XmlDocument::Next(value)) {
        if (!XmlDocument::Is(value, "Value")) continue;
        bool present = false;
        const std::string property = XmlDocument::Attribute(value, "property", &present);
        if (present && property != "valid") continue;
        values.push_back(XmlDocument::Attribute(value, "value"));
      }
    }
  }

  void ReadTarget(const DOMElement* schema) {
    for (const DOMElement* field = XmlDocument::FirstChild(schema); field != nullptr;
         field = XmlDocument::Next(field)) {
      if (!XmlDocument::Is(field, "MiningField")) continue;
      const std::string usage = XmlDocument::Attribute(field, "usageType");
      if (usage != "target" && usage != "predicted") continue;
      if (!network_.target.empty()) document_.Fail(field, "the mining schema names two targets");
      network_.target = XmlDocument::Attribute(field, "name");
    }
  }

  // The node's name and states (and bins), before any table is read.
  void DeclareNode(const DOMElement* element) {
    bool present = false;
    Variable variable;
    variable.name = XmlDocument::Attribute(element, "name", &present);
    if (!present) document_.Fail(element, "<DiscreteNode> has no name");
    for (const DOMElement* e = XmlDocument::FirstChild(element); e != nullptr;
         e = XmlDocument::Next(e)) {
      if (XmlDocument::Is(e, "DerivedField") &&
          XmlDocument::Attribute(e, "name") == variable.name) {
        ReadBins(e, variable);
      }
    }
    if (!variable.discretization) {
      const auto found = fieldValues_.find(variable.name);
      if (found != fieldValues_.end() && !found->second.empty()) {
        variable.states = found->second;
      } else {
        CollectStates(element, variable);
      }
    }
    std::unordered_set<std::string_view> seen;
    for (const std::string& state : variable.states) {
      if (!seen.insert(state).second) {
        document_.Fail(element, "node '" + variable.name + "' has the state '" + state + "' twice");
      }
    }
    if (variable.states.empty())
      document_.Fail(element, "node '" + variable.name + "' has no states");
    const std::string name = variable.name;
    if (!network_.Add(std::move(variable))) {
      document_.Fail(element, "node '" + name + "' is defined twice");
    }
  }

  // A Discretize whose bins are (-inf, c0], (c0, c1], ..., (cn, inf).
  void ReadBins(const DOMElement* derived, Variable& variable) {
    const DOMElement* discretize = XmlDocument::Child(derived, "Discretize");
    if (discretize == nullptr) {
      document_.Fail(derived, "the DerivedField of node '" + variable.name +
                                  "' is not a Discretize: only binned fields are read");
    }
    Discretization bins;
    bins.input = XmlDocument::Attribute(discretize, "field");
    std::vector<const DOMElement*> binElements;
    for (const DOMElement* bin = XmlDocument::FirstChild(discretize); bin != nullptr;
         bin = XmlDocument::Next(bin)) {
      if (XmlDocument::Is(bin, "DiscretizeBin")) binElements.push_back(bin);
    }
    if (binElements.size() < 2) document_.Fail(discretize, "a Discretize needs two bins or more");
    for (std::size_t i = 0; i < binElements.size(); ++i) {
      const DOMElement* bin = binElements[i];
      const DOMElement* interval = XmlDocument::Child(bin, "Interval");
      if (interval == nullptr) document_.Fail(bin, "<DiscretizeBin> has no <Interval>");
      const bool last = i + 1 == binElements.size();
      bool hasLeft = false;
      bool hasRight = false;
      const std::string left = XmlDocument::Attribute(interval, "leftMargin", &hasLeft);
      const std::string right = XmlDocument::Attribute(interval, "rightMargin", &hasRight);
      const std::string closure = XmlDocument::Attribute(interval, "closure");
      if ((i == 0) == hasLeft || last == hasRight || (!last && closure != "openClosed") ||
          (last && closure != "openOpen" && closure != "openClosed")) {
        document_.Fail(interval, "the bins of '" + variable.name +
                                     "' must be (-inf, c1], (c1, c2], ..., (cn, inf) in this "
                                     "order, as the scorer bins");
      }
      if (hasLeft) {
        const std::optional<double> margin = ParseDecimal(left);
        if (!margin || *margin != bins.cuts.back()) {
          document_.Fail(interval, "the left margin " + left + " of a bin of '" + variable.name +
                                       "' is not the right margin of the bin before");
        }
      }
      if (hasRight) {
        const std::optional<double> margin = ParseDecimal(right);
        if (!margin || (!bins.cuts.empty() && !(*margin > bins.cuts.back()))) {
          document_.Fail(interval, "the right margin " + right + " of a bin of '" + variable.name +
                                       "' is not above the one before");
        }
        bins.cuts.push_back(*margin);
      }
      variable.states.push_back(XmlDocument::Attribute(bin, "binValue"));
    }
    variable.discretization = std::move(bins);
  }

  void CollectStates(const DOMElement* node, Variable& variable) {
    std::unordered_set<std::string> seen;
    auto collect = [&](const DOMElement* parent) {
      for (const DOMElement* e = XmlDocument::FirstChild(parent); e != nullptr;
           e = XmlDocument::Next(e)) {
        if (!XmlDocument::Is(e, "ValueProbability")) continue;
        std::string value = XmlDocument::Attribute(e, "value");
        if (seen.insert(value).second) variable.states.push_back(std::move(value));
      }
    };
    collect(node);
    for (const DOMElement* e = XmlDocument::FirstChild(node); e != nullptr;
         e = XmlDocument::Next(e)) {
      if (XmlDocument::Is(e, "DiscreteConditionalProbability")) collect(e);
    }
  }

  std::size_t StateCode(const DOMElement* at, const Variable& variable, const std::string& value) {
    const long code =
        states_.Find(static_cast<std::size_t>(&variable - network_.variables.data()), value);
    if (code < 0) document_.Fail(at, "'" + value + "' is not a state of '" + variable.name + "'");
    return static_cast<std::size_t>(code);
  }

  // One row's ValueProbability elements into `row`.
  void ReadProbabilities(const DOMElement* parent, Variable& variable, double* row) {
    bool any = false;
    for (const DOMElement* e = XmlDocument::FirstChild(parent); e != nullptr;
         e = XmlDocument::Next(e)) {
      if (!XmlDocument::Is(e, "ValueProbability")) continue;
      const std::size_t code = StateCode(e, variable, XmlDocument::Attribute(e, "value"));
      const std::string text = XmlDocument::Attribute(e, "probability");
      const std::optional<double> p = ParseDecimal(text);
      if (!p || !(*p >= 0.0 && *p <= 1.0)) {
        document_.Fail(e, "the probability '" + text + "' of '" + variable.name +
                              "' is not a number in [0, 1]");
      }
      row[code] = *p;
      any = true;
    }
    if (!any) document_.Fail(parent, "no <ValueProbability> for '" + variable.name + "'");
  }

  void ReadTable(const DOMElement* element, Variable& variable) {
    const std::size_t self = static_cast<std::size_t>(network_.Find(variable.name));
    const std::size_t states = variable.states.size();
    bool root = false;
    std::vector<const DOMElement*> conditionals;
    for (const DOMElement* e = XmlDocument::FirstChild(element); e != nullptr;
         e = XmlDocument::Next(e)) {
      if (XmlDocument::Is(e, "ValueProbability")) root = true;
      if (XmlDocument::Is(e, "DiscreteConditionalProbability")) conditionals.push_back(e);
    }
    if (root && !conditionals.empty()) {
      document_.Fail(
          element, "node '" + variable.name + "' has both root probabilities and conditional ones");
    }
    if (!root && conditionals.empty()) {
      document_.Fail(element, "node '" + variable.name + "' has no probabilities");
    }
    // The parents, in the order of the first row.
    if (!conditionals.empty()) {
      for (const DOMElement* e = XmlDocument::FirstChild(conditionals[0]); e != nullptr;
           e = XmlDocument::Next(e)) {
        if (!XmlDocument::Is(e, "ParentValue")) continue;
        const std::string name = XmlDocument::Attribute(e, "parent");
        const long parent = network_.Find(name);
        if (parent < 0) document_.Fail(e, "the parent '" + name + "' is not a node");
        if (static_cast<std::size_t>(parent) == self) {
          document_.Fail(e, "'" + name + "' is given as its own parent");
        }
        for (std::size_t other : variable.parents) {
          if (other == static_cast<std::size_t>(parent)) {
            document_.Fail(e, "the parent '" + name + "' is given twice");
          }
        }
        variable.parents.push_back(static_cast<std::size_t>(parent));
      }
      if (variable.parents.empty()) {
        document_.Fail(conditionals[0],
                       "a conditional probability of '" + variable.name + "' names no parent");
      }
    }
    const std::size_t rows = network_.RowCount(variable, cellLimit_ / states);
    if (rows == 0 || rows * states > cellLimit_ - cells_) {
      document_.Fail(element, "the table of '" + variable.name + "' would have more cells than " +
                                  std::to_string(cellLimit_ - cells_) +
                                  ", the tables' limit for a document of this size");
    }
    cells_ += rows * states;
    variable.table.assign(rows * states, 0.0);
    if (root) {
      ReadProbabilities(element, variable, variable.table.data());
      return;
    }
    variable.given.assign(rows, 0);
    std::vector<long> codes(variable.parents.size());
    for (const DOMElement* conditional : conditionals) {
      std::fill(codes.begin(), codes.end(), -1);
      for (const DOMElement* e = XmlDocument::FirstChild(conditional); e != nullptr;
           e = XmlDocument::Next(e)) {
        if (!XmlDocument::Is(e, "ParentValue")) continue;
        const std::string name = XmlDocument::Attribute(e, "parent");
        std::size_t j = 0;
        while (j < variable.parents.size() && network_.variables[variable.parents[j]].name != name)
          ++j;
        if (j == variable.parents.size() || codes[j] >= 0) {
          document_.Fail(e, "the parents of '" + variable.name +
                                "' differ from those of its first conditional probability");
        }
        const Variable& parent = network_.variables[variable.parents[j]];
        codes[j] = static_cast<long>(StateCode(e, parent, XmlDocument::Attribute(e, "value")));
      }
      std::size_t row = 0;
      for (std::size_t j = 0; j < codes.size(); ++j) {
        if (codes[j] < 0) {
          document_.Fail(conditional, "a conditional probability of '" + variable.name +
                                          "' gives no value for the parent '" +
                                          network_.variables[variable.parents[j]].name + "'");
        }
        row = row * network_.variables[variable.parents[j]].states.size() +
              static_cast<std::size_t>(codes[j]);
      }
      if (variable.given[row] != 0) {
        document_.Fail(conditional, "a second conditional probability of '" + variable.name +
                                        "' for the same parents' values");
      }
      variable.given[row] = 1;
      ReadProbabilities(conditional, variable, variable.table.data() + row * states);
    }
    bool all = true;
    for (std::uint8_t given : variable.given) all = all && given != 0;
    if (all) variable.given.clear();
  }

  XmlDocument document_;
  Network network_;
  StateIndex states_{network_};
  std::unordered_map<std::string, std::vector<std::string>> fieldValues_;
  std::size_t cellLimit_;
  std::size_t cells_ = 0;
};

}  // namespace

Network ReadDmg(std::string_view text, const std::string& source, const ReadLimits& limits) {
  return DmgParser(text, source, limits).Read();
}

}  // namespace bnscore::formats
