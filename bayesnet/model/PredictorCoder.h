#ifndef BAYESNET_PREDICTORCODER_H_
#define BAYESNET_PREDICTORCODER_H_

#include <string>
#include <vector>

#include "host/data/BaseCaseRecord.h"
#include "bayesnet/model/BayesNetModel.h"

class BaseDictVar;
class VkBinningEncoder;
class VkCatNumericEncoder;
class VkCatStringEncoder;

// A BayesNetModel's predictors resolved once, and a record's values coded:
// each predictor's value located (its record position, else the model's
// derived values) and turned into its category code by its encoder, as
// GetScore codes it.
//
// A caller may rely on: Encode stops at the first predictor without a code
// (the record is then Missing whatever the others hold); EncodeEvidence
// codes every predictor. Both read the host's own records cell by cell and
// the host's own values and encoders without virtual calls, with the same
// results as through the interfaces.
//
// REQUIRES: the model outlives the coder and does not change while it is
// used (the model compiles a new plan when it does). Points at the model's
// variables and encoders and owns nothing. Immutable after construction,
// except UsePositions: any number of threads may encode at once. Owned by
// the model's ScoringPlan.
class PredictorCoder {
 public:
  enum class Encoding {
    Complete,     // every predictor has a code the dense tables cover
    Missing,      // some predictor has no usable code
    OutsidePlan,  // every predictor has a code, but one lies past its
                  // encoder's GetNumCategories() as the plan counted it
  };

  // Codes of EncodeEvidence besides a category code (>= 0).
  static constexpr int kNoValue = -1;       // no value, or one its variable reports missing
  static constexpr int kUnknownValue = -2;  // a value without a code, or one past the count

  // One predictor, resolved.
  struct Predictor {
    const ScoreDictVar* var;
    const std::string* name;  // var's own name
    int position;             // var->GetIndex()
    bool checkMissing;        // var->GetMeasure() == Continuous
    // var again when it is exactly a BaseDictVar, whose missing-value test
    // is inlined while it declares no missing values; null otherwise.
    const BaseDictVar* dictVar;
    // Where the predictor's value lies in a derived-values record of the
    // model's transformation dictionary (-1: it is no derived field).
    int derivedPosition;
    const IVkEncoder* encoder;
    int numCodes;  // encoder->GetNumCategories()
    // The encoder again when it is exactly of one of these classes, whose
    // codes of the host's own value classes are reached without virtual
    // calls; null otherwise.
    const VkBinningEncoder* binning;
    const VkCatNumericEncoder* numbers;
    const VkCatStringEncoder* strings;
  };

  explicit PredictorCoder(const BayesNetModel& model);

  PredictorCoder(const PredictorCoder&) = delete;
  PredictorCoder& operator=(const PredictorCoder&) = delete;

  // Reads the predictors' record positions (ScoreDictVar::GetIndex) again.
  // REQUIRES: no Encode of an indexed record runs; the model calls it once,
  // when the first indexed record fixes the positions.
  void UsePositions();

  int NumPredictors() const { return static_cast<int>(predictors_.size()); }
  const Predictor& At(int i) const { return predictors_[static_cast<std::size_t>(i)]; }
  // Whether some predictor has no variable or no encoder: it never gets a
  // code, so no record is Complete.
  bool NeverComplete() const { return neverComplete_; }

  // Locates and encodes every predictor's value as GetScore does, into
  // codes[0 .. NumPredictors()-1]. Stops at the first predictor without a
  // code (nothing else depends on the rest).
  Encoding Encode(const ScoreCaseRecord* record, const ScoreCaseRecord* derived, int* codes) const;

  // Every predictor's code as Encode finds it, for records with gaps:
  // codes[i] is predictor i's code, kNoValue or kUnknownValue.
  void EncodeEvidence(const ScoreCaseRecord* record, const ScoreCaseRecord* derived,
                      int* codes) const;
  // The text of predictor i's value in the record ("" when it has none).
  std::string ValueText(const ScoreCaseRecord* record, const ScoreCaseRecord* derived, int i) const;

  // The positions, in the transformation dictionary's derived-values
  // records, of the derived fields that are predictors: the only ones
  // Encode reads.
  const std::vector<int>& DerivedFields() const { return derivedFields_; }

  // Predictor p's code for the value in `cell`, as GetScore finds it: -1
  // when the value is missing for p's variable or has no code.
  static int CodeOf(const Predictor& p, const BaseCaseRecord::Cell& cell);
  // Whether the value in `cell` is missing for p's variable.
  static bool MissingFor(const Predictor& p, const BaseCaseRecord::Cell& cell);

 private:
  // Encode, given the record as the host's own record with cells (kCells)
  // or not (then the predictors' positions are not read unless `indexed`).
  template <bool kCells>
  Encoding EncodeFrom(const ScoreCaseRecord* record, const BaseCaseRecord* cells, bool indexed,
                      const ScoreCaseRecord* derived, int* codes) const;
  // Predictor p's value when the record's own cell holds none (or the
  // record has no cells): in `record`, read through the interface (null
  // when its cells were already looked at; `indexed` is its IsIndexed()),
  // else in the derived values. Null when there is none; a value read
  // through the interfaces is described in `own`.
  static const BaseCaseRecord::Cell* Locate(const Predictor& p, const ScoreCaseRecord* record,
                                            bool indexed, const ScoreCaseRecord* derived,
                                            BaseCaseRecord::Cell& own);
  // Predictor p's cell in the record (null when it has none); `own` as
  // for Locate.
  const BaseCaseRecord::Cell* CellOf(const Predictor& p, const ScoreCaseRecord* record,
                                     const ScoreCaseRecord* derived,
                                     BaseCaseRecord::Cell& own) const;

  std::vector<Predictor> predictors_;
  std::vector<int> derivedFields_;  // see DerivedFields
  bool neverComplete_ = false;      // see NeverComplete
};

#endif  // BAYESNET_PREDICTORCODER_H_
