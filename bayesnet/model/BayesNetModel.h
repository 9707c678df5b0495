#ifndef BAYESNET_BAYESNETMODEL_H_
#define BAYESNET_BAYESNETMODEL_H_

#include <atomic>
#include <cstddef>
#include <map>
#include <memory>
#include <mutex>
#include <ostream>
#include <string>
#include <unordered_map>
#include <vector>

#include "bayesnet/BayesNetExport.h"
#include "bayesnet/encoders/IVkEncoder.h"
#include "host/data/BaseModel.h"
#include "host/interfaces/ColumnScoring.h"
#include "host/interfaces/EvidenceInference.h"
#include "host/interfaces/StatusCodes.h"
#include "host/interfaces/ModelStructure.h"

class BayesNetClsResult;
class ScoringPlan;
namespace bnscore::internal {
class InferenceNetwork;
}

// A Bayesian-network classifier: predictors with their encoders, a target,
// the network's arcs, each node's parents and conditional probability
// tables (CPTs). GetScore gives the posterior of every target category from
// the target's Markov blanket, through a compiled plan (docs/scoring-plan.md).
//
// After Prepare (the reader calls it last) the model is read-only: GetScore
// may run on any number of threads at once. The first record with
// positional access fixes the record positions, once, under a lock. Derived
// values are computed by the transformation dictionary, whose thread safety
// is the host's to give.
//
// REQUIRES: no GetScore runs while the model changes. A setter after
// Prepare compiles the plan again; the modifiable references (GetCPT,
// GetParentsTable, GetLinkSource, GetEncoder on a non-const model) discard
// it until the next GetScore, after which they must not be written through.
// Roles and dictionaries are read when the plan is compiled.
//
// Ownership: the model owns its encoders. The dictionaries and the version
// information belong to BaseModel; variables and category values belong to
// the dictionaries; the model only points at them.
class BAYESNET_API BayesNetModel : public BaseModel,
                                   public ColumnScoring,
                                   public EvidenceInference,
                                   public ModelStructure {
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
  // Takes ownership of `encoder` (which may be null); the model deletes it.
  void AddEncoder(IVkEncoder* encoder);
  void SetTargetVar(const ScoreDictVar* var);
  void SetDerivedToDataField(const std::string& derived, const std::string& data);
  void SetNeedDerivedPredictor(bool need);
  void SetParamLearnMethod(ParamLearnMethod method);
  std::map<std::string, std::map<std::string, ArcOrient>>& GetLinkSource();
  std::map<std::string, std::vector<std::string>>& GetParentsTable();
  std::map<std::string, CPTable>& GetCPT();
  // An arc as the document states it, in order, after GetLinkSource has
  // been given it (GetArcs lists those GetLinkSource still holds); and what
  // a converted document says of its source.
  void NoteArc(const std::string& parent, const std::string& child);
  void SetSource(const std::string& modelType, const std::string& inferenceMethod);

  // Compiles the scoring plan from the model as it stands; factors of more
  // than `denseFactorLimit` table entries are looked up row by row (the
  // default suits; tests lower it). The reader calls it last.
  void Prepare();
  void Prepare(std::size_t denseFactorLimit);
  // The compiled plan; null before Prepare and after a modifiable
  // reference was handed out, until the next GetScore.
  const ScoringPlan* GetScoringPlan() const { return plan_.get(); }

  // Queries; none of them discards the plan.
  std::vector<std::string> GetPredictorVarNames() const;
  // The variables of AddPredictorVar, in order.
  const std::vector<const ScoreDictVar*>& GetPredictorVars() const { return predictorVars_; }
  // The variable of SetTargetVar, or null; and the categories scored, its
  // value labels' values when it was set (pointers into its labels).
  const ScoreDictVar* ScoredTarget() const { return targetVar_; }
  const std::vector<const ScoreValue*>& GetTargetCategories() const { return targetCategories_; }
  // The i-th encoder added (predictors' in order, then the target's), or
  // null past the end.
  const IVkEncoder* GetEncoderAt(std::size_t i) const;
  // The encoder of a predictor (its first entry), or the last encoder for
  // the target; null for any other name.
  const IVkEncoder* GetEncoder(const std::string& name) const;
  IVkEncoder* GetEncoder(const std::string& name);
  const std::map<std::string, std::map<std::string, ArcOrient>>& GetLinkSource() const {
    return linkSource_;
  }
  const std::map<std::string, std::vector<std::string>>& GetParentsTable() const {
    return parentsTable_;
  }
  const std::map<std::string, CPTable>& GetCPT() const { return cpt_; }
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
  // replacing one compiles it again.
  void SetScoreDictionary(ScoreDictionary* dictionary) override;
  void SetTransformationScoreDictionary(TransformationDictionary* dictionary) override;

  // ColumnScoring: the plan applied to columns of cells. Accepts nothing
  // until GetScore has built the plan, nor when a predictor's cells need
  // value objects to be coded (see ColumnCoder::Bind). The columns stand
  // for records without derived values in them. With evidence options
  // that sum gaps out, a row with gaps is inferred from the codes the
  // columns gave, as ScoreEvidence infers the record.
  std::vector<const ScoreValue*> GetColumnCategories() const override;
  std::unique_ptr<BoundColumns> AcceptsColumns(const Column* columns, int numColumns,
                                               const Options* evidence) const override;
  std::size_t ScoreColumns(const BoundColumns& columns, std::size_t begin, std::size_t end,
                           const Outputs& outputs) const override;

  // EvidenceInference: exact inference on the network's joint distribution
  // (bnscore::internal::InferenceNetwork, built on first use). Scoring with
  // gaps first asks GetScore, so a record it scores keeps its bits.
  std::vector<std::string> GetNodeNames() const override;
  std::vector<std::string> GetNodeCategories(int node) const override;
  MCScore::MCStatus ScoreEvidence(const ScoreCaseRecord* record, ScoreResult*& result,
                                  bool derivedInRecord, const Options& options) override;
  MCScore::MCStatus QueryNodes(const ScoreCaseRecord* record, bool derivedInRecord,
                               const Options& options, const std::vector<int>& nodes,
                               double* posteriors) override;
  MCScore::MCStatus ExplainEvidence(const ScoreCaseRecord* record, bool derivedInRecord,
                                    const Options& options, std::vector<Term>& terms) override;

  // ModelStructure (BayesNetStructure.cpp): the arcs of the link source,
  // the bins of the transformation dictionary.
  std::vector<Arc> GetArcs() const override;
  std::vector<std::string> GetMarkovBlanket() const override;
  std::vector<BinnedField> GetBinnedFields() const override;
  Source GetSource() const override;

 private:
  // ScoreColumns without evidence, for factors whose posteriors are
  // tabulated or that ScoreBlock multiplies.
  std::size_t ScoreColumnBlocks(const BoundColumns& columns, std::size_t begin, std::size_t end,
                                const Outputs& outputs) const;
  // GetScore, and with `options` (not null) ScoreEvidence: a record with
  // gaps is then scored by InferTarget.
  MCScore::MCStatus ScoreRecord(const ScoreCaseRecord* record, ScoreResult*& result,
                                bool derivedInRecord, const Options* options);
  // The target's posterior given the evidence `codes` (EncodeEvidence's,
  // one per predictor; an unknown value is made no value there when the
  // options say so) into `scores` (one per category) and the category
  // picked; returns the status: 0, kNoPositiveScore, or kMissingPredictor
  // (an unknown value, or too large to infer).
  int InferTarget(int* codes, const Options& options, double* scores, int& best) const;
  // Evidence given the derived-values record.
  bool EvidenceCodes(const ScoreCaseRecord* record, const ScoreCaseRecord* derived,
                     const Options& options, std::vector<int>& codes) const;
  // The network for inference, built on first use (and again after Prepare).
  const bnscore::internal::InferenceNetwork& Inference() const;
  // The record's evidence: every predictor's code (PredictorCoder::
  // EncodeEvidence) into `codes`, an unknown value made no value when the
  // options say so, and the derived-values record into `derived`. False
  // when an unknown value stays (the record's status is then missing).
  bool Evidence(const ScoreCaseRecord* record, bool derivedInRecord, const Options& options,
                std::vector<int>& codes, const ScoreCaseRecord*& derived);
  // Whether GetScore computes derived values for a record that does not
  // carry them.
  bool DerivesValues() const;

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
  // After a setter: compiles the plan again when there is one.
  void Changed();
  // Stores the record positions of the predictors (and, with
  // `derivedInRecord`, of the derived fields) from an indexed record, once:
  // the first caller does it under indexMutex_, the others wait.
  void SetUpIndexOnce(const ScoreCaseRecord* record, bool derivedInRecord);
  // Sets the percentage of every target category: directly when the
  // categories are distinct and the list is empty or holds exactly them in
  // order, else through AddValuePercent.
  void SetPercents(BayesNetClsResult* result, const double* percents) const;
  // Sets the prediction of `result` to category `best`, or to the empty
  // prediction when best < 0: in place when the result already holds one
  // and was not created by this call, otherwise as a new value.
  void SetPrediction(BayesNetClsResult* result, bool created, int best) const;
  // The first position of `name` among the predictor names, or -1.
  int GetIndex(const std::string& name) const;
  void SetUpDictVarIndex(const ScoreCaseRecord* record, bool derivedInRecord);
  // GetEncoder given the name's GetIndex.
  const IVkEncoder* FindEncoder(const std::string& name, int index) const;

  std::vector<std::string> predictorNames_;
  // Each name's first position in predictorNames_: GetIndex without a
  // search, so that reading a model of n predictors costs O(n).
  std::unordered_map<std::string, int> predictorIndex_;
  bool predictionOnly_;
  std::vector<std::unique_ptr<IVkEncoder>> encoders_;
  const ScoreDictVar* targetVar_;
  std::vector<const ScoreValue*> targetCategories_;
  std::vector<int> targetCategoryCounts_;
  std::vector<double> targetProbabilities_;
  std::atomic<bool> indexReady_;  // set once, by SetUpIndexOnce
  std::mutex indexMutex_;
  std::vector<const ScoreDictVar*> predictorVars_;
  bool needDerivedPredictor_;
  std::map<std::string, std::string> derivedToData_;
  std::map<std::string, std::string> dataToDerived_;
  std::map<std::string, std::map<std::string, ArcOrient>> linkSource_;
  std::map<std::string, std::vector<std::string>> parentsTable_;
  std::map<std::string, CPTable> cpt_;
  std::vector<Arc> arcOrder_;  // see NoteArc
  Source source_;
  ParamLearnMethod paramLearnMethod_;
  std::unique_ptr<ScoringPlan> plan_;  // see GetScoringPlan
  std::size_t denseFactorLimit_;       // of the last Prepare
  mutable std::mutex inferenceMutex_;
  mutable std::unique_ptr<bnscore::internal::InferenceNetwork> inference_;  // see Inference
  mutable std::atomic<const bnscore::internal::InferenceNetwork*> inferenceReady_{nullptr};
};

#endif  // BAYESNET_BAYESNETMODEL_H_
