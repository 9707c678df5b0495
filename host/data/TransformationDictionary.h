#ifndef MODELCORE_TRANSFORMATIONDICTIONARY_H_
#define MODELCORE_TRANSFORMATIONDICTIONARY_H_

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <unordered_map>
#include <vector>

#include "host/data/BaseCaseRecord.h"
#include "host/data/BaseDictVar.h"
#include "host/data/BaseDictionary.h"

// One bin of a PMML Discretize: an interval and the value it gives.
// Contains honours the closure; an absent margin is infinite. A margin that
// could not be read is kept as NaN, and a bin without Interval gets a NaN
// left margin: such a bin contains nothing.
struct DiscretizeBin {
  enum Closure { OpenClosed, OpenOpen, ClosedOpen, ClosedClosed };
  std::string binValue;
  bool hasBinValue = false;
  Closure closure = OpenClosed;
  bool hasLeftMargin = false;  // absent margins are infinite
  double leftMargin = 0.0;
  bool hasRightMargin = false;
  double rightMargin = 0.0;

  bool Contains(double x) const {
    // Every comparison with a NaN margin is false, so such a bin contains
    // no value.
    const bool closedLeft = closure == ClosedOpen || closure == ClosedClosed;
    const bool closedRight = closure == OpenClosed || closure == ClosedClosed;
    if (hasLeftMargin && !(closedLeft ? x >= leftMargin : x > leftMargin)) return false;
    if (hasRightMargin && !(closedRight ? x <= rightMargin : x < rightMargin)) return false;
    return true;
  }
};

// A PMML Discretize transformation: the input field, its bins in document
// order, and the values for missing and unmatched inputs.
struct Discretization {
  std::string field;
  std::vector<DiscretizeBin> bins;
  bool hasDefaultValue = false;
  std::string defaultValue;
  bool hasMapMissingTo = false;
  std::string mapMissingTo;
};

// The derived fields of a PMML TransformationDictionary: one variable per
// DerivedField (searchable like any dictionary), and for those defined by a
// Discretize, the means to compute their values for a case record. Owns
// its variables, their discretizations and the derived-values records.
//
// Thread-safe: GetValuesForDeriedVars and GetValuesForDerivedFields, from
// any number of threads. Each calling thread gets its own derived-values
// record (the same for both calls), kept until the dictionary goes or
// SetUpDerivedCaseRecord discards it.
// REQUIRES: AddDerivedField and SetUpDerivedCaseRecord run alone, with no
// other call at the same time.
// Once each computed field has held a value of its type and the input
// layout and data dictionary have been seen, these calls allocate nothing.
class MODELCORE_API TransformationDictionary : public BaseDictionary {
 public:
  TransformationDictionary();
  ~TransformationDictionary() override;

  // Adds a derived field. `discretization` is null for a field defined by
  // another transformation, whose derived value is then always absent.
  // Returns false (and keeps nothing) when the name is already used.
  bool AddDerivedField(std::unique_ptr<BaseDictVar> var,
                       std::unique_ptr<Discretization> discretization);

  // Prepares the records that GetValuesForDeriedVars fills (one field per
  // derived variable, by name): discards those made so far, which are then
  // made again on each thread's next call. Call after the last
  // AddDerivedField.
  void SetUpDerivedCaseRecord();

  // Computes every derived field's value for `record` and returns them in a
  // record owned by this dictionary and kept for the calling thread, valid
  // until the same thread's next call or SetUpDerivedCaseRecord. (When
  // `record` is a BaseCaseRecord, the input fields' positions in it are
  // found by name once per layout and thread; the input fields' variables are looked up in
  // `dataDictionary` again only when another dictionary, or one with another
  // number of variables, is passed: a dictionary passed here must not be
  // destroyed while this one is still used with it.) The input
  // of a Discretize is the record's value of its `field`, by name. The
  // first bin whose interval contains the input gives its binValue; no
  // matching bin gives defaultValue; a missing input (no value, the
  // system-missing value, or a value that `dataDictionary` declares missing
  // for that field) gives mapMissingTo; when the attribute needed is absent
  // the derived field has no value. Values are numbers for numeric derived
  // fields and texts otherwise.
  const ScoreCaseRecord* GetValuesForDeriedVars(const ScoreCaseRecord* record,
                                                const ScoreDictionary* dataDictionary);

  // The position of derived field `name` in the records
  // GetValuesForDeriedVars returns, -1 when there is no such field.
  int GetDerivedPosition(const std::string& name) const;

  // For callers that compile a derived field's evaluation into their own
  // code. The Discretize behind the field at `position` (null when it has
  // none or there is no such field); the input gives a choice: the index of
  // the first bin that contains it, kDefaultChoice when none does, and
  // kMissingChoice when it is missing (see GetValuesForDeriedVars). The
  // input's variable is the data dictionary's of the Discretize's field.
  static constexpr int kDefaultChoice = -1;
  static constexpr int kMissingChoice = -2;
  const Discretization* GetDiscretization(int position) const;
  // Sets field `field` of `record` to the value the field at `position`
  // takes for `choice`, exactly as the derived-values records hold it
  // (cleared when it takes none).
  void SetOutcomeValue(int position, int choice, BaseCaseRecord& record, int field) const;

  // As GetValuesForDeriedVars, but computes only the fields at `positions`
  // (positions in that record; out-of-range ones are ignored). Every other
  // field of the returned record holds no value. The record is the one
  // GetValuesForDeriedVars returns on this thread, with the same lifetime.
  // The cost is that of the fields asked for, whatever the field count,
  // except that the first call after a GetValuesForDeriedVars on this thread
  // clears the whole record, and that the input lookups are still made for
  // all fields once per input layout and data dictionary.
  const ScoreCaseRecord* GetValuesForDerivedFields(const ScoreCaseRecord* record,
                                                   const ScoreDictionary* dataDictionary,
                                                   const std::vector<int>& positions);

 private:
  struct Derived;
  struct ThreadState;
  // The calling thread's state, made with a new derived-values record when
  // it has none or one of another field count.
  ThreadState& GetThreadState();
  // Readies the input lookups of `state` for `record` and `dictionary`:
  // the input fields' positions (when `record` is a BaseCaseRecord, which
  // is returned, else null) and their variables, each found again only
  // when the layout or the dictionary changed.
  const BaseCaseRecord* PrepareInputs(const ScoreCaseRecord* record,
                                      const ScoreDictionary* dictionary, ThreadState& state) const;
  // Sets `field` of `record` to what `derived` gives for `choice`: the
  // last step of Evaluate, shared with SetOutcomeValue.
  static void SetOutcome(const Derived& derived, int choice, BaseCaseRecord& record, int field);
  // Computes derived field `i` into the state's record; the one evaluation
  // both calls share.
  void Evaluate(std::size_t i, const ScoreCaseRecord* record, const BaseCaseRecord* base,
                ThreadState& state) const;

  std::vector<Derived> derived_;
  std::unordered_map<std::string, int> positions_;  // derived field name -> position
  // Names this dictionary's current set of thread states for the per-thread
  // cache: drawn from a process-wide counter, so never reused, and drawn
  // anew whenever states may be discarded or remade.
  std::atomic<std::uint64_t> stamp_;
  std::mutex statesMutex_;  // guards threadStates_
  std::unordered_map<std::thread::id, std::unique_ptr<ThreadState>> threadStates_;
};

#endif  // MODELCORE_TRANSFORMATIONDICTIONARY_H_
