#include "formats/PmmlWriter.h"

#include <algorithm>
#include <cmath>
#include <unordered_set>

#include "formats/Decimal.h"
#include "formats/FormatError.h"
#include "formats/XmlEscape.h"

namespace bnscore::formats {

namespace {

// A name the model's ';'-separated lists and XML can carry unchanged. The
// lists' fields are read trimmed of blanks, and a row's text of white
// space, so a name may neither begin nor end with either.
void CheckName(const std::string& name, const char* what) {
  if (name.empty()) throw FormatError(std::string("a ") + what + " has an empty name");
  if (IsXmlSpace(name.front()) || IsXmlSpace(name.back())) {
    throw FormatError(std::string("the ") + what + " '" + name +
                      "' begins or ends with white space, which the model's tables would drop");
  }
  if (!IsXmlSafe(name)) {
    throw FormatError(std::string("the ") + what + " '" + name +
                      "' holds a control character or is not UTF-8");
  }
}

// One field of a ';'-separated list of the model: '\' and ';' escaped,
// then escaped for XML text.
void AppendField(std::string_view field, std::string& out) {
  std::string escaped;
  escaped.reserve(field.size());
  for (char c : field) {
    if (c == '\\' || c == ';') escaped += '\\';
    escaped += c;
  }
  AppendXmlText(escaped, out);
}

void Attribute(const char* name, std::string_view value, std::string& out) {
  out += ' ';
  out += name;
  out += "=\"";
  AppendXmlAttribute(value, out);
  out += '"';
}

std::string Decimal(double value) {
  std::string text;
  AppendDecimal(value, text);
  return text;
}

class Writer {
 public:
  Writer(const Network& network, const std::string& target) : network_(network) {
    const long index = network.Find(target);
    if (index < 0) throw FormatError("the network has no variable '" + target + "'");
    target_ = static_cast<std::size_t>(index);
    if (network.variables[target_].discretization) {
      throw FormatError("the target '" + target +
                        "' is a binned field; the target must be a "
                        "categorical variable");
    }
    if (!IsXmlSafe(network.name)) {
      throw FormatError("the network's name '" + network.name +
                        "' holds a control character or is not UTF-8");
    }
    std::unordered_set<std::string_view> fields;
    for (const Variable& variable : network.variables) {
      CheckName(variable.name, "variable");
      for (const std::string& state : variable.states) CheckName(state, "state");
      if (variable.discretization) {
        CheckName(variable.discretization->input, "binned field's input");
        hasBins_ = true;
      }
    }
    for (const Variable& variable : network.variables) {
      if (!fields.insert(FieldName(variable)).second) {
        throw FormatError("the field '" + FieldName(variable) + "' would be defined twice");
      }
    }
    if (hasBins_) {
      for (const Variable& variable : network.variables) {
        if (variable.discretization && fields.count(variable.name) != 0) {
          throw FormatError("the binned field '" + variable.name + "' has the name of a field");
        }
      }
    }
  }

  std::string Write() {
    out_.reserve(4096);
    out_ += "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<PMML version=\"3.1\">\n  <Header/>\n";
    if (!network_.parameterLearning.empty()) {
      out_ +=
          "  <MiningBuildTask>\n    <Extension>\n      <BayesNetSettings>\n"
          "        <ParameterLearning";
      Attribute("method", network_.parameterLearning, out_);
      out_ += "/>\n      </BayesNetSettings>\n    </Extension>\n  </MiningBuildTask>\n";
    }
    WriteDataDictionary();
    if (hasBins_) WriteTransformationDictionary();
    const Variable& target = network_.variables[target_];
    out_ += "  <BayesNetModel";
    Attribute("modelName", network_.name.empty() ? target.name : network_.name, out_);
    out_ += " functionName=\"classification\">\n";
    WriteMiningSchema();
    if (!network_.modelType.empty() || !network_.inferenceMethod.empty()) {
      out_ += "    <Extension extender=\"bnscore\" name=\"source\">\n      <Source";
      if (!network_.modelType.empty()) Attribute("modelType", network_.modelType, out_);
      if (!network_.inferenceMethod.empty()) {
        Attribute("inferenceMethod", network_.inferenceMethod, out_);
      }
      out_ += "/>\n    </Extension>\n";
    }
    if (!network_.learningSettings.empty()) {
      out_ += "    <Extension extender=\"bnscore\" name=\"learning\">\n      <Learning";
      for (const auto& [setting, value] : network_.learningSettings) {
        Attribute(setting.c_str(), value, out_);
      }
      out_ += "/>\n    </Extension>\n";
    }
    WriteLinkSource();
    WriteTables();
    out_ += "  </BayesNetModel>\n</PMML>\n";
    return std::move(out_);
  }

