#include "host/data/TransformationDictionary.h"

#include <utility>

#include "host/data/ExactClass.h"
#include "host/data/NumericValue.h"

namespace {

// Stamps for TransformationDictionary::stamp_; 0 is never drawn, so an empty
// per-thread cache matches no dictionary.
std::atomic<std::uint64_t> gNextStamp{1};

std::uint64_t NewStamp() { return gNextStamp.fetch_add(1, std::memory_order_relaxed); }

}  // namespace

// A derived variable (owned by the dictionary) with its discretization, if
// any, and, for a numeric variable, the bin, default and missing values
// already read as numbers so that evaluation parses nothing.
struct TransformationDictionary::Derived {
  BaseDictVar* var = nullptr;
  bool numeric = false;  // the variable's value type, read once
  std::unique_ptr<Discretization> discretization;
  std::vector<double> binNumbers;
  double defaultNumber = 0.0;
  double missingNumber = 0.0;
};

TransformationDictionary::TransformationDictionary() : stamp_(NewStamp()) {}

TransformationDictionary::~TransformationDictionary() = default;

bool TransformationDictionary::AddDerivedField(std::unique_ptr<BaseDictVar> var,
                                               std::unique_ptr<Discretization> discretization) {
  if (!var || GetVariable(var->GetName()) != nullptr) return false;
  Derived derived;
  derived.var = var.get();
  derived.numeric = var->GetValueType() == ScoreValue::Numeric;
  if (discretization) {
    for (const DiscretizeBin& bin : discretization->bins) {
      derived.binNumbers.push_back(NumericValue(bin.binValue).GetDouble());
    }
    derived.defaultNumber = NumericValue(discretization->defaultValue).GetDouble();
    derived.missingNumber = NumericValue(discretization->mapMissingTo).GetDouble();
  }
  derived.discretization = std::move(discretization);
  std::string name = var->GetName();
  positions_.emplace(name, static_cast<int>(derived_.size()));
  AddVariable(name, var.release());
  derived_.push_back(std::move(derived));
  // Records made so far lack the new field: no thread may keep using its
  // cached state without the locked look-up, which remakes it.
  stamp_.store(NewStamp(), std::memory_order_release);
  return true;
}

int TransformationDictionary::GetDerivedPosition(const std::string& name) const {
  auto it = positions_.find(name);
  return it == positions_.end() ? -1 : it->second;
}

// What one calling thread keeps: its derived-values record, which of its
// fields the last call may have set, and the input record last seen (when
// it was a BaseCaseRecord, by its layout) with the positions of the
// discretizations' input fields in it.
struct TransformationDictionary::ThreadState {
  std::unique_ptr<BaseCaseRecord> record;
  // True when any field of `record` may hold a value (after a full call);
  // otherwise only those at `setPositions` may.
  bool allMaySet = false;
  std::vector<int> setPositions;
  std::uint64_t inputLayout = 0;  // 0: none
  std::vector<int> inputPositions;
  // The data dictionary last seen, with its variable count then, and its
  // variable of each discretization's input field (null: none).
  const ScoreDictionary* dictionary = nullptr;
  int dictionarySize = -1;
  std::vector<const ScoreDictVar*> inputVars;
};

void TransformationDictionary::SetUpDerivedCaseRecord() {
  std::lock_guard<std::mutex> lock(statesMutex_);
  // A new stamp before the states go: no cache entry made so far matches.
  stamp_.store(NewStamp(), std::memory_order_release);
  threadStates_.clear();
}

