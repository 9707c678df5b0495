#ifndef BAYESNET_BAYESNETMODEL_H_
#define BAYESNET_BAYESNETMODEL_H_

#include <cstddef>
#include <map>
#include <memory>
#include <ostream>
#include <string>
#include <vector>

#include "bayesnet/BayesNetExport.h"
#include "bayesnet/encoders/IVkEncoder.h"
#include "host/data/BaseModel.h"

class BayesNetClsResult;
class ScoringPlan;

// A Bayesian-network classifier: predictors with their encoders, a target,
// the network's arcs, each node's parents and conditional probability
// tables (CPTs). GetScore computes the posterior of every target category
// from the target's Markov blanket: the target's own factor times those of
// its children.
//
// The reader fills the model once; afterwards it is read-only, except for
// two one-time steps inside GetScore: the first scored record that offers
// positional access stores the predictors' record positions in the
// dictionary variables, and the first GetScore compiles a ScoringPlan (the
// network resolved into dense factor tables) that every later record uses.
// That first GetScore call (and the first with an indexed record, if an
// earlier one was not indexed) must therefore not race with any other;
// after it, GetScore may run concurrently, except where derived values are
// computed by the transformation dictionary, whose thread safety is the
// host's to give (the model itself asks nothing more of it).
//
// Every mutator, and every operation that hands out something modifiable
// (GetCPT, GetParentsTable, GetLinkSource, GetEncoder), discards the plan;
// the next GetScore builds a new one. A modifiable reference must not be
// kept and written through after a later GetScore: fetch it again. What
// the plan reads from BaseModel (the roles and the data dictionary, for the
// AdjustedBayes fallback) is taken as it stands when the plan is built; the
// reader sets those before any scoring.
//
// Ownership: the model owns its encoders. The dictionaries and the version
// information belong to BaseModel; variables and category values belong to
// the dictionaries; the model only points at them.
class BAYESNET_API BayesNetModel : public BaseModel {
 public:
  enum ArcOrient { ArcOut = 0, ArcIn = 1 };
  enum ParamLearnMethod { MaxLikelihood = 0, AdjustedBayes = 1, BayesMethod = 2 };

  // A parent configuration: one category code per parent, in parent order.
  using ParentConfig = std::vector<int>;
  // A conditional probability table: per configuration, the probability of
  // each of the node's codes followed by the row's case count.
  using CPTable = std::map<ParentConfig, std::vector<double>>;

  BayesNetModel();
  ~BayesNetModel() override;

  BayesNetModel(const BayesNetModel&) = delete;
  BayesNetModel& operator=(const BayesNetModel&) = delete;

  // Structure, filled by the reader.
  void AddPredictorVar(const std::string& name, const ScoreDictVar* var);
  void SetPredictorVarNames(const std::vector<std::string>& names);
  // Takes ownership of `encoder` (which may be null).
  void AddEncoder(IVkEncoder* encoder);
  void SetTargetVar(const ScoreDictVar* var);
  void SetDerivedToDataField(const std::string& derived, const std::string& data);
  void SetNeedDerivedPredictor(bool need);
  void SetParamLearnMethod(ParamLearnMethod method);
  std::map<std::string, std::map<std::string, ArcOrient>>& GetLinkSource();
  std::map<std::string, std::vector<std::string>>& GetParentsTable();
  std::map<std::string, CPTable>& GetCPT();

  // Queries.
  std::vector<std::string> GetPredictorVarNames() const;
  // The encoder of a predictor, or the last encoder for the target; null
  // for any other name.
  IVkEncoder* GetEncoder(const std::string& name);
  std::string GetDataField(const std::string& derived) const;
  std::string GetDerivedField(const std::string& data) const;
  bool NeedDerivedPredictor() const;
  ParamLearnMethod GetParamLearnMethod() const;

  // ScoreModel.
  void SetPredictionOnly(bool predictionOnly) override;
  bool GetPredictionOnly() const override;
  ScoreDictionary* GetVarsOfRole(VarRole role) const override;
  MCScore::MCStatus GetScore(const ScoreCaseRecord* record, ScoreResult*& result,
                             bool derivedInRecord) override;
  ModelType GetModelType() const override;
  void Display(std::ostream& os) const override;
  // The plan resolves variables and derived fields in these dictionaries:
  // replacing one discards it.
  void SetScoreDictionary(ScoreDictionary* dictionary) override;
  void SetTransformationScoreDictionary(TransformationDictionary* dictionary) override;