 private:
  static const std::string& FieldName(const Variable& variable) {
    return variable.discretization ? variable.discretization->input : variable.name;
  }

  void WriteDataDictionary() {
    out_ +=
        "  <DataDictionary numberOfFields=\"" + std::to_string(network_.variables.size()) + "\">\n";
    for (const Variable& variable : network_.variables) {
      out_ += "    <DataField";
      Attribute("name", FieldName(variable), out_);
      if (variable.discretization) {
        out_ += " optype=\"continuous\" dataType=\"double\"/>\n";
        continue;
      }
      out_ += " optype=\"categorical\" dataType=\"string\">\n";
      for (const std::string& state : variable.states) {
        out_ += "      <Value";
        Attribute("value", state, out_);
        out_ += "/>\n";
      }
      out_ += "    </DataField>\n";
    }
    out_ += "  </DataDictionary>\n";
  }

  void WriteTransformationDictionary() {
    out_ += "  <TransformationDictionary>\n";
    for (const Variable& variable : network_.variables) {
      if (!variable.discretization) continue;
      const std::vector<double>& cuts = variable.discretization->cuts;
      out_ += "    <DerivedField";
      Attribute("name", variable.name, out_);
      out_ += " optype=\"categorical\" dataType=\"string\">\n      <Discretize";
      Attribute("field", variable.discretization->input, out_);
      out_ += ">\n";
      for (std::size_t bin = 0; bin <= cuts.size(); ++bin) {
        out_ += "        <DiscretizeBin";
        Attribute("binValue", variable.states[bin], out_);
        out_ += ">\n          <Interval closure=\"";
        out_ += bin == cuts.size() ? "openOpen\"" : "openClosed\"";
        if (bin > 0) Attribute("leftMargin", Decimal(cuts[bin - 1]), out_);
        if (bin < cuts.size()) Attribute("rightMargin", Decimal(cuts[bin]), out_);
        out_ += "/>\n        </DiscretizeBin>\n";
      }
      out_ += "      </Discretize>\n    </DerivedField>\n";
    }
    out_ += "  </TransformationDictionary>\n";
  }

  void WriteMiningSchema() {
    out_ += "    <MiningSchema>\n      <MiningField";
    Attribute("name", network_.variables[target_].name, out_);
    out_ += " usageType=\"predicted\"/>\n";
    for (std::size_t i = 0; i < network_.variables.size(); ++i) {
      if (i == target_) continue;
      const Variable& variable = network_.variables[i];
      out_ += "      <MiningField";
      Attribute("name", FieldName(variable), out_);
      if (!variable.discretization) {
        out_ += " usageType=\"active\"/>\n";
        continue;
      }
      out_ += " usageType=\"active\">\n        <Extension>\n          <DerivedFieldRef";
      Attribute("name", variable.name, out_);
      out_ += "/>\n        </Extension>\n      </MiningField>\n";
    }
    out_ += "    </MiningSchema>\n";
  }

