#include "host/xml/PMMLTranslator.h"

#include <limits>
#include <map>
#include <memory>
#include <set>
#include <utility>

#include "host/data/BaseDictVar.h"
#include "host/data/BaseDictionary.h"
#include "host/data/NumericValue.h"
#include "host/data/StringValue.h"
#include "host/interfaces/VkException.h"
#include "host/text/NumberText.h"
#include "host/xml/XmlText.h"

using xercesc::DOMElement;

namespace {

bool HasAttribute(const DOMElement* element, const char* name) {
  return element->hasAttribute(xmltext::FromAscii(name).c_str());
}

// 0 for "double", "float" and "integer", 1 for anything else.
int ValueTypeOf(const DOMElement* field) {
  const XMLCh* dataType = BaseTranslator::GetAttribute(field, "dataType");
  if (BaseTranslator::IsEqual(dataType, "double") || BaseTranslator::IsEqual(dataType, "float") ||
      BaseTranslator::IsEqual(dataType, "integer")) {
    return ScoreValue::Numeric;
  }
  return ScoreValue::String;
}

// The measure named by optype; when absent (or unknown), categorical for
// string data and continuous for numbers.
int MeasureOf(const DOMElement* field, int valueType) {
  const XMLCh* optype = BaseTranslator::GetAttribute(field, "optype");
  if (BaseTranslator::IsEqual(optype, "continuous")) return ScoreDictVar::Continuous;
  if (BaseTranslator::IsEqual(optype, "categorical")) return ScoreDictVar::Categorical;
  if (BaseTranslator::IsEqual(optype, "ordinal")) return ScoreDictVar::Ordinal;
  return valueType == ScoreValue::String ? ScoreDictVar::Categorical : ScoreDictVar::Continuous;
}

std::unique_ptr<ScoreValue> MakeValue(int valueType, const std::string& text) {
  if (valueType == ScoreValue::Numeric) return std::make_unique<NumericValue>(text);
  return std::make_unique<StringValue>(text);
}

std::string LineSuffix(const DOMElement* element) {
  int line = BaseTranslator::GetLineNumber(element);
  return line > 0 ? " at line " + std::to_string(line) : std::string();
}

// The categories of one field seen so far, by value: the field's codes, the
// target's probabilities and a result's list all need one entry per
// category, so a value equal to an earlier one (the same text, or for a
// numeric field the same number) is no new category, and a number equal to
// nothing (NaN) is none at all.
class CategorySet {
 public:
  // `field`: "DataField 'name'" or "DerivedField 'name'", for messages.
  explicit CategorySet(std::string field) : field_(std::move(field)) {}

  // Records `value` (read from `text`) as a category and returns null, or
  // returns the text of the earlier category it equals. Throws
  // MalformedDictionary for NaN, naming `element`'s line.
  const std::string* Insert(const ScoreValue& value, const std::string& text,
                            const DOMElement* element) {
    if (value.GetType() != ScoreValue::Numeric) {
      auto [earlier, added] = texts_.insert(text);
      return added ? nullptr : &*earlier;
    }
    const double number = value.GetDouble();
    if (!(number == number)) {
      throw VkException(
          VkException::MalformedDictionary,
          field_ + ": the category '" + text + "'" + LineSuffix(element) + " is not a number.");
    }
    auto [earlier, added] = numbers_.emplace(number, text);
    return added ? nullptr : &earlier->second;
  }

  // Insert, throwing MalformedDictionary for a category listed before.
  void Add(const ScoreValue& value, const std::string& text, const DOMElement* element) {
    const std::string* earlier = Insert(value, text, element);
    if (earlier == nullptr) return;
    std::string message =
        field_ + ": the category '" + text + "'" + LineSuffix(element) + " is listed twice";
    if (*earlier != text) message += " (as '" + *earlier + "' before)";
    throw VkException(VkException::MalformedDictionary, message + ".");
  }

