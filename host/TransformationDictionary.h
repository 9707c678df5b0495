#ifndef MODELCORE_TRANSFORMATIONDICTIONARY_H_
#define MODELCORE_TRANSFORMATIONDICTIONARY_H_

#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <unordered_map>
#include <vector>

#include "host/BaseCaseRecord.h"
#include "host/BaseDictVar.h"
#include "host/BaseDictionary.h"

// One bin of a PMML Discretize: an interval and the value it gives.
// Contains honours the closure; an absent margin is infinite. A margin that
// could not be read is kept as NaN, and a bin without Interval gets a NaN
// left margin: such a bin contains nothing.
struct DiscretizeBin {
  enum Closure { OpenClosed, OpenOpen, ClosedOpen, ClosedClosed };
  std::string binValue;
  bool hasBinValue = false;
  Closure closure = OpenClosed;
  bool hasLeftMargin = false;   // absent margins are infinite
  double leftMargin = 0.0;
  bool hasRightMargin = false;
  double rightMargin = 0.0;

  bool Contains(double x) const;
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
// GetValuesForDeriedVars may be called from several threads at once: each
// calling thread gets its own derived-values record, made on its first call
// and kept (and reused) until the dictionary goes. A lock is held only to
// find the calling thread's record. Everything else (adding fields,
// SetUpDerivedCaseRecord) must not run concurrently with any other call.
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
  // until the same thread's next call. (When `record` is a BaseCaseRecord,
  // the input fields' positions in it are found by name once per record
  // and thread; the input fields' variables are looked up in
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

 private:
  struct Derived;
  struct ThreadState;
  // The calling thread's state, made with a new derived-values record when
  // it has none or one of another field count.
  ThreadState& GetThreadState();
  // The value of each discretization's input field in `record`.
  void FindInputs(const ScoreCaseRecord* record, ThreadState& state) const;
  // The variable of each discretization's input field in `dictionary`.
  void FindInputVars(const ScoreDictionary* dictionary, ThreadState& state) const;

  std::vector<Derived> derived_;
  std::mutex statesMutex_;  // guards threadStates_
  std::unordered_map<std::thread::id, std::unique_ptr<ThreadState>> threadStates_;
};

#endif  // MODELCORE_TRANSFORMATIONDICTIONARY_H_
