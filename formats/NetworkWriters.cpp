#include "formats/NetworkWriters.h"

#include <cstring>

#include "formats/Decimal.h"
#include "formats/FormatError.h"
#include "formats/XmlEscape.h"

namespace bnscore::formats {

namespace {

void AppendRow(const Variable& variable, std::size_t row, const char* separator, std::string& out) {
  const std::size_t states = variable.states.size();
  for (std::size_t k = 0; k < states; ++k) {
    if (k > 0) out += separator;
    AppendDecimal(variable.RowGiven(row) ? variable.table[row * states + k] : 0.0, out);
  }
}

// A BIF name: a bare word when it is one, else quoted.
void AppendBifName(const std::string& name, std::string& out) {
  if (name.empty() || name.find('"') != std::string::npos || name.find('\n') != std::string::npos) {
    throw FormatError("the name '" + name + "' cannot be written in BIF");
  }
  bool bare = name.find_first_of("{}()[],;|\" \t\r\f\v") == std::string::npos &&
              name.rfind("//", 0) != 0 && name.rfind("/*", 0) != 0;
  if (!bare) out += '"';
  out += name;
  if (!bare) out += '"';
}

void CheckXmlName(const std::string& name) {
  if (!IsXmlSafe(name)) {
    throw FormatError("the name '" + name + "' holds a control character or is not UTF-8");
  }
  // The reader trims XML white space from both ends.
  if (name.empty() || IsXmlSpace(name.front()) || IsXmlSpace(name.back()) ||
      name.find('\n') != std::string::npos) {
    throw FormatError("the name '" + name + "' cannot be written in XMLBIF, which trims blanks");
  }
}

}  // namespace

std::string BinsProperty(const Discretization& bins) {
  std::string text = "bins =";
  for (double cut : bins.cuts) {
    text += ' ';
    AppendDecimal(cut, text);
  }
  return text + " of " + bins.input;
}

bool ReadBinsProperty(std::string_view text, Discretization& bins) {
  if (text.substr(0, 6) != "bins =") return false;
  const std::size_t of = text.find(" of ");
  if (of == std::string_view::npos || of + 4 >= text.size()) return false;
  Discretization read;
  read.input = std::string(text.substr(of + 4));
  std::string_view cuts = text.substr(6, of - 6);
  while (!cuts.empty()) {
    while (!cuts.empty() && cuts.front() == ' ') cuts.remove_prefix(1);
    if (cuts.empty()) break;
    const std::size_t end = std::min(cuts.find(' '), cuts.size());
    const std::optional<double> cut = ParseDecimal(cuts.substr(0, end));
    if (!cut || (!read.cuts.empty() && !(*cut > read.cuts.back()))) return false;
    read.cuts.push_back(*cut);
    cuts.remove_prefix(end);
  }
  if (read.cuts.empty()) return false;
  bins = std::move(read);
  return true;
}

std::string WriteXmlbif(const Network& network) {
  std::string out =
      "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<BIF VERSION=\"0.3\">\n<NETWORK>\n";
  if (!network.name.empty()) {
    CheckXmlName(network.name);
    out += "<NAME>";
    AppendXmlText(network.name, out);
    out += "</NAME>\n";
  }
  for (const Variable& variable : network.variables) {
    CheckXmlName(variable.name);
    out += "<VARIABLE TYPE=\"nature\">\n\t<NAME>";
    AppendXmlText(variable.name, out);
    out += "</NAME>\n";
    for (const std::string& state : variable.states) {
      CheckXmlName(state);
      out += "\t<OUTCOME>";
      AppendXmlText(state, out);
      out += "</OUTCOME>\n";
    }
    if (variable.discretization) {
      CheckXmlName(variable.discretization->input);
      out += "\t<PROPERTY>";
      AppendXmlText(BinsProperty(*variable.discretization), out);
      out += "</PROPERTY>\n";
    }
    out += "</VARIABLE>\n";
  }
  for (const Variable& variable : network.variables) {
    if (!variable.HasTable()) continue;
    out += "<DEFINITION>\n\t<FOR>";
    AppendXmlText(variable.name, out);
    out += "</FOR>\n";
    for (std::size_t parent : variable.parents) {
      out += "\t<GIVEN>";
      AppendXmlText(network.variables[parent].name, out);
      out += "</GIVEN>\n";
    }
    out += "\t<TABLE>";
    const std::size_t rows = variable.table.size() / variable.states.size();
    for (std::size_t row = 0; row < rows; ++row) {
      if (row > 0) out += ' ';
      AppendRow(variable, row, " ", out);
    }
    out += "</TABLE>\n</DEFINITION>\n";
  }
  out += "</NETWORK>\n</BIF>\n";
  return out;
}

std::string WriteBif(const Network& network) {
  std::string out = "network ";
  AppendBifName(network.name.empty() ? "unknown" : network.name, out);
  out += " {\n}\n";
  for (const Variable& variable : network.variables) {
    out += "variable ";
    AppendBifName(variable.name, out);
    out += " {\n  type discrete [ " + std::to_string(variable.states.size()) + " ] { ";
    for (std::size_t k = 0; k < variable.states.size(); ++k) {
      if (k > 0) out += ", ";
      AppendBifName(variable.states[k], out);
    }
    out += " };\n";
    if (variable.discretization) {
      const std::string property = BinsProperty(*variable.discretization);
      if (property.find('"') != std::string::npos || property.find('\n') != std::string::npos) {
        throw FormatError("the field '" + variable.discretization->input +
                          "' cannot be written in BIF");
      }
      out += "  property \"" + property + "\" ;\n";
    }
    out += "}\n";
  }
  std::vector<std::size_t> codes;
  for (const Variable& variable : network.variables) {
    if (!variable.HasTable()) continue;
    out += "probability ( ";
    AppendBifName(variable.name, out);
    for (std::size_t j = 0; j < variable.parents.size(); ++j) {
      out += j == 0 ? " | " : ", ";
      AppendBifName(network.variables[variable.parents[j]].name, out);
    }
    out += " ) {\n";
    if (variable.parents.empty()) {
      out += "  table ";
      AppendRow(variable, 0, ", ", out);
      out += ";\n}\n";
      continue;
    }
    const std::size_t rows = variable.table.size() / variable.states.size();
    codes.assign(variable.parents.size(), 0);
    for (std::size_t row = 0; row < rows; ++row) {
      out += "  (";
      for (std::size_t j = 0; j < codes.size(); ++j) {
        if (j > 0) out += ", ";
        AppendBifName(network.variables[variable.parents[j]].states[codes[j]], out);
      }
      out += ") ";
      AppendRow(variable, row, ", ", out);
      out += ";\n";
      for (std::size_t j = codes.size(); j-- > 0;) {
        if (++codes[j] < network.variables[variable.parents[j]].states.size()) break;
        codes[j] = 0;
      }
    }
    out += "}\n";
  }
  return out;
}

}  // namespace bnscore::formats
