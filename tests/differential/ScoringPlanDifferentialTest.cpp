// The compiled scoring plan against the literal algorithm (LiteralScorer):
// random generated networks and records, read through the real reader and
// scored both ways, must give bit-identical statuses, probabilities,
// predictions and confidences; so must every model changed through a
// mutator or a modifiable reference between two GetScore calls.

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <functional>
#include <memory>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "bayesnet/reader/BayesNetTranslator.h"
#include "testing/GeneratorOptions.h"
#include "testing/ModelGenerator.h"
#include "testing/RecordGenerator.h"
#include "testing/RecordTable.h"
#include "host/data/BaseCaseRecord.h"
#include "host/xml/PmmlParser.h"
#include "host/interfaces/ScoreDictionary.h"
#include "host/interfaces/ScoreResult.h"
#include "host/xml/XmlPlatform.h"
#include "bayesnet/model/ScoringPlan.h"
#include "tests/differential/LiteralScorer.h"

using namespace bnscore::testing;

namespace {

std::unique_ptr<BayesNetModel> Read(const ModelGenerator& generator) {
  XmlPlatform platform;
  DocumentPtr document = PmmlParser::ParseText(generator.Pmml(), "generated.pmml");
  BayesNetTranslator translator;
  std::unique_ptr<ScoreModel> model(translator.ParseFromTree(document.get(), ""));
  return std::unique_ptr<BayesNetModel>(static_cast<BayesNetModel*>(model.release()));
}

std::string Bits(double x) {
  std::uint64_t bits;
  std::memcpy(&bits, &x, sizeof bits);
  char text[20];
  std::snprintf(text, sizeof text, "%016llx", static_cast<unsigned long long>(bits));
  return text;
}

// Everything a caller can read of one outcome, doubles as bit patterns and
// listed values by address.
std::string Outcome(const MCScore::MCStatus& status, const ScoreResult* result) {
  std::string text = "status " + std::to_string(status.GetCode());
  if (result == nullptr) return text + " no result";
  const ScoreValue* prediction = result->GetPrediction();
  if (prediction == nullptr) {
    text += " no prediction";
  } else if (prediction->GetType() == ScoreValue::Numeric) {
    text += " prediction " + Bits(prediction->GetDouble());
  } else {
    text += " prediction '" + prediction->GetString() + "'";
  }
  text += " confidence " + Bits(result->GetConfidence());
  const auto* cls = dynamic_cast<const ScoreClsResult*>(result);
  if (cls != nullptr) {
    for (const auto& entry : cls->GetAllValuePercent()) {
      char address[24];
      std::snprintf(address, sizeof address, "%p", static_cast<const void*>(entry.first));
      text += std::string(" ") + address + "=" + Bits(entry.second);
    }
  }
  return text;
}

// `record` again with every value set as an object of its own (a clone),
// which a scorer cannot read as a plain number or text.
std::unique_ptr<BaseCaseRecord> ThroughObjects(const ScoreCaseRecord* record) {
  const auto& source = static_cast<const BaseCaseRecord&>(*record);
  std::vector<std::string> names;
  for (int i = 0; i < source.GetNumFields(); ++i) names.push_back(source.GetFieldName(i));
  auto copy = std::make_unique<BaseCaseRecord>(names, source.IsIndexed());
  for (int i = 0; i < source.GetNumFields(); ++i) {
    const ScoreValue* value = source.GetValue(i);
    if (value != nullptr) copy->SetValue(i, std::unique_ptr<ScoreValue>(value->Clone()));
  }
  return copy;
}

// The records of a table, and for each whether every cell holds a known
// value (not empty, "NA", "-1" or "unknown").
struct Records {
  RecordTable table;
  std::vector<bool> complete;
};

// Scores every record through the plan and through ScoreLiterally (with
// `fallback`), each with its own result object (reused, but renewed now
// and then), and requires the same outcomes; with `objects`, the plan
// scores the records through ThroughObjects. Given the model's learning method, a record with
// an unknown cell must score 90029, and under AdjustedBayes a complete one
// 0. Returns the number of records that scored.
int CompareOnRecords(BayesNetModel& model, const Records& given, const ExpectedFallback& fallback,
                     const std::string& label, bool objects = false,
                     const LearningMethod* method = nullptr) {
  const RecordTable& records = given.table;
  ScoreResult* planResult = nullptr;
  ScoreResult* literalResult = nullptr;
  int scored = 0;
  for (std::size_t i = 0; i < records.Size(); ++i) {
    if (i % 17 == 5) {
      delete planResult;
      delete literalResult;
      planResult = literalResult = nullptr;
    }
    std::unique_ptr<BaseCaseRecord> copy = objects ? ThroughObjects(records.Get(i)) : nullptr;
    const ScoreCaseRecord* record = objects ? copy.get() : records.Get(i);
    const MCScore::MCStatus viaPlan = model.GetScore(record, planResult, false);
    const MCScore::MCStatus literal =
        ScoreLiterally(model, records.Get(i), literalResult, false, fallback);
    EXPECT_EQ(Outcome(viaPlan, planResult), Outcome(literal, literalResult))
        << label << ", record " << i;
    if (method != nullptr && !given.complete[i]) {
      EXPECT_EQ(literal.GetCode(), 90029) << label << ", record " << i;
    } else if (method != nullptr && *method == LearningMethod::AdjustedBayes) {
      EXPECT_EQ(literal.GetCode(), 0) << label << ", record " << i;
    }
    if (viaPlan.GetCode() == MCScore::MCStatus().GetCode()) ++scored;
  }
  delete planResult;
  delete literalResult;
  return scored;
}

Records MakeRecords(const ModelGenerator& generator, const BayesNetModel& model,
                    const RecordOptions& options, bool indexed, int count) {
  RecordGenerator cells(generator, options);
  Records records{RecordTable(model, cells.GetFieldNames(), indexed, false), {}};
  std::vector<std::string> row;
  for (int i = 0; i < count; ++i) {
    cells.NextRecord(row);
    records.table.Add(row);
    bool complete = true;
    for (const std::string& cell : row) {
      complete = complete && !cell.empty() && cell != "NA" && cell != "-1" && cell != "unknown";
    }
    records.complete.push_back(complete);
  }
  return records;
}

// The fallback of the document the generator wrote: uniform when it names
// adjustedBayes, over each node's categories as written (a binned
// predictor's bins, a categorical or derived one's values, the target's
// categories).
ExpectedFallback FallbackOf(const ModelGenerator& generator) {
  ExpectedFallback fallback;
  fallback.uniform = generator.GetOptions().method == LearningMethod::AdjustedBayes;
  for (const GeneratedNode& node : generator.GetNodes()) {
    fallback.categories[node.name] = node.categories;
  }
  return fallback;
}

GeneratorOptions RandomOptions(std::mt19937_64& random) {
  auto below = [&](int n) { return static_cast<int>(random() % static_cast<std::uint64_t>(n)); };
  GeneratorOptions o;
  o.binnedPredictors = below(4);
  o.numericPredictors = below(4);
  o.stringPredictors = below(4);
  o.derivedPredictors = below(3);
  if (o.PredictorCount() == 0) o.stringPredictors = 1;
  o.bins = 2 + below(4);
  o.categories = 2 + below(3);
  o.targetCategories = 2 + below(4);  // up to 5: blocks of four and one
  o.numericTarget = below(2) == 1;
  const ArcPattern structures[] = {ArcPattern::NaiveBayes, ArcPattern::TreeAugmented,
                                   ArcPattern::General};
  o.structure = structures[below(3)];
  o.maxParents = below(4);
  const LearningMethod methods[] = {LearningMethod::MaxLikelihood, LearningMethod::AdjustedBayes,
                                    LearningMethod::BayesMethod};
  o.method = methods[below(3)];
  const double missing[] = {0.0, 0.3, 0.8};
  o.missingConfigurations = missing[below(3)];
  o.seed = random();
  return o;
}

TEST(ScoringPlanDifferential, RandomNetworksAndRecordsScoreBitForBitAsTheLiteralPath) {
  std::mt19937_64 random(20240611);
  int scored = 0;
  int sparsePlans = 0;
  int tabulated = 0;  // plans with posteriors, and all-dense plans without
  int untabulated = 0;
  for (int round = 0; round < 120; ++round) {
    const ModelGenerator generator(RandomOptions(random));
    std::unique_ptr<BayesNetModel> model = Read(generator);
    ASSERT_NE(model, nullptr);
    ASSERT_NE(model->GetScoringPlan(), nullptr);  // compiled by the reader
    // Every third plan entirely sparse, every third a mix.
    if (round % 3 == 1) model->Prepare(0);
    if (round % 3 == 2) model->Prepare(12);
    model->SetPredictionOnly(round % 11 == 10);

    RecordOptions options;
    options.missingCells = (random() % 2) * 0.02;
    options.unknownValues = (random() % 2) * 0.02;
    options.seed = random();
    const Records records = MakeRecords(generator, *model, options, round % 2 == 0, 60);
    const std::string label = "round " + std::to_string(round);
    scored += CompareOnRecords(*model, records, FallbackOf(generator), label, round % 4 == 3,
                               &generator.GetOptions().method);
    if (round % 3 == 1) {
      EXPECT_EQ(model->GetScoringPlan()->Factors().NumDenseFactors(), 0) << label;
      EXPECT_FALSE(model->GetScoringPlan()->Factors().HasPosteriors()) << label;
      ++sparsePlans;
    } else if (model->GetScoringPlan()->Factors().NumSparseFactors() == 0) {
      ++(model->GetScoringPlan()->Factors().HasPosteriors() ? tabulated : untabulated);
    }
  }
  // The comparison covered real scores, not only missing records.
  EXPECT_GT(scored, 1000);
  EXPECT_GT(sparsePlans, 0);
  EXPECT_GT(tabulated, 0);
  EXPECT_GT(untabulated, 0);
}

// The generator's five benchmark shapes, whose plans are the ones timed.
TEST(ScoringPlanDifferential, BenchmarkShapesScoreAsTheLiteralPath) {
  for (const ShapePreset& preset : ShapePresets()) {
    const ModelGenerator generator(preset.options);
    std::unique_ptr<BayesNetModel> model = Read(generator);
    ASSERT_NE(model, nullptr);
    RecordOptions options;
    options.missingCells = 0.002;
    options.unknownValues = 0.002;
    const Records records = MakeRecords(generator, *model, options, true, 40);
    EXPECT_GT(CompareOnRecords(*model, records, FallbackOf(generator), preset.name), 0)
        << preset.name;
    EXPECT_EQ(model->GetScoringPlan()->Factors().NumSparseFactors(), 0) << preset.name;
  }
}

// Beyond 256 predictors, categories or factors GetScore works in the
// thread's vectors rather than on the stack: both ways score alike.
TEST(ScoringPlanDifferential, WidePlansScoreAsTheLiteralPath) {
  GeneratorOptions o = FindShapePreset("wide216")->options;
  o.stringPredictors = 300;
  const ModelGenerator generator(o);
  std::unique_ptr<BayesNetModel> model = Read(generator);
  ASSERT_NE(model, nullptr);
  const Records records = MakeRecords(generator, *model, RecordOptions(), true, 20);
  EXPECT_EQ(CompareOnRecords(*model, records, FallbackOf(generator), "300 predictors"), 20);
}

// A model as read is scored by several threads at once from its first
// record on, the record positions fixed by whichever indexed record comes
// first: every thread gets what one thread alone gets.
TEST(ScoringPlanDifferential, AReadModelScoresOnManyThreadsFromTheFirstRecord) {
  const ModelGenerator generator(FindShapePreset("mixed20")->options);
  std::unique_ptr<BayesNetModel> model = Read(generator);
  ASSERT_NE(model, nullptr);
  RecordOptions options;
  options.missingCells = 0.01;
  const Records records = MakeRecords(generator, *model, options, true, 200);
  auto outcomes = [&records](BayesNetModel& model) {
    std::vector<std::string> texts;
    ScoreResult* result = nullptr;
    for (std::size_t i = 0; i < records.table.Size(); ++i) {
      const MCScore::MCStatus status = model.GetScore(records.table.Get(i), result, false);
      texts.push_back(Outcome(status, result));
    }
    delete result;
    return texts;
  };
  std::vector<std::vector<std::string>> got(4);
  std::vector<std::thread> threads;
  for (auto& texts : got) threads.emplace_back([&] { texts = outcomes(*model); });
  for (std::thread& thread : threads) thread.join();
  const std::vector<std::string> alone = outcomes(*model);
  for (const auto& texts : got) EXPECT_EQ(texts, alone);
}

// A network with every kind of predictor, parents up to 2, the target among
// them, unseen configurations and AdjustedBayes, so that each change below
// reaches the scores.
GeneratorOptions MutationOptions(std::uint64_t seed) {
  GeneratorOptions o;
  o.binnedPredictors = 2;
  o.numericPredictors = 2;
  o.stringPredictors = 2;
  o.derivedPredictors = 1;
  o.bins = 3;
  o.categories = 3;
  o.targetCategories = 3;
  o.structure = ArcPattern::General;
  o.maxParents = 2;
  o.method = LearningMethod::AdjustedBayes;
  o.missingConfigurations = 0.3;
  o.seed = seed;
  return o;
}

// A change made to a model as read, and what it changes of the fallback
// the oracle expects (nothing when `expect` is empty).
struct Mutation {
  const char* name;
  std::function<void(BayesNetModel&, const ModelGenerator&)> apply;
  std::function<void(ExpectedFallback&, const ModelGenerator&)> expect = nullptr;
};

// The first node that passes a test.
const GeneratedNode* NodeWhere(const ModelGenerator& g,
                               const std::function<bool(const GeneratedNode&)>& test) {
  for (const GeneratedNode& node : g.GetNodes()) {
    if (test(node)) return &node;
  }
  return nullptr;
}
// A child of the target, whose factor scoring multiplies in.
const std::string& TargetChild(const ModelGenerator& g) {
  const int target = g.GetTargetIndex();
  return NodeWhere(g,
                   [target](const GeneratedNode& n) {
                     return std::find(n.parents.begin(), n.parents.end(), target) !=
                            n.parents.end();
                   })
      ->name;
}
// The first predictor of a kind.
const std::string& OfKind(const ModelGenerator& g, GeneratedNode::Kind kind) {
  return NodeWhere(g, [kind](const GeneratedNode& n) { return n.kind == kind; })->name;
}

void AddUnknownCategories(BayesNetModel& m, const ModelGenerator& g);
void OneMoreCategory(ExpectedFallback& f, const ModelGenerator& g);

std::vector<Mutation> Mutations() {
  using M = BayesNetModel;
  using G = ModelGenerator;
  return {
      {"GetCPT: a row cut to one entry",
       [](M& m, const G& g) { m.GetCPT()[TargetChild(g)].begin()->second.resize(1); }},
      {"GetCPT: a row removed",
       [](M& m, const G& g) {
         auto& table = m.GetCPT()[TargetChild(g)];
         table.erase(table.begin());
       }},
      {"GetCPT: the target's table emptied",
       [](M& m, const G& g) { m.GetCPT()[g.GetTargetName()].clear(); }},
      {"GetCPT: a probability changed",
       [](M& m, const G& g) { m.GetCPT()[g.GetTargetName()].begin()->second[0] = 0.999; }},
      {"GetParentsTable: a parent that is no variable",
       [](M& m, const G& g) { m.GetParentsTable()[TargetChild(g)].push_back("ghost"); }},
      {"GetParentsTable: a node's parents dropped",
       [](M& m, const G& g) { m.GetParentsTable()[TargetChild(g)].clear(); }},
      {"GetParentsTable: the target made a parent of itself",
       [](M& m, const G& g) {
         m.GetParentsTable()[g.GetTargetName()].push_back(g.GetTargetName());
       }},
      {"GetLinkSource: a child that is no variable",
       [](M& m, const G& g) { m.GetLinkSource()[g.GetTargetName()]["ghost"] = M::ArcOut; }},
      {"GetLinkSource: a child without a table (a derived predictor)",
       [](M& m, const G& g) {
         m.GetLinkSource()[g.GetTargetName()][OfKind(g, GeneratedNode::Derived)] = M::ArcOut;
       }},
      {"GetLinkSource: the target's arcs removed",
       [](M& m, const G& g) { m.GetLinkSource().erase(g.GetTargetName()); }},
      {"AddPredictorVar: a predictor listed twice",
       [](M& m, const G& g) {
         const std::string& name = OfKind(g, GeneratedNode::StringCategory);
         m.AddPredictorVar(name, m.GetDictionary()->GetVariable(name));
       }},
      {"SetPredictorVarNames: the names reversed",
       [](M& m, const G&) {
         std::vector<std::string> names = m.GetPredictorVarNames();
         m.SetPredictorVarNames(std::vector<std::string>(names.rbegin(), names.rend()));
       }},
      {"AddEncoder: another last encoder",
       [](M& m, const G& g) {
         m.AddEncoder(m.GetEncoder(OfKind(g, GeneratedNode::Binned))->Clone());
       }},
      {"SetTargetVar: a predictor made the target",
       [](M& m, const G& g) {
         m.SetTargetVar(m.GetDictionary()->GetVariable(OfKind(g, GeneratedNode::StringCategory)));
       }},
      {"SetDerivedToDataField", [](M& m, const G&) { m.SetDerivedToDataField("a", "b"); }},
      {"SetNeedDerivedPredictor: off", [](M& m, const G&) { m.SetNeedDerivedPredictor(false); }},
      {"SetParamLearnMethod: MaxLikelihood",
       [](M& m, const G&) { m.SetParamLearnMethod(M::MaxLikelihood); },
       [](ExpectedFallback& f, const G&) { f.uniform = false; }},
      {"GetEncoder: a category added", AddUnknownCategories, OneMoreCategory},
      {"GetParentsTable and GetEncoder: parentless nodes read past their first row",
       [](M& m, const G& g) {
         for (auto& entry : m.GetParentsTable()) entry.second.clear();
         AddUnknownCategories(m, g);
       },
       OneMoreCategory},
  };
}

// Unknown record values become the code past each row's probabilities:
// the node's factor reads the row's case count, and as a parent code it is
// an unseen configuration.
void AddUnknownCategories(BayesNetModel& m, const ModelGenerator& g) {
  for (const GeneratedNode& node : g.GetNodes()) {
    if (node.kind == GeneratedNode::StringCategory) {
      m.GetEncoder(node.name)->AddCategory("unknown");
    } else if (node.kind == GeneratedNode::NumericCategory) {
      m.GetEncoder(node.name)->AddCategory("-1");
    }
  }
}

// The categorical predictors' encoders know one category more.
void OneMoreCategory(ExpectedFallback& f, const ModelGenerator& g) {
  for (const GeneratedNode& node : g.GetNodes()) {
    if (node.kind == GeneratedNode::StringCategory || node.kind == GeneratedNode::NumericCategory) {
      ++f.categories[node.name];
    }
  }
}

// A setter compiles the plan again, a modifiable reference discards it: either
// way the next record is scored from the changed model.
TEST(ScoringPlanDifferential, EveryMutatorAndModifiableReferenceReachesTheScores) {
  RecordOptions options;
  options.missingCells = 0.01;
  options.unknownValues = 0.08;
  for (std::uint64_t seed : {11u, 12u}) {
    const ModelGenerator generator(MutationOptions(seed));
    // Dense plans on the first seed, sparse ones on the second.
    const bool sparse = seed == 12u;
    for (const Mutation& mutation : Mutations()) {
      const std::string label = mutation.name + std::string(", seed ") + std::to_string(seed);
      std::unique_ptr<BayesNetModel> model = Read(generator);
      ASSERT_NE(model, nullptr);
      if (sparse) model->Prepare(0);
      const Records records = MakeRecords(generator, *model, options, true, 80);
      ScoreResult* result = nullptr;
      model->GetScore(records.table.Get(0), result, false);
      delete result;
      mutation.apply(*model, generator);
      ExpectedFallback fallback = FallbackOf(generator);
      if (mutation.expect) mutation.expect(fallback, generator);
      CompareOnRecords(*model, records, fallback, label);
    }
  }
}

// A code past what the encoder counted when the plan was built (an encoder
// changed through a pointer kept from before) is scored literally.
TEST(ScoringPlanDifferential, CodesBeyondThePlansTablesAreScoredLiterally) {
  GeneratorOptions o = MutationOptions(13);
  o.method = LearningMethod::MaxLikelihood;
  const ModelGenerator generator(o);
  std::unique_ptr<BayesNetModel> model = Read(generator);
  ASSERT_NE(model, nullptr);
  IVkEncoder* encoder = model->GetEncoder(OfKind(generator, GeneratedNode::StringCategory));
  RecordOptions options;
  options.unknownValues = 0.1;
  const Records records = MakeRecords(generator, *model, options, false, 80);
  ScoreResult* result = nullptr;
  model->GetScore(records.table.Get(0), result, false);
  delete result;
  ASSERT_NE(model->GetScoringPlan(), nullptr);
  encoder->AddCategory("unknown");
  const ExpectedFallback fallback = FallbackOf(generator);  // maxLikelihood: 0 at any count
  EXPECT_GT(CompareOnRecords(*model, records, fallback, "kept encoder"), 0);
}

}  // namespace
