#include "cli/ModelSummary.h"

#include <algorithm>
#include <map>
#include <memory>
#include <utility>
#include <vector>

#include <xercesc/dom/DOM.hpp>
#include <xercesc/util/XMLString.hpp>

#include "engine/CsvWriter.h"
#include "engine/FieldLayout.h"
#include "host/BaseTranslator.h"
#include "host/PmmlParser.h"
#include "host/ScoreDictionary.h"
#include "host/ScoreValueLabel.h"
#include "host/TransformationDictionary.h"

namespace {

const char* MeasureName(int measure) {
  switch (measure) {
    case ScoreDictVar::Continuous:
      return "continuous";
    case ScoreDictVar::Categorical:
      return "categorical";
    case ScoreDictVar::Ordinal:
      return "ordinal";
    default:
      return "unknown measure";
  }
}

// "name (numeric, categorical): a, b, c" and a line end.
void WriteVariable(const ScoreDictVar& var, std::ostream& out) {
  out << var.GetName() << " (" << (var.GetValueType() == 0 ? "numeric" : "string") << ", "
      << MeasureName(var.GetMeasure()) << ")";
  const ScoreValueLabelSet* labels = var.GetValueLabelSet();
  if (labels != nullptr && !labels->GetLabels().empty()) {
    const char* separator = ": ";
    for (const ScoreValueLabel* label : labels->GetLabels()) {
      NumberTextBuffer buffer;
      out << separator << label->GetValue()->GetStringView(buffer);
      separator = ", ";
    }
  }
  out << '\n';
}

void WriteVariables(const char* heading, const ScoreDictionary* dictionary, std::ostream& out) {
  std::vector<ScoreDictVar*> vars;
  if (dictionary != nullptr) dictionary->GetVariables(vars);
  out << heading << " (" << vars.size() << "):\n";
  for (const ScoreDictVar* var : vars) {
    out << "  ";
    WriteVariable(*var, out);
  }
}

std::string Text(const XMLCh* text) {
  if (text == nullptr) return {};
  char* narrow = xercesc::XMLString::transcode(text);
  std::string copy(narrow);
  xercesc::XMLString::release(&narrow);
  return copy;
}

std::string Trim(const std::string& text) {
  const std::size_t first = text.find_first_not_of(" \t\r\n");
  if (first == std::string::npos) return {};
  return text.substr(first, text.find_last_not_of(" \t\r\n") - first + 1);
}

// The ";"-separated fields of a LinkSource row, "\" escaping the next
// character, each trimmed.
std::vector<std::string> SplitRow(const std::string& text) {
  std::vector<std::string> fields(1);
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\\' && i + 1 < text.size()) {
      fields.back() += text[++i];
    } else if (text[i] == ';') {
      fields.emplace_back();
    } else {
      fields.back() += text[i];
    }
  }
  for (std::string& field : fields) field = Trim(field);
  return fields;
}

using Arc = std::pair<std::string, std::string>;  // parent, child

// The first BayesNetModel element of `document`, or null.
const xercesc::DOMElement* FindModelElement(const xercesc::DOMDocument& document) {
  xercesc::DOMNodeList* models =
      BaseTranslator::GetElementsByTagName(document.getDocumentElement(), "BayesNetModel");
  if (models == nullptr || models->getLength() == 0) return nullptr;
  return static_cast<const xercesc::DOMElement*>(models->item(0));
}

// The names of the MiningFields of the model's MiningSchema, in document
// order (those of its extensions left out).
std::vector<std::string> ReadSchemaOrder(const std::string& modelPath) {
  DocumentPtr document = PmmlParser::ParseFile(modelPath);
  const xercesc::DOMElement* model = FindModelElement(*document);
  const xercesc::DOMElement* schema =
      model != nullptr ? BaseTranslator::GetChildByTag(model, "MiningSchema") : nullptr;
  std::vector<std::string> names;
  for (const xercesc::DOMElement* field = BaseTranslator::GetFirstChildElt(schema);
       field != nullptr; field = BaseTranslator::GetNextSiblingElt(field)) {
    if (BaseTranslator::IsEqual(field->getTagName(), "MiningField")) {
      names.push_back(Text(BaseTranslator::GetAttribute(field, "name")));
    }
  }
  return names;
}

