#include "formats/DialectReader.h"

#include <cstdlib>
#include <unordered_map>

#include "formats/Decimal.h"
#include "formats/StateIndex.h"
#include "formats/XmlDocument.h"

using xercesc::DOMElement;

namespace bnscore::formats {

namespace {

// The fields of a ';'-separated list with '\' escapes, each trimmed of
// blanks (spaces).
std::vector<std::string> SplitList(const std::string& text) {
  std::vector<std::string> fields;
  std::string field;
  bool any = false;
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    any = true;
    if (c == '\\' && i + 1 < text.size()) {
      field += text[++i];
    } else if (c == ';') {
      fields.push_back(field);
      field.clear();
      any = false;
    } else {
      field += c;
    }
  }
  if (any) fields.push_back(field);
  for (std::string& f : fields) {
    const std::size_t begin = f.find_first_not_of(' ');
    if (begin == std::string::npos) continue;
    f = f.substr(begin, f.find_last_not_of(' ') - begin + 1);
  }
  return fields;
}

struct Bins {
  std::string input;
  std::vector<double> cuts;
  std::vector<std::string> labels;
};

class DialectParser {
 public:
  DialectParser(std::string_view text, const std::string& source, const ReadLimits& limits)
      : document_(text, source, limits.xml), cellLimit_(limits.TableCells(text.size())) {}
  DialectParser(const xercesc::DOMDocument& parsed, std::string_view text,
                const std::string& source, const ReadLimits& limits)
      : document_(parsed, text, source), cellLimit_(limits.TableCells(text.size())) {}

  Network Read() {
    const DOMElement* root = document_.Root();
    if (!XmlDocument::Is(root, "PMML")) {
      document_.Fail(root,
                     "expected the root element <PMML>, found <" + XmlDocument::Name(root) + ">");
    }
    const DOMElement* dictionary = XmlDocument::Child(root, "DataDictionary");
    if (dictionary == nullptr) document_.Fail(root, "<PMML> has no <DataDictionary>");
    if (const DOMElement* transformations = XmlDocument::Child(root, "TransformationDictionary")) {
      ReadBins(transformations);
    }
    const DOMElement* model = XmlDocument::Child(root, "BayesNetModel");
    if (model == nullptr) document_.Fail(root, "the document has no <BayesNetModel>");
    network_.name = XmlDocument::Attribute(model, "modelName");
    const DOMElement* learning = XmlDocument::Child(root, "MiningBuildTask");
    for (const char* step : {"Extension", "BayesNetSettings", "ParameterLearning"}) {
      if (learning != nullptr) learning = XmlDocument::Child(learning, step);
    }
    if (learning != nullptr)
      network_.parameterLearning = XmlDocument::Attribute(learning, "method");
    ReadSchema(model);
    ReadSource(model);
    // Variables in data-dictionary order, then derived predictors.
    std::vector<std::pair<std::string, const DOMElement*>> fields;
    for (const DOMElement* field = XmlDocument::FirstChild(dictionary); field != nullptr;
         field = XmlDocument::Next(field)) {
      if (XmlDocument::Is(field, "DataField")) {
        fields.emplace_back(XmlDocument::Attribute(field, "name"), field);
      }
    }
    std::unordered_map<std::string, const DOMElement*> tables;  // the last table of a field
    std::vector<std::string> tableOrder;
    for (const DOMElement* e = XmlDocument::FirstChild(model); e != nullptr;
         e = XmlDocument::Next(e)) {
      if (!XmlDocument::Is(e, "ConditionalTables")) continue;
      for (const DOMElement* t = XmlDocument::FirstChild(e); t != nullptr;
           t = XmlDocument::Next(t)) {
        if (!XmlDocument::Is(t, "ConditionalTable")) continue;
        const std::string name = Resolve(t, XmlDocument::Attribute(t, "fieldName"));
        if (tables.emplace(name, t).second) {
          tableOrder.push_back(name);
        } else {
          tables[name] = t;
        }
      }
    }
    for (const auto& [name, field] : fields) {
      if (tables.count(name) == 0 && name != network_.target) continue;
      DeclareVariable(name, field);
    }
    for (const std::string& name : tableOrder) {
      if (network_.Find(VariableName(name)) < 0) DeclareVariable(name, tables[name]);
    }
    for (const std::string& name : tableOrder) ReadTable(tables[name], name);
    return std::move(network_);
  }