  void WriteLinkSource() {
    out_ += "    <LinkSource>\n      <names>parent;child;arc</names>\n";
    for (const Variable& variable : network_.variables) {
      for (std::size_t parent : SortedParents(variable)) {
        out_ += "      <row>";
        AppendField(network_.variables[parent].name, out_);
        out_ += "; ";
        AppendField(variable.name, out_);
        out_ += "; yes</row>\n";
      }
    }
    out_ += "    </LinkSource>\n";
  }

  // A variable's parents in network order: the order its table is written
  // in, whatever order the source gave them.
  static std::vector<std::size_t> SortedParents(const Variable& variable) {
    std::vector<std::size_t> parents = variable.parents;
    std::sort(parents.begin(), parents.end());
    return parents;
  }

  void WriteTables() {
    out_ += "    <ConditionalTables>\n";
    std::vector<std::size_t> codes;
    std::vector<std::size_t> strides;
    for (const Variable& variable : network_.variables) {
      const std::vector<std::size_t> parents = SortedParents(variable);
      out_ += "      <ConditionalTable";
      Attribute("fieldName", variable.name, out_);
      out_ += " parentsNumber=\"" + std::to_string(parents.size()) + "\">\n        <names>";
      for (std::size_t j = 0; j < parents.size(); ++j) {
        if (j > 0) out_ += ';';
        AppendField(network_.variables[parents[j]].name, out_);
      }
      out_ += "</names>\n";
      // The stride of each sorted parent in the source's row numbering.
      strides.assign(parents.size(), 0);
      std::size_t stride = 1;
      for (std::size_t j = variable.parents.size(); j-- > 0;) {
        const std::size_t at = static_cast<std::size_t>(
            std::lower_bound(parents.begin(), parents.end(), variable.parents[j]) -
            parents.begin());
        strides[at] = stride;
        stride *= network_.variables[variable.parents[j]].states.size();
      }
      const std::size_t states = variable.states.size();
      const std::size_t rows = variable.HasTable() ? variable.table.size() / states : 0;
      codes.assign(parents.size(), 0);
      for (std::size_t n = 0; n < rows; ++n) {
        std::size_t row = 0;
        for (std::size_t j = 0; j < codes.size(); ++j) row += codes[j] * strides[j];
        if (variable.RowGiven(row)) WriteRow(variable, parents, row, codes);
        // The next configuration: the last parent fastest.
        for (std::size_t j = codes.size(); j-- > 0;) {
          if (++codes[j] < network_.variables[parents[j]].states.size()) break;
          codes[j] = 0;
        }
      }
      out_ += "      </ConditionalTable>\n";
    }
    out_ += "    </ConditionalTables>\n";
  }

  void WriteRow(const Variable& variable, const std::vector<std::size_t>& parents, std::size_t row,
                const std::vector<std::size_t>& codes) {
    const double count = variable.counts.empty() ? 0.0 : variable.counts[row];
    out_ += "        <row totalN=\"";
    out_ +=
        std::to_string(std::isfinite(count) && std::fabs(count) < 2e9 ? std::llround(count) : 0LL);
    out_ += "\">";
    for (std::size_t j = 0; j < codes.size(); ++j) {
      const Variable& parent = network_.variables[parents[j]];
      if (parent.discretization) {
        out_ += std::to_string(codes[j]);
      } else {
        AppendField(parent.states[codes[j]], out_);
      }
      out_ += "; ";
    }
    const std::size_t states = variable.states.size();
    for (std::size_t k = 0; k < states; ++k) {
      if (k > 0) out_ += "; ";
      AppendDecimal(variable.table[row * states + k], out_);
    }
    out_ += "</row>\n";
  }

  const Network& network_;
  std::size_t target_ = 0;
  bool hasBins_ = false;
  std::string out_;
};

}  // namespace

std::string WritePmml(const Network& network, const std::string& target) {
  return Writer(network, target).Write();
}

}  // namespace bnscore::formats
