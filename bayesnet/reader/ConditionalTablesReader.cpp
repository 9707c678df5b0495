#include "bayesnet/reader/ConditionalTablesReader.h"

#include <algorithm>
#include <cstdlib>
#include <unordered_map>
#include <utility>

#include "bayesnet/reader/EncoderFactory.h"
#include "bayesnet/reader/FieldText.h"
#include "bayesnet/reader/PmmlVocabulary.h"
#include "host/interfaces/VkException.h"
#include "host/text/NumberText.h"

using xercesc::DOMElement;

namespace {

// A decimal integer read from the start of a field with the rules of atoi:
// leading digits only, 0 when there are none, no range check.
int ReadLeadingInt(const std::string& field) {
  return static_cast<int>(std::strtol(field.c_str(), nullptr, 10));
}

// The codes of one parent's values as table rows give them: the first
// label equal to the value; else, for a continuous parent, the bin's code
// as a decimal integer; else the first category whose text (string
// encoders only) or number equals the value. Built once per parent and
// table, so that a row costs a few hash lookups, not a walk over every
// category of every parent.
class ParentValueIndex {
 public:
  ParentValueIndex(const IVkEncoder& encoder, bool continuous) : continuous_(continuous) {
    if (const std::vector<std::string>* labels = encoder.GetLabels()) {
      for (std::size_t k = 0; k < labels->size(); ++k) {
        labels_.emplace((*labels)[k], static_cast<int>(k));
      }
    }
    if (continuous_) return;
    const bool byText = encoder.GetEncoderType() == IVkEncoder::CategoricalString;
    for (int k = 0; k < encoder.GetNumCategories(); ++k) {
      if (byText) texts_.emplace(encoder.GetCategoryString(k), k);
      numbers_.emplace(encoder.GetCategoryValue(k), k);  // emplace keeps the first
    }
  }

  // The value's code, or -1 when no category matches.
  int Code(const std::string& value) const {
    if (const auto label = labels_.find(value); label != labels_.end()) return label->second;
    if (continuous_) return ReadLeadingInt(value);
    int code = -1;
    if (const auto text = texts_.find(value); text != texts_.end()) code = text->second;
    if (const auto number = numbers_.find(ReadLeadingNumber(value)); number != numbers_.end()) {
      if (code < 0 || number->second < code) code = number->second;
    }
    return code;
  }

 private:
  bool continuous_;
  std::unordered_map<std::string, int> labels_;
  std::unordered_map<std::string, int> texts_;
  std::unordered_map<double, int> numbers_;  // NaN never matches, as with ==
};

// The index of each parent of one table, made at its first use.
class ParentValueIndexes {
 public:
  ParentValueIndexes(const BayesNetModel& model, const ScoreDictionary* dictionary)
      : model_(model), dictionary_(dictionary) {}

  int Code(const std::string& parent, const std::string& value) {
    auto found = indexes_.find(parent);
    if (found == indexes_.end()) {
      const IVkEncoder* encoder = model_.GetEncoder(parent);
      if (encoder == nullptr) {
        throw VkException(VkException::NameNotFound, parent + "Variable's encoder not found.");
      }
      const ScoreDictVar* variable = dictionary_->GetVariable(parent);
      const bool continuous =
          variable != nullptr && variable->GetMeasure() == ScoreDictVar::Continuous;
      found = indexes_.emplace(parent, ParentValueIndex(*encoder, continuous)).first;
    }
    const int code = found->second.Code(value);
    if (code < 0) {
      throw VkException(VkException::NameNotFound,
                        parent + " Variable's value " + value + " not found.");
    }
    return code;
  }

 private:
  const BayesNetModel& model_;
  const ScoreDictionary* dictionary_;
  std::unordered_map<std::string, ParentValueIndex> indexes_;
};

std::string CountOfParents(std::size_t count) {
  return std::to_string(count) + (count == 1 ? " parent." : " parents.");
}

}  // namespace

void ConditionalTablesReader::Read(const DOMElement* tables) {
  RegisterPredictors();

  for (const DOMElement* child = Dom::GetFirstChildElt(tables); child != nullptr;
       child = Dom::GetNextSiblingElt(child)) {
    if (Dom::IsEqual(child->getTagName(), pmml::kExtension)) continue;
    if (!Dom::IsEqual(child->getTagName(), pmml::kConditionalTable)) {
      throw VkException(VkException::InvalidStructure,
                        "Only ConditionalTable elements are allowed here.");
    }
    ReadTable(child);
  }
}