 private:
  void ReadBins(const DOMElement* transformations) {
    for (const DOMElement* derived = XmlDocument::FirstChild(transformations); derived != nullptr;
         derived = XmlDocument::Next(derived)) {
      if (!XmlDocument::Is(derived, "DerivedField")) continue;
      const DOMElement* discretize = XmlDocument::Child(derived, "Discretize");
      if (discretize == nullptr) continue;
      Bins bins;
      bins.input = XmlDocument::Attribute(discretize, "field");
      bool first = true;
      for (const DOMElement* bin = XmlDocument::FirstChild(discretize); bin != nullptr;
           bin = XmlDocument::Next(bin)) {
        if (!XmlDocument::Is(bin, "DiscretizeBin")) continue;
        const DOMElement* interval = XmlDocument::Child(bin, "Interval");
        if (interval == nullptr) document_.Fail(bin, "<DiscretizeBin> has no <Interval>");
        if (!first) {
          const std::string left = XmlDocument::Attribute(interval, "leftMargin");
          const std::optional<double> cut = ParseDecimal(left);
          if (!cut) document_.Fail(interval, "the left margin '" + left + "' is not a number");
          bins.cuts.push_back(*cut);
        }
        first = false;
        bins.labels.push_back(XmlDocument::Attribute(bin, "binValue"));
      }
      bins_[XmlDocument::Attribute(derived, "name")] = std::move(bins);
    }
  }

  void ReadSchema(const DOMElement* model) {
    const DOMElement* schema = XmlDocument::Child(model, "MiningSchema");
    if (schema == nullptr) document_.Fail(model, "<BayesNetModel> has no <MiningSchema>");
    for (const DOMElement* field = XmlDocument::FirstChild(schema); field != nullptr;
         field = XmlDocument::Next(field)) {
      if (!XmlDocument::Is(field, "MiningField")) continue;
      const std::string name = XmlDocument::Attribute(field, "name");
      if (XmlDocument::Attribute(field, "usageType") == "predicted") network_.target = name;
      for (const DOMElement* e = XmlDocument::FirstChild(field); e != nullptr;
           e = XmlDocument::Next(e)) {
        if (!XmlDocument::Is(e, "Extension")) continue;
        const DOMElement* ref = XmlDocument::FirstChild(e);
        if (ref != nullptr && XmlDocument::Is(ref, "DerivedFieldRef")) {
          const std::string derived = XmlDocument::Attribute(ref, "name");
          dataToDerived_[name] = derived;
          derivedToData_[derived] = name;
        }
      }
    }
  }

  // What an earlier conversion recorded of its source.
  void ReadSource(const DOMElement* model) {
    for (const DOMElement* e = XmlDocument::FirstChild(model); e != nullptr;
         e = XmlDocument::Next(e)) {
      if (!XmlDocument::Is(e, "Extension") || XmlDocument::Attribute(e, "extender") != "bnscore")
        continue;
      if (const DOMElement* source = XmlDocument::Child(e, "Source")) {
        network_.modelType = XmlDocument::Attribute(source, "modelType");
        network_.inferenceMethod = XmlDocument::Attribute(source, "inferenceMethod");
      }
    }
  }

  // A name of the model element as the data field it stands for.
  std::string Resolve(const DOMElement* at, const std::string& name) {
    const auto data = derivedToData_.find(name);
    if (data != derivedToData_.end()) return data->second;
    if (bins_.count(name) != 0) return name;  // a derived predictor
    (void)at;
    return name;
  }

  // The variable that stands for data field (or derived predictor) `name`.
  std::string VariableName(const std::string& name) const {
    const auto derived = dataToDerived_.find(name);
    return derived != dataToDerived_.end() && bins_.count(derived->second) != 0 ? derived->second
                                                                                : name;
  }

  void DeclareVariable(const std::string& name, const DOMElement* at) {
    Variable variable;
    variable.name = VariableName(name);
    const auto bins = bins_.find(variable.name);
    if (bins != bins_.end()) {
      variable.states = bins->second.labels;
      variable.discretization = Discretization{bins->second.input, bins->second.cuts};
      if (variable.name != name) variable.discretization->input = name;
    } else if (XmlDocument::Is(at, "DataField")) {
      for (const DOMElement* value = XmlDocument::FirstChild(at); value != nullptr;
           value = XmlDocument::Next(value)) {
        if (!XmlDocument::Is(value, "Value")) continue;
        bool present = false;
        const std::string property = XmlDocument::Attribute(value, "property", &present);
        if (present && property != "valid") continue;
        variable.states.push_back(XmlDocument::Attribute(value, "value"));
      }
      if (variable.states.empty()) {
        document_.Fail(at, "the field '" + name + "' has neither values nor bins");
      }
    } else {
      document_.Fail(at, "'" + name + "' is neither a data field nor a binned field");
    }
    if (!network_.Add(std::move(variable))) document_.Fail(at, "'" + name + "' is defined twice");
  }

