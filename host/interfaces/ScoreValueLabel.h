#ifndef MODELCORE_SCOREVALUELABEL_H_
#define MODELCORE_SCOREVALUELABEL_H_

#include <memory>
#include <string>
#include <vector>

#include "host/interfaces/ModelCoreExport.h"
#include "host/interfaces/ScoreValue.h"

// One category of a dictionary variable: its value and its display text.
// Owns its value.
class MODELCORE_API ScoreValueLabel {
 public:
  ScoreValueLabel(std::unique_ptr<ScoreValue> value, std::string label);
  ~ScoreValueLabel();

  ScoreValueLabel(const ScoreValueLabel&) = delete;
  ScoreValueLabel& operator=(const ScoreValueLabel&) = delete;

  const std::string& GetLabel() const { return label_; }
  // The category value, owned by this label (and so by its label set).
  const ScoreValue* GetValue() const { return value_.get(); }

 private:
  std::unique_ptr<ScoreValue> value_;
  std::string label_;
};

// The categories of a dictionary variable, in the order they were declared.
// Owns its labels.
class MODELCORE_API ScoreValueLabelSet {
 public:
  ScoreValueLabelSet();
  ~ScoreValueLabelSet();

  ScoreValueLabelSet(const ScoreValueLabelSet&) = delete;
  ScoreValueLabelSet& operator=(const ScoreValueLabelSet&) = delete;

  // A deep copy: new labels holding clones of the values.
  std::unique_ptr<ScoreValueLabelSet> Clone() const;

  void AddLabel(std::unique_ptr<ScoreValue> value, std::string label);

  // Readies the set for reading before an encoder is built from it. The set
  // is kept in memory, always ready, so there is nothing to do; readers call
  // it all the same, as the plug-in contract asks.
  void Prepare() const {}

  // The labels in set order. The pointers stay owned by the set.
  const std::vector<ScoreValueLabel*>& GetLabels() const { return view_; }
  int GetNumLabels() const { return static_cast<int>(view_.size()); }

 private:
  std::vector<std::unique_ptr<ScoreValueLabel>> labels_;
  std::vector<ScoreValueLabel*> view_;  // the same labels, as handed out
};

#endif  // MODELCORE_SCOREVALUELABEL_H_
