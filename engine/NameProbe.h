#ifndef BNSCORE_ENGINE_NAMEPROBE_H_
#define BNSCORE_ENGINE_NAMEPROBE_H_

#include <algorithm>
#include <string>
#include <vector>

#include "host/interfaces/ScoreCaseRecord.h"

namespace bnscore::internal {

// A record read by name that holds no value and notes every name the model
// asks it for: scored once with every field summed out, it tells which
// fields a model read by name takes from its records. Not indexed.
class NameProbe : public ScoreCaseRecord {
 public:
  const ScoreValue* GetValue(int) const override { return nullptr; }
  const ScoreValue* GetValue(const std::string& name) const override {
    if (!WasAsked(name)) asked_.push_back(name);
    return nullptr;
  }
  bool IsIndexed() const override { return false; }
  int GetIndex(const std::string&) const override { return -1; }

  bool WasAsked(const std::string& name) const {
    return std::find(asked_.begin(), asked_.end(), name) != asked_.end();
  }

 private:
  mutable std::vector<std::string> asked_;
};

}  // namespace bnscore::internal

#endif  // BNSCORE_ENGINE_NAMEPROBE_H_
