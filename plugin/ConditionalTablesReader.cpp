// The ConditionalTables reader: registers the predictors with their
// encoders, then reads each ConditionalTable into the parents table and the
// conditional probability tables.
#include <cstdlib>
#include <sstream>
#include <utility>

#include "host/VkException.h"
#include "plugin/BayesNetTranslator.h"
#include "plugin/PmmlVocabulary.h"

using xercesc::DOMElement;

namespace {

// A number read from the start of a field as a standard input stream reads
// a double: leading whitespace skipped, trailing characters ignored, 0.0
// when the field does not begin with a number.
double ReadLeadingDouble(const std::string& field) {
  std::istringstream in(field);
  double value = 0.0;
  in >> value;
  return value;
}

// A decimal integer read from the start of a field with the rules of atoi:
// leading digits only, 0 when there are none, no range check.
int ReadLeadingInt(const std::string& field) {
  return static_cast<int>(std::strtol(field.c_str(), nullptr, 10));
}

std::string CountOfParents(std::size_t count) {
  return std::to_string(count) + (count == 1 ? " parent." : " parents.");
}

}  // namespace

void BayesNetTranslator::ParseConditionalTables(const DOMElement* tables,
                                                const ScoreDictionary* dictionary,
                                                const TransformationDictionary* transformation,
                                                const CutPointMap& cutPoints,
                                                const std::vector<std::string>& predictorNames) {
  RegisterPredictors(dictionary, transformation, cutPoints, predictorNames);

  for (const DOMElement* child = GetFirstChildElt(tables); child != nullptr;
       child = GetNextSiblingElt(child)) {
    if (IsEqual(child->getTagName(), pmml::kExtension)) continue;
    if (!IsEqual(child->getTagName(), pmml::kConditionalTable)) {
      throw VkException(VkException::InvalidStructure,
                        "Only ConditionalTable elements are allowed here.");
    }
    ParseConditionalTable(child, dictionary, transformation);
  }
}

void BayesNetTranslator::RegisterPredictors(const ScoreDictionary* dictionary,
                                            const TransformationDictionary* transformation,
                                            const CutPointMap& cutPoints,
                                            const std::vector<std::string>& predictorNames) {
  for (const std::string& name : predictorNames) {
    const ScoreDictVar* variable = dictionary->GetVariable(name);
    if (variable == nullptr && transformation != nullptr) {
      model_->SetNeedDerivedPredictor(true);
      variable = transformation->GetVariable(name);
    }
    if (variable == nullptr) {
      throw VkException(VkException::NameNotFound,
                        name + "Variable name not found in data dictionary.");
    }
    model_->AddPredictorVar(name, variable);

    const int measure = variable->GetMeasure();
    const bool categorical =
        measure == ScoreDictVar::Categorical || measure == ScoreDictVar::Ordinal;
    IVkEncoder* encoder = categorical ? CreateCategoricalEncoder(variable)
                                      : CreateBinningEncoder(name, cutPoints);
    if (encoder == nullptr) {
      throw VkException(VkException::NameNotFound,
                        name + " encoder info not found in dictionary.");
    }
    model_->AddEncoder(encoder);
  }

  // The target's encoder closes the list. A schema without a predicted field
  // has no target, and the document is rejected once the body is read.
  if (const ScoreDictVar* target = model_->GetTargetVar()) {
    model_->AddEncoder(CreateCategoricalEncoder(target));
  }
}