// The arcs of the first BayesNetModel's LinkSource rows whose flag is
// "yes", with derived fields named by the data field whose MiningField
// refers to them.
std::vector<Arc> ReadArcs(const std::string& modelPath) {
  DocumentPtr document = PmmlParser::ParseFile(modelPath);
  const xercesc::DOMElement* model = FindModelElement(*document);
  if (model == nullptr) return {};

  std::map<std::string, std::string> dataField;  // derived field -> data field
  xercesc::DOMNodeList* refs = BaseTranslator::GetElementsByTagName(model, "DerivedFieldRef");
  for (XMLSize_t i = 0; refs != nullptr && i < refs->getLength(); ++i) {
    const auto* ref = static_cast<const xercesc::DOMElement*>(refs->item(i));
    const xercesc::DOMNode* field = ref->getParentNode() ? ref->getParentNode()->getParentNode()
                                                         : nullptr;
    if (field == nullptr || field->getNodeType() != xercesc::DOMNode::ELEMENT_NODE) continue;
    dataField[Text(BaseTranslator::GetAttribute(ref, "name"))] =
        Text(BaseTranslator::GetAttribute(static_cast<const xercesc::DOMElement*>(field), "name"));
  }
  auto resolve = [&dataField](const std::string& name) {
    auto found = dataField.find(name);
    return found == dataField.end() ? name : found->second;
  };

  std::vector<Arc> arcs;
  for (const xercesc::DOMElement* links = BaseTranslator::GetFirstChildElt(model);
       links != nullptr; links = BaseTranslator::GetNextSiblingElt(links)) {
    if (!BaseTranslator::IsEqual(links->getTagName(), "LinkSource")) continue;
    for (const xercesc::DOMElement* row = BaseTranslator::GetFirstChildElt(links); row != nullptr;
         row = BaseTranslator::GetNextSiblingElt(row)) {
      if (!BaseTranslator::IsEqual(row->getTagName(), "row")) continue;
      std::vector<std::string> fields = SplitRow(Text(row->getTextContent()));
      if (fields.size() < 3 || fields[2] != "yes") continue;
      Arc arc(resolve(fields[0]), resolve(fields[1]));
      if (std::find(arcs.begin(), arcs.end(), arc) == arcs.end()) arcs.push_back(arc);
    }
  }
  return arcs;
}

void AddOnce(std::vector<std::string>& names, const std::string& name) {
  if (std::find(names.begin(), names.end(), name) == names.end()) names.push_back(name);
}

// The arcs, then the target's Markov blanket: its parents, its children
// and their other parents, in the order of the arcs.
void WriteNetwork(const std::vector<Arc>& arcs, const std::string& target, std::ostream& out) {
  out << "arcs (" << arcs.size() << "):\n";
  for (const Arc& arc : arcs) out << "  " << arc.first << " -> " << arc.second << '\n';
  std::vector<std::string> blanket;
  for (const Arc& arc : arcs) {
    if (arc.second == target) AddOnce(blanket, arc.first);
    if (arc.first == target) AddOnce(blanket, arc.second);
  }
  for (const Arc& arc : arcs) {
    const bool childOfTarget =
        std::find(arcs.begin(), arcs.end(), Arc(target, arc.second)) != arcs.end();
    if (childOfTarget && arc.first != target) AddOnce(blanket, arc.first);
  }
  out << "Markov blanket of " << target << " (" << blanket.size() << ")";
  const char* separator = ": ";
  for (const std::string& name : blanket) {
    out << separator << name;
    separator = ", ";
  }
  out << '\n';
}

}  // namespace

void WriteExpectedHeader(const ScoreModel& model, const std::string& modelPath,
                         std::ostream& out) {
  // The model's predictors, in the order of its mining schema.
  std::vector<std::string> predictors = FieldLayout(model, false).GetPredictorNames();
  const std::vector<std::string> schema = ReadSchemaOrder(modelPath);
  auto position = [&schema](const std::string& name) {
    return std::find(schema.begin(), schema.end(), name) - schema.begin();
  };
  std::stable_sort(predictors.begin(), predictors.end(),
                   [&position](const std::string& a, const std::string& b) {
                     return position(a) < position(b);
                   });
  CsvWriter row(256);
  for (const std::string& name : predictors) row.WriteField(name);
  row.EndRow();
  out << row.GetBuffered();
}

void WriteModelSummary(const ScoreModel& model, const std::string& modelPath, std::ostream& out) {
  out << "model: " << modelPath << '\n';
  out << "type: " << (model.GetModelType() == ScoreModel::BayesNet ? "Bayesian network" : "other")
      << " (" << model.GetModelType() << ")\n";
  const ScoreVersionInfo* version = model.GetVersionInfo();
  if (version != nullptr) out << "written by version: " << version->GetVersion() << '\n';
  out << "target: ";
  const ScoreDictVar* target = model.GetTargetVar();
  if (target != nullptr) {
    WriteVariable(*target, out);
  } else {
    out << "none\n";
  }
  // GetVarsOfRole makes a new dictionary (or none) that the caller owns.
  std::unique_ptr<ScoreDictionary> inputs(model.GetVarsOfRole(ScoreModel::InputRole));
  WriteVariables("input fields", inputs.get(), out);
  WriteVariables("derived fields", model.GetTransformationDictionary(), out);
  if (target != nullptr) WriteNetwork(ReadArcs(modelPath), target->GetName(), out);
}
