#include "host/TransformationDictionary.h"

#include <utility>

#include "host/NumericValue.h"

// A margin that could not be read is stored as NaN: every comparison with
// it is false, so such a bin contains no value.
bool DiscretizeBin::Contains(double x) const {
  bool closedLeft = closure == ClosedOpen || closure == ClosedClosed;
  bool closedRight = closure == OpenClosed || closure == ClosedClosed;
  if (hasLeftMargin && !(closedLeft ? x >= leftMargin : x > leftMargin)) return false;
  if (hasRightMargin && !(closedRight ? x <= rightMargin : x < rightMargin)) return false;
  return true;
}

// A derived variable (owned by the dictionary) with its discretization, if
// any, and, for a numeric variable, the bin, default and missing values
// already read as numbers so that evaluation parses nothing.
struct TransformationDictionary::Derived {
  BaseDictVar* var = nullptr;
  std::unique_ptr<Discretization> discretization;
  std::vector<double> binNumbers;
  double defaultNumber = 0.0;
  double missingNumber = 0.0;
};

TransformationDictionary::TransformationDictionary() = default;

TransformationDictionary::~TransformationDictionary() = default;

bool TransformationDictionary::AddDerivedField(std::unique_ptr<BaseDictVar> var,
                                               std::unique_ptr<Discretization> discretization) {
  if (!var || GetVariable(var->GetName()) != nullptr) return false;
  Derived derived;
  derived.var = var.get();
  if (discretization) {
    for (const DiscretizeBin& bin : discretization->bins) {
      derived.binNumbers.push_back(NumericValue(bin.binValue).GetDouble());
    }
    derived.defaultNumber = NumericValue(discretization->defaultValue).GetDouble();
    derived.missingNumber = NumericValue(discretization->mapMissingTo).GetDouble();
  }
  derived.discretization = std::move(discretization);
  std::string name = var->GetName();
  AddVariable(name, var.release());
  derived_.push_back(std::move(derived));
  return true;
}

// What one calling thread keeps: its derived-values record, and the input
// record last seen (when it was a BaseCaseRecord, by its layout) with the
// positions of the discretizations' input fields in it.
struct TransformationDictionary::ThreadState {
  std::unique_ptr<BaseCaseRecord> record;
  std::uint64_t inputLayout = 0;  // 0: none
  std::vector<int> inputPositions;
  std::vector<const ScoreValue*> inputs;  // per derived field, this call
  // The data dictionary last seen, with its variable count then, and its
  // variable of each discretization's input field (null: none).
  const ScoreDictionary* dictionary = nullptr;
  int dictionarySize = -1;
  std::vector<const ScoreDictVar*> inputVars;
};

void TransformationDictionary::SetUpDerivedCaseRecord() {
  std::lock_guard<std::mutex> lock(statesMutex_);
  threadStates_.clear();
}

TransformationDictionary::ThreadState& TransformationDictionary::GetThreadState() {
  std::lock_guard<std::mutex> lock(statesMutex_);
  std::unique_ptr<ThreadState>& state = threadStates_[std::this_thread::get_id()];
  if (!state || state->record->GetNumFields() != static_cast<int>(derived_.size())) {
    std::vector<std::string> names;
    names.reserve(derived_.size());
    for (const Derived& derived : derived_) names.push_back(derived.var->GetName());
    state = std::make_unique<ThreadState>();
    state->record = std::make_unique<BaseCaseRecord>(std::move(names), false);
    state->inputs.resize(derived_.size());
  }
  return *state;
}

void TransformationDictionary::FindInputVars(const ScoreDictionary* dictionary,
                                             ThreadState& state) const {
  const int size = dictionary != nullptr ? dictionary->GetNumVariables() : -1;
  if (dictionary == state.dictionary && size == state.dictionarySize &&
      state.inputVars.size() == derived_.size()) {
    return;
  }
  state.inputVars.assign(derived_.size(), nullptr);
  for (std::size_t i = 0; i < derived_.size(); ++i) {
    const Discretization* d = derived_[i].discretization.get();
    if (d != nullptr && dictionary != nullptr) state.inputVars[i] = dictionary->GetVariable(d->field);
  }
  state.dictionary = dictionary;
  state.dictionarySize = size;
}

void TransformationDictionary::FindInputs(const ScoreCaseRecord* record, ThreadState& state) const {
  const auto* base = dynamic_cast<const BaseCaseRecord*>(record);
  if (base != nullptr && base->GetLayoutId() != state.inputLayout) {
    state.inputPositions.assign(derived_.size(), -1);
    for (std::size_t i = 0; i < derived_.size(); ++i) {
      const Discretization* d = derived_[i].discretization.get();
      if (d != nullptr) state.inputPositions[i] = base->GetIndex(d->field);
    }
    state.inputLayout = base->GetLayoutId();
  }
  for (std::size_t i = 0; i < derived_.size(); ++i) {
    const Discretization* d = derived_[i].discretization.get();
    if (d == nullptr || record == nullptr) {
      state.inputs[i] = nullptr;
    } else if (base != nullptr) {
      state.inputs[i] = base->GetValue(state.inputPositions[i]);
    } else {
      state.inputs[i] = record->GetValue(d->field);
    }
  }
}

const ScoreCaseRecord* TransformationDictionary::GetValuesForDeriedVars(
    const ScoreCaseRecord* record, const ScoreDictionary* dataDictionary) {
  ThreadState& state = GetThreadState();
  BaseCaseRecord& derivedRecord = *state.record;
  FindInputs(record, state);
  FindInputVars(dataDictionary, state);
  for (std::size_t i = 0; i < derived_.size(); ++i) {
    const int position = static_cast<int>(i);
    const Derived& derived = derived_[i];
    const Discretization* d = derived.discretization.get();
    if (d == nullptr) {
      derivedRecord.ClearValue(position);
      continue;
    }

    const ScoreValue* input = state.inputs[i];
    const ScoreDictVar* inputVar = state.inputVars[i];
    // A value whose number cannot be read (GetDouble gives the system-missing
    // value) is missing too.
    bool missing = input == nullptr || input->IsSystemMissingValue() ||
                   (inputVar != nullptr && inputVar->IsMissingValue(input)) ||
                   input->GetDouble() == NumericValue::GetSysmisValue();

    const std::string* text = nullptr;
    double number = 0.0;
    if (missing) {
      if (d->hasMapMissingTo) {
        text = &d->mapMissingTo;
        number = derived.missingNumber;
      }
    } else {
      const double x = input->GetDouble();
      std::size_t bin = 0;
      while (bin < d->bins.size() && !d->bins[bin].Contains(x)) ++bin;
      if (bin < d->bins.size()) {
        if (d->bins[bin].hasBinValue) {
          text = &d->bins[bin].binValue;
          number = derived.binNumbers[bin];
        }
      } else if (d->hasDefaultValue) {
        text = &d->defaultValue;
        number = derived.defaultNumber;
      }
    }

    if (text == nullptr) {
      derivedRecord.ClearValue(position);
    } else if (derived.var->GetValueType() == ScoreValue::Numeric) {
      derivedRecord.SetNumber(position, number);
    } else {
      derivedRecord.SetText(position, *text);
    }
  }
  return &derivedRecord;
}