void BayesNetTranslator::ParseConditionalTable(const DOMElement* table,
                                               const ScoreDictionary* dictionary,
                                               const TransformationDictionary* transformation) {
  const std::string fieldName = Transcode(GetAttributeForced(table, pmml::kFieldName));
  const std::string node = ResolveFieldName(fieldName, transformation, dictionary);
  const int parentsNumber = VerifyInt(table, pmml::kParentsNumber);
  if (parentsNumber < 0) {
    throw VkException(VkException::InvalidStructure,
                      "ConditionalTable for " + fieldName + ": parentsNumber " +
                          std::to_string(parentsNumber) + " is negative.");
  }
  const auto parentCount = static_cast<std::size_t>(parentsNumber);

  const DOMElement* names = GetFirstChildElt(table);
  if (names == nullptr || !IsEqual(names->getTagName(), pmml::kNames)) {
    throw VkException(VkException::InvalidStructure,
                      "<names must be the first element within ConditionalTable.");
  }
  const std::string namesText = Transcode(names->getTextContent());

  // Every row is collected before any is interpreted.
  std::vector<std::pair<std::string, int>> rows;  // text, totalN
  for (const DOMElement* row = GetNextSiblingElt(names); row != nullptr;
       row = GetNextSiblingElt(row)) {
    if (!IsEqual(row->getTagName(), pmml::kRow)) {
      throw VkException(VkException::StructureError, "Only row elements are allowed here.");
    }
    std::string text = Transcode(row->getTextContent());
    rows.emplace_back(std::move(text), VerifyInt(row, pmml::kTotalN));
  }

  // Well-formedness of names and rows is not consulted: the fields are used
  // as they come.
  std::vector<std::string> fields;
  SplitEscaped(fields, namesText);
  if (fields.size() < parentCount) {
    throw VkException(VkException::InvalidStructure,
                      "ConditionalTable for " + fieldName + ": parentsNumber is " +
                          std::to_string(parentsNumber) + " but names lists " +
                          CountOfParents(fields.size()));
  }
  std::vector<std::string> parents;
  parents.reserve(parentCount);
  for (std::size_t j = 0; j < parentCount; ++j) {
    parents.push_back(ResolveFieldName(TrimBlanks(fields[j]), transformation, dictionary));
  }
  model_->GetParentsTable()[node] = parents;

  // A later table for the same node replaces the earlier one.
  BayesNetModel::CPTable& cpt = model_->GetCPT()[node];
  cpt.clear();
  for (const auto& [text, totalN] : rows) {
    SplitEscaped(fields, text);
    BayesNetModel::ParentConfig config(parentCount, 0);
    std::vector<double> numbers;
    for (std::size_t k = 0; k < fields.size(); ++k) {
      const std::string field = TrimBlanks(fields[k]);
      if (k < parentCount) {
        config[k] = ParentValueCode(parents[k], field, dictionary);
      } else {
        numbers.push_back(ReadLeadingDouble(field));
      }
    }
    numbers.push_back(static_cast<double>(totalN));
    cpt[config] = std::move(numbers);
  }
}

int BayesNetTranslator::ParentValueCode(const std::string& parent, const std::string& value,
                                        const ScoreDictionary* dictionary) {
  const IVkEncoder* encoder = model_->GetEncoder(parent);
  if (encoder == nullptr) {
    throw VkException(VkException::NameNotFound, parent + "Variable's encoder not found.");
  }

  // Labels first: the first label equal to the value gives the code.
  if (const std::vector<std::string>* labels = encoder->GetLabels()) {
    for (std::size_t k = 0; k < labels->size(); ++k) {
      if ((*labels)[k] == value) return static_cast<int>(k);
    }
  }

  // A continuous parent's rows give its bin code as a decimal integer.
  const ScoreDictVar* variable = dictionary->GetVariable(parent);
  if (variable != nullptr && variable->GetMeasure() == ScoreDictVar::Continuous) {
    return ReadLeadingInt(value);
  }

  // A string category matches by its text or else, like a numeric one, by
  // its number (a string encoder answers MCMV::Missing() for every code).
  const bool byText = encoder->GetEncoderType() == IVkEncoder::CategoricalString;
  const double number = ReadLeadingDouble(value);
  for (int k = 0; k < encoder->GetNumCategories(); ++k) {
    if ((byText && encoder->GetCategoryString(k) == value) ||
        encoder->GetCategoryValue(k) == number) {
      return k;
    }
  }
  throw VkException(VkException::NameNotFound,
                    parent + " Variable's value " + value + " not found.");
}