void ConditionalTablesReader::RegisterPredictors() {
  for (const std::string& name : predictorNames_) {
    const ScoreDictVar* variable = dictionary_->GetVariable(name);
    if (variable == nullptr && transformation_ != nullptr) {
      model_.SetNeedDerivedPredictor(true);
      variable = transformation_->GetVariable(name);
    }
    if (variable == nullptr) {
      throw VkException(VkException::NameNotFound,
                        name + "Variable name not found in data dictionary.");
    }
    model_.AddPredictorVar(name, variable);

    const int measure = variable->GetMeasure();
    const bool categorical =
        measure == ScoreDictVar::Categorical || measure == ScoreDictVar::Ordinal;
    IVkEncoder* encoder = categorical ? EncoderFactory::CreateCategoricalEncoder(variable)
                                      : EncoderFactory::CreateBinningEncoder(
                                            name, model_.GetDerivedField(name), cutPoints_);
    if (encoder == nullptr) {
      throw VkException(VkException::NameNotFound, name + " encoder info not found in dictionary.");
    }
    model_.AddEncoder(encoder);
  }

  // The target's encoder closes the list. A schema without a predicted field
  // has no target, and the document is rejected once the body is read.
  if (const ScoreDictVar* target = model_.GetTargetVar()) {
    model_.AddEncoder(EncoderFactory::CreateCategoricalEncoder(target));
  }
}

void ConditionalTablesReader::ReadTable(const DOMElement* table) {
  const std::string fieldName = Transcode(Dom::GetAttributeForced(table, pmml::kFieldName));
  const std::string node = fields_.Resolve(fieldName);
  const int parentsNumber = Dom::VerifyInt(table, pmml::kParentsNumber);
  if (parentsNumber < 0) {
    throw VkException(VkException::InvalidStructure,
                      "ConditionalTable for " + fieldName + ": parentsNumber " +
                          std::to_string(parentsNumber) + " is negative.");
  }
  const auto parentCount = static_cast<std::size_t>(parentsNumber);

  const DOMElement* names = Dom::GetFirstChildElt(table);
  if (names == nullptr || !Dom::IsEqual(names->getTagName(), pmml::kNames)) {
    throw VkException(VkException::InvalidStructure,
                      "<names must be the first element within ConditionalTable.");
  }
  std::string namesText;
  ElementText(names, namesText);

  // Every row is collected before any is interpreted.
  std::vector<std::pair<std::string, int>> rows;  // text, totalN
  for (const DOMElement* row = Dom::GetNextSiblingElt(names); row != nullptr;
       row = Dom::GetNextSiblingElt(row)) {
    if (!Dom::IsEqual(row->getTagName(), pmml::kRow)) {
      throw VkException(VkException::StructureError, "Only row elements are allowed here.");
    }
    std::string text;
    ElementText(row, text);
    rows.emplace_back(std::move(text), Dom::VerifyInt(row, pmml::kTotalN));
  }

  parentValuesRead_ += rows.size() * parentCount;
  if (parentValuesRead_ > kMaxParentValues) {
    const int line = Dom::GetLineNumber(table);
    throw VkException(VkException::InvalidStructure,
                      "ConditionalTable for " + fieldName +
                          (line > 0 ? " at line " + std::to_string(line) : std::string()) + ": " +
                          std::to_string(rows.size()) + " rows of " + std::to_string(parentCount) +
                          " parents take the tables past " + std::to_string(kMaxParentValues) +
                          " parent values.");
  }

  // Well-formedness of names and rows is not consulted: the fields are used
  // as they come.
  std::vector<std::string> fields;
  fieldtext::SplitEscaped(fields, namesText);
  if (fields.size() < parentCount) {
    throw VkException(VkException::InvalidStructure,
                      "ConditionalTable for " + fieldName + ": parentsNumber is " +
                          std::to_string(parentsNumber) + " but names lists " +
                          CountOfParents(fields.size()));
  }
  std::vector<std::string> parents;
  parents.reserve(parentCount);
  for (std::size_t j = 0; j < parentCount; ++j) {
    parents.push_back(fields_.Resolve(fieldtext::TrimBlanks(fields[j])));
  }
  model_.GetParentsTable()[node] = parents;

  // A later table for the same node replaces the earlier one.
  BayesNetModel::CPTable& cpt = model_.GetCPT()[node];
  cpt.clear();
  ParentValueIndexes codes(model_, dictionary_);
  for (const auto& [text, totalN] : rows) {
    fieldtext::SplitEscaped(fields, text);
    BayesNetModel::ParentConfig config(parentCount, 0);
    std::vector<double> numbers;
    numbers.reserve(fields.size() - std::min(fields.size(), parentCount) + 1);
    for (std::size_t k = 0; k < fields.size(); ++k) {
      if (k < parentCount) {
        fieldtext::TrimBlanksInPlace(fields[k]);
        config[k] = codes.Code(parents[k], fields[k]);
      } else {
        // Blanks around a number are passed over by the reading itself.
        numbers.push_back(ReadLeadingNumber(fields[k]));
      }
    }
    numbers.push_back(static_cast<double>(totalN));
    cpt.insert_or_assign(std::move(config), std::move(numbers));
  }
}
