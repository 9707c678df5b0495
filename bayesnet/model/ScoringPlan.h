#ifndef BAYESNET_SCORINGPLAN_H_
#define BAYESNET_SCORINGPLAN_H_

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "host/interfaces/StatusCodes.h"
#include "bayesnet/model/BayesNetModel.h"
#include "bayesnet/model/BlanketFactors.h"
#include "bayesnet/model/ColumnCoder.h"
#include "bayesnet/model/PredictorCoder.h"

// A BayesNetModel's scoring compiled once (docs/scoring-plan.md), results
// bit-identical to the algorithm written out literally. It composes the
// parts, each with its own job:
//   - PredictorCoder: the predictors resolved, a record's values coded;
//   - ColumnCoder: the same codes from columns of cells;
//   - BlanketFactors: the blanket's factors, the products and posteriors;
// and holds the target categories a result is filled with, and the one
// scoring decision every path takes (Decide).
//
// REQUIRES: the model outlives the plan and does not change while it is
// used (the model compiles a new plan when it does). Immutable after
// construction, except UsePositions: any number of threads may use one plan
// at once. Owned by the model; owns its parts.
class ScoringPlan {
 public:
  using Encoding = PredictorCoder::Encoding;

  ScoringPlan(const BayesNetModel& model, std::size_t factorLimit);

  ScoringPlan(const ScoringPlan&) = delete;
  ScoringPlan& operator=(const ScoringPlan&) = delete;

  const PredictorCoder& Predictors() const { return predictors_; }
  const ColumnCoder& Columns() const { return columns_; }
  const BlanketFactors& Factors() const { return factors_; }

  // PredictorCoder::UsePositions, with its requirements.
  void UsePositions() { predictors_.UsePositions(); }

  int NumCategories() const { return factors_.NumCategories(); }

  // A record's outcome: its status (MCScore's codes), the category picked
  // (-1 unless scored) and the normalised scores of every category, to be
  // read only when scored.
  struct Decision {
    int status;
    int best;
    const double* posteriors;
  };

  // The scoring decision, the same for every scoring loop, given the
  // `encoding` and `codes` of a record:
  //   - Missing: what `inferGaps(scores, best)` returns, a status (the
  //     missing status, unless the caller sums gaps out; when it scores, it
  //     leaves the normalised scores in `scores` and the category in best);
  //   - no target category: the no-score status;
  //   - Complete: the tabulated posteriors, else BlanketFactors::Score;
  //     OutsidePlan: ScoreOutsidePlan; then NormaliseAndPick: the first
  //     category of the highest score, or the no-score status when the
  //     scores' sum is not positive and finite (all-zero evidence).
  // `scores` (NumCategories() entries) and `offsets` (Factors().
  // NumFactors()) are the caller's scratch. Inline: the scoring loops take
  // it per record.
  template <class InferGaps>
  Decision Decide(Encoding encoding, const int* codes, double* scores, std::size_t* offsets,
                  InferGaps&& inferGaps) const {
    if (encoding == Encoding::Missing) {
      Decision decision{MCScore::kMissingPredictor, -1, scores};
      decision.status = inferGaps(scores, decision.best);
      if (decision.status != MCScore::kScored) decision.best = -1;
      return decision;
    }
    return DecideScored(encoding, codes, 1, scores, [&] {
      if (encoding == Encoding::Complete) {
        factors_.Score(codes, scores, offsets);
      } else {
        factors_.ScoreOutsidePlan(codes, scores);  // a code the tables do not cover
      }
    });
  }

  // Decide for a row of a block that BlanketFactors::ScoreBlock has
  // multiplied (its products in `scores`), unless the posteriors are
  // tabulated; predictor i's code is codes[i * codeStride]. Gaps are not
  // summed out: a Missing row gets the missing status.
  // REQUIRES: `encoding` is not OutsidePlan (ScoreBlock covers only codes
  // within the tables).
  Decision DecideMultiplied(Encoding encoding, const int* codes, std::size_t codeStride,
                            double* scores) const {
    if (encoding == Encoding::Missing) return {MCScore::kMissingPredictor, -1, scores};
    return DecideScored(encoding, codes, codeStride, scores, [] {});
  }

  // Result filling.
  bool NumericTarget() const { return numericTarget_; }
  bool CategoriesDistinct() const { return categoriesDistinct_; }
  double CategoryNumber(int c) const { return categoryNumbers_[c]; }
  std::string_view CategoryText(int c) const { return categoryTexts_[c]; }

  // The fallback rule of the factors (BlanketFactors::FallbackScore), which
  // the inference network shares.
  static double FallbackScore(const BayesNetModel& model, const std::string& node) {
    return BlanketFactors::FallbackScore(model, node);
  }

 private:
  // Decide for a Complete or OutsidePlan record: `multiply()` leaves its
  // products in `scores` where no tabulated posteriors serve.
  template <class Multiply>
  Decision DecideScored(Encoding encoding, const int* codes, std::size_t codeStride, double* scores,
                        Multiply&& multiply) const {
    Decision decision{MCScore::kNoPositiveScore, -1, scores};
    const int k = NumCategories();
    bool scored = false;
    if (k > 0) {
      if (encoding == Encoding::Complete && factors_.HasPosteriors()) {
        decision.posteriors = factors_.Posteriors(codes, decision.best, codeStride);
        scored = decision.best >= 0;
      } else {
        multiply();
        scored = BlanketFactors::NormaliseAndPick(scores, k, decision.best);
      }
    }
    if (scored) {
      decision.status = MCScore::kScored;
    } else {
      decision.best = -1;
    }
    return decision;
  }

  PredictorCoder predictors_;
  ColumnCoder columns_;  // reads predictors_
  BlanketFactors factors_;
  bool numericTarget_ = true;
  bool categoriesDistinct_ = false;
  std::vector<double> categoryNumbers_;
  std::vector<std::string> categoryTexts_;
};

#endif  // BAYESNET_SCORINGPLAN_H_
