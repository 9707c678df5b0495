#include "cli/NetworkStructure.h"

#include <algorithm>
#include <optional>
#include <set>

#include <xercesc/dom/DOM.hpp>
#include <xercesc/util/XMLString.hpp>

#include "cli/ModelFile.h"
#include "host/xml/BaseTranslator.h"
#include "host/xml/PmmlParser.h"

namespace {

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

void AddOnce(std::vector<std::string>& names, std::set<std::string>& listed,
             const std::string& name) {
  if (listed.insert(name).second) names.push_back(name);
}

// Texts given for model paths (UseText).
std::map<std::string, std::string>& Texts() {
  static std::map<std::string, std::string> texts;
  return texts;
}

}  // namespace

void NetworkStructure::UseText(const std::string& modelPath, std::string text) {
  Texts()[modelPath] = std::move(text);
}

NetworkStructure NetworkStructure::Read(const std::string& modelPath) {
  const auto given = Texts().find(modelPath);
  std::optional<std::string> compressed;
  if (given == Texts().end()) compressed = bnscore::cli::ReadCompressedModel(modelPath);
  DocumentPtr document = given != Texts().end() ? PmmlParser::ParseText(given->second, modelPath)
                         : compressed           ? PmmlParser::ParseText(*compressed, modelPath)
                                                : PmmlParser::ParseFile(modelPath);
  xercesc::DOMNodeList* models =
      BaseTranslator::GetElementsByTagName(document->getDocumentElement(), "BayesNetModel");
  NetworkStructure network;
  if (models == nullptr || models->getLength() == 0) return network;
  const auto* model = static_cast<const xercesc::DOMElement*>(models->item(0));

  const xercesc::DOMElement* schema = BaseTranslator::GetChildByTag(model, "MiningSchema");
  for (const xercesc::DOMElement* field = BaseTranslator::GetFirstChildElt(schema);
       field != nullptr; field = BaseTranslator::GetNextSiblingElt(field)) {
    if (BaseTranslator::IsEqual(field->getTagName(), "MiningField")) {
      network.schemaOrder.push_back(Text(BaseTranslator::GetAttribute(field, "name")));
    }
  }

  for (const xercesc::DOMElement* e = BaseTranslator::GetFirstChildElt(model); e != nullptr;
       e = BaseTranslator::GetNextSiblingElt(e)) {
    if (!BaseTranslator::IsEqual(e->getTagName(), "Extension") ||
        Text(BaseTranslator::GetAttribute(e, "extender")) != "bnscore") {
      continue;
    }
    if (const xercesc::DOMElement* source = BaseTranslator::GetChildByTag(e, "Source")) {
      network.modelType = Text(BaseTranslator::GetAttribute(source, "modelType"));
      network.inferenceMethod = Text(BaseTranslator::GetAttribute(source, "inferenceMethod"));
    }
  }

  std::map<std::string, std::string> dataField;  // derived field -> data field
  xercesc::DOMNodeList* refs = BaseTranslator::GetElementsByTagName(model, "DerivedFieldRef");
  for (XMLSize_t i = 0; refs != nullptr && i < refs->getLength(); ++i) {
    const auto* ref = static_cast<const xercesc::DOMElement*>(refs->item(i));
    const xercesc::DOMNode* field = ref->getParentNode() ? ref->getParentNode()->getParentNode()
                                                         : nullptr;
    if (field == nullptr || field->getNodeType() != xercesc::DOMNode::ELEMENT_NODE) continue;
    const std::string derived = Text(BaseTranslator::GetAttribute(ref, "name"));
    const std::string data =
        Text(BaseTranslator::GetAttribute(static_cast<const xercesc::DOMElement*>(field), "name"));
    dataField[derived] = data;
    network.bins[data] = derived;
  }
  auto resolve = [&dataField](const std::string& name) {
    auto found = dataField.find(name);
    return found == dataField.end() ? name : found->second;
  };

  std::vector<Arc>& arcs = network.arcs;
  std::set<Arc> seen;
  for (const xercesc::DOMElement* links = BaseTranslator::GetFirstChildElt(model);
       links != nullptr; links = BaseTranslator::GetNextSiblingElt(links)) {
    if (!BaseTranslator::IsEqual(links->getTagName(), "LinkSource")) continue;
    for (const xercesc::DOMElement* row = BaseTranslator::GetFirstChildElt(links); row != nullptr;
         row = BaseTranslator::GetNextSiblingElt(row)) {
      if (!BaseTranslator::IsEqual(row->getTagName(), "row")) continue;
      std::vector<std::string> fields = SplitRow(Text(row->getTextContent()));
      if (fields.size() < 3 || fields[2] != "yes") continue;
      Arc arc(resolve(fields[0]), resolve(fields[1]));
      if (seen.insert(arc).second) arcs.push_back(arc);
    }
  }
  return network;
}

std::vector<std::string> NetworkStructure::MarkovBlanket(const std::string& node) const {
  std::vector<std::string> blanket;
  std::set<std::string> listed;
  std::set<std::string> children;
  for (const Arc& arc : arcs) {
    if (arc.second == node) AddOnce(blanket, listed, arc.first);
    if (arc.first == node) {
      AddOnce(blanket, listed, arc.second);
      children.insert(arc.second);
    }
  }
  for (const Arc& arc : arcs) {
    if (children.count(arc.second) != 0 && arc.first != node) AddOnce(blanket, listed, arc.first);
  }
  return blanket;
}
