#ifndef MODELCORE_BASEDICTVAR_H_
#define MODELCORE_BASEDICTVAR_H_

#include <memory>
#include <string>
#include <vector>

#include "host/interfaces/ScoreDictVar.h"
#include "host/interfaces/ScoreValueLabel.h"

// The host's dictionary variable: name, value type, measure, categories
// (value labels), declared missing values and record position. Owns its
// label set and its missing values.
//
// Display writes one line:
//   <name> (<numeric|string>, <continuous|categorical|ordinal>) index <i>,
//   <k> categories[: <value>="<label>" ...][; missing: <value> ...]
// e.g. `age (numeric, ordinal) index 4, 2 categories: 1="low" 2.5="mid";
// missing: 99`, all on one line and ending in '\n'. Numbers use the text
// form of NumberText.h.
class MODELCORE_API BaseDictVar : public ScoreDictVar {
 public:
  BaseDictVar(std::string name, int valueType, int measure);
  ~BaseDictVar() override;

  // Appends a category; creates the label set on first use.
  void AddValueLabel(std::unique_ptr<ScoreValue> value, std::string label);
  // Declares a value missing.
  void AddMissingValue(std::unique_ptr<ScoreValue> value);

  ScoreDictVar* Clone() const override;
  bool IsMissingValue(const ScoreValue* value) const override;
  // Whether any value was declared missing: when none was, IsMissingValue
  // is just the value's IsSystemMissingValue (null: true).
  bool HasMissingValues() const { return !missingValues_.empty(); }
  const std::string& GetName() const override { return name_; }
  int GetValueType() const override { return valueType_; }
  int GetMeasure() const override { return measure_; }
  ScoreValueLabelSet* GetValueLabelSet() const override { return labels_.get(); }
  void Display(std::ostream& os) const override;
  int GetNumCategories() const override;
  void SetIndex(int index) override { index_ = index; }
  int GetIndex() const override { return index_; }

 private:
  std::string name_;
  int valueType_;
  int measure_;
  int index_ = -1;
  std::unique_ptr<ScoreValueLabelSet> labels_;  // null until a label is added
  std::vector<std::unique_ptr<ScoreValue>> missingValues_;
};

#endif  // MODELCORE_BASEDICTVAR_H_