 private:
  std::string field_;
  std::map<double, std::string> numbers_;  // number -> its first text
  std::set<std::string> texts_;
};

// Reads the Value children of a DataField or DerivedField into `var`:
// property absent or "valid" gives a label (text: displayValue, else the
// value), "missing" a missing value; "invalid" and unknown properties are
// ignored. A category listed twice is refused (`categories`, which then
// holds the categories read). Returns the number of labels added.
int ReadValues(const DOMElement* field, const DeftTranscoder& transcoder, BaseDictVar& var,
               CategorySet& categories) {
  int labels = 0;
  for (const DOMElement* child = BaseTranslator::GetFirstChildElt(field); child != nullptr;
       child = BaseTranslator::GetNextSiblingElt(child)) {
    if (!BaseTranslator::IsEqual(child->getTagName(), "Value")) continue;
    std::string value = transcoder.transcodeTo(BaseTranslator::GetAttribute(child, "value"));
    const XMLCh* property = BaseTranslator::GetAttribute(child, "property");
    if (BaseTranslator::IsEqual(property, "") || BaseTranslator::IsEqual(property, "valid")) {
      std::string label =
          HasAttribute(child, "displayValue")
              ? transcoder.transcodeTo(BaseTranslator::GetAttribute(child, "displayValue"))
              : value;
      std::unique_ptr<ScoreValue> category = MakeValue(var.GetValueType(), value);
      categories.Add(*category, value, child);
      var.AddValueLabel(std::move(category), std::move(label));
      ++labels;
    } else if (BaseTranslator::IsEqual(property, "missing")) {
      var.AddMissingValue(MakeValue(var.GetValueType(), value));
    }
  }
  return labels;
}

DiscretizeBin::Closure ClosureOf(const DOMElement* interval) {
  const XMLCh* closure = BaseTranslator::GetAttribute(interval, "closure");
  if (BaseTranslator::IsEqual(closure, "openOpen")) return DiscretizeBin::OpenOpen;
  if (BaseTranslator::IsEqual(closure, "closedOpen")) return DiscretizeBin::ClosedOpen;
  if (BaseTranslator::IsEqual(closure, "closedClosed")) return DiscretizeBin::ClosedClosed;
  return DiscretizeBin::OpenClosed;  // the default, also for unknown values
}

// Reads a margin attribute if present. A margin that is not a number is
// kept as NaN, so that the bin matches nothing.
void ReadMargin(const DOMElement* interval, const char* name, bool& has, double& margin) {
  has = HasAttribute(interval, name);
  if (!has) return;
  std::string text = xmltext::ToUtf8(BaseTranslator::GetAttribute(interval, name));
  if (!ParseNumber(text, margin)) margin = std::numeric_limits<double>::quiet_NaN();
}

DiscretizeBin ReadBin(const DOMElement* binElement, const DeftTranscoder& transcoder) {
  DiscretizeBin bin;
  bin.hasBinValue = HasAttribute(binElement, "binValue");
  if (bin.hasBinValue) {
    bin.binValue = transcoder.transcodeTo(BaseTranslator::GetAttribute(binElement, "binValue"));
  }
  const DOMElement* interval = BaseTranslator::GetChildByTag(binElement, "Interval");
  if (interval == nullptr) {
    // No interval to test against: the bin matches nothing.
    bin.hasLeftMargin = true;
    bin.leftMargin = std::numeric_limits<double>::quiet_NaN();
    return bin;
  }
  bin.closure = ClosureOf(interval);
  ReadMargin(interval, "leftMargin", bin.hasLeftMargin, bin.leftMargin);
  ReadMargin(interval, "rightMargin", bin.hasRightMargin, bin.rightMargin);
  return bin;
}

std::unique_ptr<Discretization> ReadDiscretize(const DOMElement* discretize,
                                               const DeftTranscoder& transcoder) {
  auto d = std::make_unique<Discretization>();
  d->field = transcoder.transcodeTo(BaseTranslator::GetAttribute(discretize, "field"));
  d->hasDefaultValue = HasAttribute(discretize, "defaultValue");
  if (d->hasDefaultValue) {
    d->defaultValue =
        transcoder.transcodeTo(BaseTranslator::GetAttribute(discretize, "defaultValue"));
  }
  d->hasMapMissingTo = HasAttribute(discretize, "mapMissingTo");
  if (d->hasMapMissingTo) {
    d->mapMissingTo =
        transcoder.transcodeTo(BaseTranslator::GetAttribute(discretize, "mapMissingTo"));
  }
  for (const DOMElement* child = BaseTranslator::GetFirstChildElt(discretize); child != nullptr;
       child = BaseTranslator::GetNextSiblingElt(child)) {
    if (BaseTranslator::IsEqual(child->getTagName(), "DiscretizeBin")) {
      d->bins.push_back(ReadBin(child, transcoder));
    }
  }
  return d;
}

// The first child element that defines the field's value: anything but
// Value and Extension.
const DOMElement* TransformationOf(const DOMElement* derivedField) {
  for (const DOMElement* child = BaseTranslator::GetFirstChildElt(derivedField); child != nullptr;
       child = BaseTranslator::GetNextSiblingElt(child)) {
    if (!BaseTranslator::IsEqual(child->getTagName(), "Value") &&
        !BaseTranslator::IsEqual(child->getTagName(), "Extension")) {
      return child;
    }
  }
  return nullptr;
}

}  // namespace