// The per-thread cache holds (stamp, state) for the dictionary this thread
// called last. Why a cached pointer is never used after its state is gone:
// - a state is destroyed only by the dictionary's destructor, by
//   SetUpDerivedCaseRecord, or below when its own thread remakes it (and
//   then the cache is rewritten at once with the new state);
// - SetUpDerivedCaseRecord draws a new stamp for the dictionary, so entries
//   made before it no longer match; it does not run concurrently with
//   calls, so a thread sees the new stamp by its next call;
// - stamps come from a process-wide counter and are never reused, so a
//   dictionary made later (even at the address of a destroyed one) never
//   matches an entry made for another.
// AddDerivedField draws a new stamp too, so a state whose record lacks
// fields is remade by the locked path.
TransformationDictionary::ThreadState& TransformationDictionary::GetThreadState() {
  struct Cache {
    std::uint64_t stamp;
    ThreadState* state;
  };
  thread_local Cache cache{0, nullptr};
  const std::uint64_t stamp = stamp_.load(std::memory_order_acquire);
  if (cache.stamp == stamp) return *cache.state;

  std::lock_guard<std::mutex> lock(statesMutex_);
  std::unique_ptr<ThreadState>& state = threadStates_[std::this_thread::get_id()];
  if (!state || state->record->GetNumFields() != static_cast<int>(derived_.size())) {
    std::vector<std::string> names;
    names.reserve(derived_.size());
    for (const Derived& derived : derived_) names.push_back(derived.var->GetName());
    state = std::make_unique<ThreadState>();
    state->record = std::make_unique<BaseCaseRecord>(std::move(names), false);
    state->setPositions.reserve(derived_.size());
  }
  cache = Cache{stamp, state.get()};
  return *state;
}

const BaseCaseRecord* TransformationDictionary::PrepareInputs(const ScoreCaseRecord* record,
                                                              const ScoreDictionary* dictionary,
                                                              ThreadState& state) const {
  const int size = dictionary != nullptr ? dictionary->GetNumVariables() : -1;
  if (dictionary != state.dictionary || size != state.dictionarySize ||
      state.inputVars.size() != derived_.size()) {
    state.inputVars.assign(derived_.size(), nullptr);
    for (std::size_t i = 0; i < derived_.size(); ++i) {
      const Discretization* d = derived_[i].discretization.get();
      if (d != nullptr && dictionary != nullptr)
        state.inputVars[i] = dictionary->GetVariable(d->field);
    }
    state.dictionary = dictionary;
    state.dictionarySize = size;
  }

  if (record == nullptr) return nullptr;
  const BaseCaseRecord* base = exact_class::Cast<const BaseCaseRecord>(record);
  if (base != nullptr && base->GetLayoutId() != state.inputLayout) {
    state.inputPositions.assign(derived_.size(), -1);
    for (std::size_t i = 0; i < derived_.size(); ++i) {
      const Discretization* d = derived_[i].discretization.get();
      if (d != nullptr) state.inputPositions[i] = base->GetIndex(d->field);
    }
    state.inputLayout = base->GetLayoutId();
  }
  return base;
}

void TransformationDictionary::Evaluate(std::size_t i, const ScoreCaseRecord* record,
                                        const BaseCaseRecord* base, ThreadState& state) const {
  BaseCaseRecord& derivedRecord = *state.record;
  const int position = static_cast<int>(i);
  const Derived& derived = derived_[i];
  const Discretization* d = derived.discretization.get();
  if (d == nullptr) {
    derivedRecord.ClearValue(position);
    return;
  }

  const ScoreValue* input = nullptr;
  if (base != nullptr) {
    input = base->GetValue(state.inputPositions[i]);
  } else if (record != nullptr) {
    input = record->GetValue(d->field);
  }
  const ScoreDictVar* inputVar = state.inputVars[i];

  // Missing: no value, the system-missing value, a value the data
  // dictionary declares missing, or a value whose number cannot be read
  // (GetDouble gives the system-missing value). For a NumericValue the
  // first and last are the same test on its number, made without a
  // virtual call.
  bool missing = input == nullptr;
  double x = 0.0;
  if (!missing) {
    if (const NumericValue* number = exact_class::As<const NumericValue>(input)) {
      x = number->Number();
      missing = x == NumericValue::kSystemMissing;
    } else {
      x = input->GetDouble();
      missing = input->IsSystemMissingValue() || x == NumericValue::kSystemMissing;
    }
    missing = missing || (inputVar != nullptr && inputVar->IsMissingValue(input));
  }

  int choice = kMissingChoice;
  if (!missing) {
    std::size_t bin = 0;
    while (bin < d->bins.size() && !d->bins[bin].Contains(x)) ++bin;
    choice = bin < d->bins.size() ? static_cast<int>(bin) : kDefaultChoice;
  }
  SetOutcome(derived, choice, derivedRecord, position);
}