  std::size_t Code(const DOMElement* at, const Variable& variable, const std::string& value) {
    if (variable.discretization) {
      const long code = std::atol(value.c_str());
      if (code < 0 || static_cast<std::size_t>(code) >= variable.states.size()) {
        document_.Fail(at, "'" + value + "' is not a bin of '" + variable.name + "'");
      }
      return static_cast<std::size_t>(code);
    }
    const long code =
        states_.Find(static_cast<std::size_t>(&variable - network_.variables.data()), value);
    if (code < 0) document_.Fail(at, "'" + value + "' is not a value of '" + variable.name + "'");
    return static_cast<std::size_t>(code);
  }

  void ReadTable(const DOMElement* table, const std::string& field) {
    Variable& variable =
        network_.variables[static_cast<std::size_t>(network_.Find(VariableName(field)))];
    const DOMElement* names = XmlDocument::FirstChild(table);
    if (names == nullptr || !XmlDocument::Is(names, "names")) {
      document_.Fail(table, "<names> must be the first element of a ConditionalTable");
    }
    const long count = std::atol(XmlDocument::Attribute(table, "parentsNumber").c_str());
    const std::vector<std::string> parentNames = SplitList(XmlDocument::Text(names));
    if (count < 0 || static_cast<std::size_t>(count) > parentNames.size()) {
      document_.Fail(table, "the table of '" + variable.name + "' names fewer parents than " +
                                std::to_string(count));
    }
    for (long j = 0; j < count; ++j) {
      const std::string name =
          VariableName(Resolve(names, parentNames[static_cast<std::size_t>(j)]));
      const long parent = network_.Find(name);
      if (parent < 0) document_.Fail(names, "the parent '" + name + "' has no table");
      variable.parents.push_back(static_cast<std::size_t>(parent));
    }
    const std::size_t states = variable.states.size();
    const std::size_t rows = network_.RowCount(variable, cellLimit_ / states);
    if (rows == 0 || rows * states > cellLimit_ - cells_) {
      document_.Fail(table, "the table of '" + variable.name + "' would have more cells than " +
                                std::to_string(cellLimit_ - cells_) +
                                ", the tables' limit for a document of this size");
    }
    cells_ += rows * states;
    variable.table.assign(rows * states, 0.0);
    variable.given.assign(rows, 0);
    variable.counts.assign(rows, 0.0);
    for (const DOMElement* row = XmlDocument::Next(names); row != nullptr;
         row = XmlDocument::Next(row)) {
      if (!XmlDocument::Is(row, "row"))
        document_.Fail(row, "only <row> elements may follow <names>");
      const std::vector<std::string> fields = SplitList(XmlDocument::Text(row));
      if (fields.size() != variable.parents.size() + states) {
        document_.Fail(row, "a row of '" + variable.name + "' needs " +
                                std::to_string(variable.parents.size() + states) + " fields, has " +
                                std::to_string(fields.size()));
      }
      std::size_t index = 0;
      for (std::size_t j = 0; j < variable.parents.size(); ++j) {
        const Variable& parent = network_.variables[variable.parents[j]];
        index = index * parent.states.size() + Code(row, parent, fields[j]);
      }
      for (std::size_t k = 0; k < states; ++k) {
        const std::optional<double> p = ParseDecimal(fields[variable.parents.size() + k]);
        if (!p)
          document_.Fail(row, "'" + fields[variable.parents.size() + k] + "' is not a number");
        variable.table[index * states + k] = *p;
      }
      variable.given[index] = 1;
      variable.counts[index] = std::atof(XmlDocument::Attribute(row, "totalN").c_str());
    }
    bool all = true;
    for (std::uint8_t given : variable.given) all = all && given != 0;
    if (all) variable.given.clear();
    bool counted = false;
    for (double count : variable.counts) counted = counted || count != 0.0;
    if (!counted) variable.counts.clear();
  }

  XmlDocument document_;
  Network network_;
  StateIndex states_{network_};
  std::unordered_map<std::string, Bins> bins_;
  std::unordered_map<std::string, std::string> dataToDerived_;
  std::unordered_map<std::string, std::string> derivedToData_;
  std::size_t cellLimit_;
  std::size_t cells_ = 0;
};

}  // namespace

Network ReadDialect(std::string_view text, const std::string& source, const ReadLimits& limits) {
  return DialectParser(text, source, limits).Read();
}

Network ReadDialect(const xercesc::DOMDocument& parsed, std::string_view text,
                    const std::string& source, const ReadLimits& limits) {
  return DialectParser(parsed, text, source, limits).Read();
}

}  // namespace bnscore::formats