PMMLTranslator::PMMLTranslator(const std::string& dialect) : dialect_(dialect) {}

PMMLTranslator::~PMMLTranslator() = default;

ScoreDictionary* PMMLTranslator::ParseDictionary(const DOMElement* dataDictionary) {
  if (!transcoder_) CreateTranscoder("");
  auto dictionary = std::make_unique<BaseDictionary>();
  for (const DOMElement* field = GetFirstChildElt(dataDictionary); field != nullptr;
       field = GetNextSiblingElt(field)) {
    if (!IsEqual(field->getTagName(), "DataField")) continue;
    if (!HasAttribute(field, "name") || IsEqual(GetAttribute(field, "name"), "")) {
      throw VkException(VkException::MalformedDictionary,
                        "Attribute name is required in <DataField>" + LineSuffix(field) + ".");
    }
    std::string name = transcoder_->transcodeTo(GetAttribute(field, "name"));
    if (dictionary->GetVariable(name) != nullptr) {
      throw VkException(
          VkException::MalformedDictionary,
          "DataField name '" + name + "'" + LineSuffix(field) + " is already defined.");
    }
    int valueType = ValueTypeOf(field);
    auto var = std::make_unique<BaseDictVar>(name, valueType, MeasureOf(field, valueType));
    CategorySet categories("DataField '" + name + "'");
    ReadValues(field, *transcoder_, *var, categories);
    dictionary->AddVariable(name, var.release());
  }
  return dictionary.release();
}

TransformationDictionary* PMMLTranslator::HandleTransformationDictionary(
    const DOMElement* transformationDictionary, const ScoreDictionary* dataDictionary) {
  (void)dataDictionary;  // derived values read the data dictionary when computed
  if (!transcoder_) CreateTranscoder("");
  auto dictionary = std::make_unique<TransformationDictionary>();
  for (const DOMElement* field = GetFirstChildElt(transformationDictionary); field != nullptr;
       field = GetNextSiblingElt(field)) {
    if (!IsEqual(field->getTagName(), "DerivedField")) continue;
    if (IsEqual(GetAttribute(field, "name"), "")) continue;
    std::string name = transcoder_->transcodeTo(GetAttribute(field, "name"));
    int valueType = ValueTypeOf(field);
    auto var = std::make_unique<BaseDictVar>(name, valueType, MeasureOf(field, valueType));
    CategorySet categories("DerivedField '" + name + "'");
    int labels = ReadValues(field, *transcoder_, *var, categories);

    std::unique_ptr<Discretization> discretization;
    const DOMElement* transformation = TransformationOf(field);
    if (transformation != nullptr && IsEqual(transformation->getTagName(), "Discretize")) {
      discretization = ReadDiscretize(transformation, *transcoder_);
    }
    if (labels == 0 && discretization) {
      // Bins may share a value: each distinct one is a category, once.
      for (const DiscretizeBin& bin : discretization->bins) {
        if (!bin.hasBinValue) continue;
        std::unique_ptr<ScoreValue> value = MakeValue(valueType, bin.binValue);
        if (categories.Insert(*value, bin.binValue, field) == nullptr) {
          var->AddValueLabel(std::move(value), bin.binValue);
        }
      }
    }
    dictionary->AddDerivedField(std::move(var), std::move(discretization));
  }
  return dictionary.release();
}