void TransformationDictionary::SetOutcome(const Derived& derived, int choice,
                                          BaseCaseRecord& record, int field) {
  const Discretization* d = derived.discretization.get();
  const std::string* text = nullptr;
  double number = 0.0;
  if (d == nullptr) {
    // No Discretize: no value.
  } else if (choice == kMissingChoice) {
    if (d->hasMapMissingTo) {
      text = &d->mapMissingTo;
      number = derived.missingNumber;
    }
  } else if (choice == kDefaultChoice) {
    if (d->hasDefaultValue) {
      text = &d->defaultValue;
      number = derived.defaultNumber;
    }
  } else if (choice >= 0 && static_cast<std::size_t>(choice) < d->bins.size() &&
             d->bins[static_cast<std::size_t>(choice)].hasBinValue) {
    text = &d->bins[static_cast<std::size_t>(choice)].binValue;
    number = derived.binNumbers[static_cast<std::size_t>(choice)];
  }

  if (text == nullptr) {
    record.ClearValue(field);
  } else if (derived.numeric) {
    record.SetNumber(field, number);
  } else {
    record.SetText(field, *text);
  }
}

const Discretization* TransformationDictionary::GetDiscretization(int position) const {
  if (position < 0 || static_cast<std::size_t>(position) >= derived_.size()) return nullptr;
  return derived_[static_cast<std::size_t>(position)].discretization.get();
}

void TransformationDictionary::SetOutcomeValue(int position, int choice, BaseCaseRecord& record,
                                               int field) const {
  if (position < 0 || static_cast<std::size_t>(position) >= derived_.size()) {
    record.ClearValue(field);
    return;
  }
  SetOutcome(derived_[static_cast<std::size_t>(position)], choice, record, field);
}

const ScoreCaseRecord* TransformationDictionary::GetValuesForDeriedVars(
    const ScoreCaseRecord* record, const ScoreDictionary* dataDictionary) {
  ThreadState& state = GetThreadState();
  const BaseCaseRecord* base = PrepareInputs(record, dataDictionary, state);
  for (std::size_t i = 0; i < derived_.size(); ++i) Evaluate(i, record, base, state);
  state.allMaySet = true;
  state.setPositions.clear();
  return state.record.get();
}

const ScoreCaseRecord* TransformationDictionary::GetValuesForDerivedFields(
    const ScoreCaseRecord* record, const ScoreDictionary* dataDictionary,
    const std::vector<int>& positions) {
  ThreadState& state = GetThreadState();
  BaseCaseRecord& derivedRecord = *state.record;
  // Clear what the previous call may have set: everything after a full
  // call (which cost as much), else just the fields it computed.
  if (state.allMaySet) {
    derivedRecord.ClearAll();
    state.allMaySet = false;
  } else {
    for (int position : state.setPositions) derivedRecord.ClearValue(position);
  }
  state.setPositions.clear();

  const BaseCaseRecord* base = PrepareInputs(record, dataDictionary, state);
  const int count = static_cast<int>(derived_.size());
  for (int position : positions) {
    if (position < 0 || position >= count) continue;
    Evaluate(static_cast<std::size_t>(position), record, base, state);
    // Repeated positions could outgrow the reserved field count; past it,
    // clearing everything next time costs no more than remembering.
    if (state.allMaySet) continue;
    if (state.setPositions.size() < derived_.size()) {
      state.setPositions.push_back(position);
    } else {
      state.allMaySet = true;
      state.setPositions.clear();
    }
  }
  return &derivedRecord;
}