 private:
  friend class BayesNetModelPeer;  // tests reach the private helpers through it
  friend class ScoringPlan;        // compiled from the model's state

  // What every scoring call does first: the one-time index set-up and the
  // result object (`result` reused, or replaced by a new one, `created`).
  // Returns `result` as this model's result class.
  BayesNetClsResult* BeginScoring(const ScoreCaseRecord* record, ScoreResult*& result,
                                  bool derivedInRecord, bool& created);
  // The derived-values record when derived values must be computed, else
  // null: with every derived field, or, given `fields`, with those at the
  // positions listed (the others hold no value).
  const ScoreCaseRecord* DerivedValues(const ScoreCaseRecord* record, bool derivedInRecord,
                                       const std::vector<int>* fields);
  // The literal algorithm, record by record, without a plan: the reference
  // the plan is tested against.
  MCScore::MCStatus GetScoreLiteral(const ScoreCaseRecord* record, ScoreResult*& result,
                                    bool derivedInRecord);
  // Forgets the compiled plan; the next GetScore builds a new one.
  void DiscardPlan();
  // The unnormalised score of every target category by ComputeLocalScore.
  void ComputeScoresLiteral(const std::vector<double>& codes, double* scores) const;
  // Sets the percentage of every target category: directly when the
  // categories are distinct and the list is empty or holds exactly them in
  // order, else through AddValuePercent.
  void SetPercents(BayesNetClsResult* result, const double* percents) const;
  // SetPredictionValue for category `best` (or the empty prediction when
  // best < 0), taking the category's number or text from the plan.
  void SetPredictionFromPlan(BayesNetClsResult* result, bool created, int best) const;

  bool GetParents(const std::string& node, std::vector<std::string>& parents) const;
  void GetChildren(const std::string& node, std::vector<std::string>& children) const;
  const CPTable& GetCPTable(const std::string& node) const;
  int GetIndex(const std::string& name) const;
  void SetUpDictVarIndex(const ScoreCaseRecord* record, bool derivedInRecord);
  double ComputeLocalScore(const std::string& node, const std::vector<double>& codes,
                           int targetCategory) const;
  // The same, with the parent configuration built in `config`, a scratch
  // vector the caller reuses from call to call.
  double ComputeLocalScore(const std::string& node, const std::vector<double>& codes,
                           int targetCategory, std::vector<int>& config) const;
  // The probability an unseen parent configuration gets: 0, or under
  // AdjustedBayes one over the node's number of categories.
  double FallbackScore(const std::string& node) const;
  // The same, given the node's GetIndex.
  double FallbackScore(const std::string& node, int index) const;
  // GetEncoder without changing anything; the second form given the name's
  // GetIndex.
  const IVkEncoder* FindEncoder(const std::string& name) const;
  const IVkEncoder* FindEncoder(const std::string& name, int index) const;
  // The value of predictor i in `record`, else in `derived`; null if none.
  const ScoreValue* LocateValue(int i, const ScoreCaseRecord* record,
                                const ScoreCaseRecord* derived) const;
  // Sets the prediction of `result` to `category`, or to the empty
  // prediction when `category` is null: in place when the result already
  // holds one and was not created by this call, otherwise as a new value.
  void SetPredictionValue(BayesNetClsResult* result, bool created,
                          const ScoreValue* category) const;

  std::vector<std::string> predictorNames_;
  bool predictionOnly_;
  std::vector<IVkEncoder*> encoders_;  // owned; raw because AddEncoder transfers raw pointers
  const ScoreDictVar* targetVar_;
  std::vector<const ScoreValue*> targetCategories_;
  std::vector<int> targetCategoryCounts_;
  std::vector<double> targetProbabilities_;
  bool indexReady_;
  std::vector<const ScoreDictVar*> predictorVars_;
  bool needDerivedPredictor_;
  std::map<std::string, std::string> derivedToData_;
  std::map<std::string, std::string> dataToDerived_;
  std::map<std::string, std::map<std::string, ArcOrient>> linkSource_;
  std::map<std::string, std::vector<std::string>> parentsTable_;
  std::map<std::string, CPTable> cpt_;
  ParamLearnMethod paramLearnMethod_;
  std::unique_ptr<ScoringPlan> plan_;  // null until the first GetScore after a change
  std::size_t denseFactorLimit_;       // ScoringPlan::kFactorLimit; tests lower it
};

#endif  // BAYESNET_BAYESNETMODEL_H_
