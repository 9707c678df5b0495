#include "testing/StressModels.h"

#include <charconv>

namespace bnscore::testing {

namespace {

// The shortest text that reads back to the same double.
std::string Number(double x) {
  char text[32];
  auto end = std::to_chars(text, text + sizeof text, x).ptr;
  return std::string(text, end);
}

// Appends a categorical string DataField with the given categories.
void AddField(std::string& out, const std::string& name, const std::vector<std::string>& values) {
  out += "    <DataField name=\"" + name + "\" optype=\"categorical\" dataType=\"string\">\n";
  for (const std::string& value : values) out += "      <Value value=\"" + value + "\"/>\n";
  out += "    </DataField>\n";
}

std::vector<std::string> Numbered(const std::string& prefix, int count) {
  std::vector<std::string> names;
  for (int i = 0; i < count; ++i) names.push_back(prefix + std::to_string(i));
  return names;
}

// A parentless table with the given probabilities.
void AddPrior(std::string& out, const std::string& node, const std::vector<double>& p) {
  out += "      <ConditionalTable fieldName=\"" + node + "\" parentsNumber=\"0\">\n";
  out += "        <names/>\n        <row totalN=\"100\">";
  for (std::size_t i = 0; i < p.size(); ++i) out += (i > 0 ? "; " : "") + Number(p[i]);
  out += "</row>\n      </ConditionalTable>\n";
}

void Begin(std::string& out) {
  out += "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<PMML version=\"3.1\">\n";
  out += "  <DataDictionary>\n";
}

// Closes the dictionary and writes the mining schema: t predicted, the
// predictors active.
void AddSchema(std::string& out, const std::vector<std::string>& predictors) {
  out += "  </DataDictionary>\n  <BayesNetModel functionName=\"classification\">\n";
  out += "    <MiningSchema>\n      <MiningField name=\"t\" usageType=\"predicted\"/>\n";
  for (const std::string& name : predictors) {
    out += "      <MiningField name=\"" + name + "\" usageType=\"active\"/>\n";
  }
  out += "    </MiningSchema>\n";
}

void End(std::string& out) { out += "    </ConditionalTables>\n  </BayesNetModel>\n</PMML>\n"; }

}  // namespace

StressModel PlanStressModel(int fillers) {
  constexpr int kChildren = 8;
  const std::vector<std::string> uv = {"u", "v"};
  StressModel m;
  m.fieldNames = {"p", "q"};
  for (const std::string& c : Numbered("c", kChildren)) m.fieldNames.push_back(c);
  for (const std::string& f : Numbered("f", fillers)) m.fieldNames.push_back(f);
  m.record.assign(m.fieldNames.size(), "u");
  m.record[0] = "p0";
  m.record[1] = "q0";

  std::string& out = m.pmml;
  Begin(out);
  AddField(out, "t", {"a", "b"});
  AddField(out, "p", Numbered("p", 350));
  AddField(out, "q", Numbered("q", 700));
  for (std::size_t i = 2; i < m.fieldNames.size(); ++i) AddField(out, m.fieldNames[i], uv);
  AddSchema(out, m.fieldNames);

  out += "    <LinkSource>\n      <names>parent; child; arc</names>\n";
  for (const std::string& c : Numbered("c", kChildren)) {
    for (const char* parent : {"t", "p", "q"}) {
      out += "      <row>" + std::string(parent) + "; " + c + "; yes</row>\n";
    }
  }
  out += "    </LinkSource>\n    <ConditionalTables>\n";
  AddPrior(out, "t", {0.6, 0.4});
  AddPrior(out, "p", std::vector<double>(350, 1.0 / 350));
  AddPrior(out, "q", std::vector<double>(700, 1.0 / 700));
  for (const std::string& c : Numbered("c", kChildren)) {
    out += "      <ConditionalTable fieldName=\"" + c + "\" parentsNumber=\"3\">\n";
    out += "        <names>t; p; q</names>\n";
    out += "        <row totalN=\"30\">a; p0; q0; 0.7; 0.3</row>\n";
    out += "        <row totalN=\"20\">b; p0; q0; 0.2; 0.8</row>\n";
    out += "      </ConditionalTable>\n";
  }
  for (const std::string& f : Numbered("f", fillers)) AddPrior(out, f, {0.5, 0.5});
  End(out);
  return m;
}

StressModel ManyCategoriesModel(int categories) {
  StressModel m;
  m.fieldNames = {"x"};
  m.record = {"u"};
  const double n = categories * (categories + 1.0) / 2.0;
  std::vector<double> prior;
  for (int i = 0; i < categories; ++i) prior.push_back((i + 1) / n);

  std::string& out = m.pmml;
  Begin(out);
  AddField(out, "t", Numbered("k", categories));
  AddField(out, "x", {"u", "v"});
  AddSchema(out, m.fieldNames);
  out += "    <LinkSource>\n      <names>parent; child; arc</names>\n";
  out += "      <row>t; x; yes</row>\n    </LinkSource>\n    <ConditionalTables>\n";
  AddPrior(out, "t", prior);
  out += "      <ConditionalTable fieldName=\"x\" parentsNumber=\"1\">\n        <names>t</names>\n";
  for (int i = 0; i < categories; ++i) {
    const double u = 1.0 / (i + 2);
    out += "        <row totalN=\"10\">k" + std::to_string(i) + "; " + Number(u) + "; " +
           Number(1.0 - u) + "</row>\n";
  }
  out += "      </ConditionalTable>\n";
  End(out);
  return m;
}

}  // namespace bnscore::testing
