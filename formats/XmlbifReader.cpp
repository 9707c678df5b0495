#include "formats/XmlbifReader.h"

#include <unordered_set>

#include "formats/Decimal.h"
#include "formats/NetworkWriters.h"
#include "formats/XmlDocument.h"
#include "formats/XmlEscape.h"

using xercesc::DOMElement;

namespace bnscore::formats {

namespace {

class XmlbifParser {
 public:
  XmlbifParser(std::string_view text, const std::string& source, const ReadLimits& limits)
      : document_(text, source, limits.xml), cellLimit_(limits.TableCells(text.size())) {}

  Network Read() {
    const DOMElement* root = document_.Root();
    if (!XmlDocument::Is(root, "BIF")) {
      document_.Fail(root,
                     "expected the root element <BIF>, found <" + XmlDocument::Name(root) + ">");
    }
    const DOMElement* network = XmlDocument::Child(root, "NETWORK");
    if (network == nullptr) document_.Fail(root, "<BIF> has no <NETWORK>");
    for (const DOMElement* e = XmlDocument::FirstChild(network); e != nullptr;
         e = XmlDocument::Next(e)) {
      if (XmlDocument::Is(e, "NAME")) {
        network_.name = XmlDocument::Text(e);
      } else if (XmlDocument::Is(e, "VARIABLE")) {
        ReadVariable(e);
      }
    }
    for (const DOMElement* e = XmlDocument::FirstChild(network); e != nullptr;
         e = XmlDocument::Next(e)) {
      if (XmlDocument::Is(e, "DEFINITION") || XmlDocument::Is(e, "PROBABILITY")) ReadDefinition(e);
    }
    return std::move(network_);
  }

 private:
  void ReadVariable(const DOMElement* element) {
    bool typed = false;
    const std::string type = XmlDocument::Attribute(element, "TYPE", &typed);
    Variable variable;
    const DOMElement* name = XmlDocument::Child(element, "NAME");
    if (name == nullptr) document_.Fail(element, "<VARIABLE> has no <NAME>");
    variable.name = XmlDocument::Text(name);
    if (typed && type != "nature") {
      document_.Fail(element, "variable '" + variable.name + "' is of TYPE \"" + type +
                                  "\": only nature variables are read");
    }
    std::unordered_set<std::string> seen;
    for (const DOMElement* e = XmlDocument::FirstChild(element); e != nullptr;
         e = XmlDocument::Next(e)) {
      if (XmlDocument::Is(e, "PROPERTY")) {
        Discretization bins;
        if (ReadBinsProperty(XmlDocument::Text(e), bins)) variable.discretization = std::move(bins);
        continue;
      }
      if (!XmlDocument::Is(e, "OUTCOME")) continue;
      std::string state = XmlDocument::Text(e);
      if (!seen.insert(state).second) {
        document_.Fail(e, "variable '" + variable.name + "' has the state '" + state + "' twice");
      }
      variable.states.push_back(std::move(state));
    }
    if (variable.states.empty()) {
      document_.Fail(element, "variable '" + variable.name + "' has no <OUTCOME>");
    }
    if (!network_.Add(std::move(variable))) {
      document_.Fail(name, "variable '" + XmlDocument::Text(name) + "' is declared twice");
    }
  }

  std::size_t FindVariable(const DOMElement* element) {
    const std::string name = XmlDocument::Text(element);
    const long index = network_.Find(name);
    if (index < 0) document_.Fail(element, "variable '" + name + "' is not declared");
    return static_cast<std::size_t>(index);
  }

  void ReadDefinition(const DOMElement* element) {
    const DOMElement* forElement = XmlDocument::Child(element, "FOR");
    if (forElement == nullptr)
      document_.Fail(element, "<" + XmlDocument::Name(element) + "> has no <FOR>");
    const std::size_t child = FindVariable(forElement);
    std::vector<std::size_t> parents;
    const DOMElement* table = nullptr;
    for (const DOMElement* e = XmlDocument::FirstChild(element); e != nullptr;
         e = XmlDocument::Next(e)) {
      if (XmlDocument::Is(e, "GIVEN")) {
        const std::size_t parent = FindVariable(e);
        if (parent == child)
          document_.Fail(e, "'" + network_.variables[child].name + "' is given as its own parent");
        for (std::size_t other : parents) {
          if (other == parent) {
            document_.Fail(e,
                           "the parent '" + network_.variables[parent].name + "' is given twice");
          }
        }
        parents.push_back(parent);
      } else if (XmlDocument::Is(e, "TABLE")) {
        table = e;
      }
    }
    Variable& variable = network_.variables[child];
    if (variable.HasTable()) {
      document_.Fail(element, "variable '" + variable.name + "' has a second definition");
    }
    if (table == nullptr)
      document_.Fail(element, "the definition of '" + variable.name + "' has no <TABLE>");
    variable.parents = std::move(parents);
    const std::size_t states = variable.states.size();
    const std::size_t rows = network_.RowCount(variable, cellLimit_ / states);
    if (rows == 0 || rows * states > cellLimit_ - cells_) {
      document_.Fail(element, "the table of '" + variable.name + "' would have more cells than " +
                                  std::to_string(cellLimit_ - cells_) +
                                  ", the tables' limit for a document of this size");
    }
    cells_ += rows * states;
    ReadNumbers(table, variable, rows * states);
  }

  void ReadNumbers(const DOMElement* table, Variable& variable, std::size_t expected) {
    const std::string text = XmlDocument::Text(table);
    variable.table.reserve(expected);
    std::size_t pos = 0;
    while (pos < text.size()) {
      while (pos < text.size() && (IsXmlSpace(text[pos]) || text[pos] == ',')) ++pos;
      if (pos >= text.size()) break;
      std::size_t end = pos;
      while (end < text.size() && !IsXmlSpace(text[end]) && text[end] != ',') ++end;
      const std::string_view word(text.data() + pos, end - pos);
      const std::optional<double> value = ParseDecimal(word);
      if (!value || !(*value >= 0.0 && *value <= 1.0)) {
        document_.Fail(table, "the table of '" + variable.name + "' holds '" +
                                  std::string(word.substr(0, 40)) +
                                  "', which is not a probability");
      }
      if (variable.table.size() == expected) {
        document_.Fail(table, "the table of '" + variable.name + "' has more than " +
                                  std::to_string(expected) + " numbers");
      }
      variable.table.push_back(*value);
      pos = end;
    }
    if (variable.table.size() != expected) {
      document_.Fail(table, "the table of '" + variable.name + "' needs " +
                                std::to_string(expected) + " numbers, found " +
                                std::to_string(variable.table.size()));
    }
  }

  XmlDocument document_;
  Network network_;
  std::size_t cellLimit_;
  std::size_t cells_ = 0;
};

}  // namespace

Network ReadXmlbif(std::string_view text, const std::string& source, const ReadLimits& limits) {
  return XmlbifParser(text, source, limits).Read();
}

}  // namespace bnscore::formats
