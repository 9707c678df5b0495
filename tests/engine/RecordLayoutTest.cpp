// Fields a model asks a record for beyond its data dictionary's predictors:
// a derived predictor that a record read by name carries itself, and a
// target that is an active field too. Both scored through ScoreCsv (what
// `bnscore score` runs), on one and on two threads, and through ScoreOne.

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "bnscore/bnscore.h"

namespace {

const std::string kPlugin = BNSCORE_LIB_DIR "/libbayesnet.so";

// T (a, b) with the children X and g1; g1 bins z1 into "in" (0, 10] and
// "far" (10, ...), and is a derived predictor.
const char kDerivedModel[] = R"(<?xml version="1.0"?>
<PMML version="3.1">
  <Header copyright="test"><Application name="tests" version="1"/></Header>
  <DataDictionary numberOfFields="3">
    <DataField name="T" optype="categorical" dataType="string">
      <Value value="a"/><Value value="b"/>
    </DataField>
    <DataField name="X" optype="categorical" dataType="string">
      <Value value="x1"/><Value value="x2"/>
    </DataField>
    <DataField name="z1" optype="continuous" dataType="double"/>
  </DataDictionary>
  <TransformationDictionary>
    <DerivedField name="g1" optype="categorical" dataType="string">
      <Discretize field="z1">
        <DiscretizeBin binValue="in">
          <Interval closure="openClosed" leftMargin="0" rightMargin="10"/>
        </DiscretizeBin>
        <DiscretizeBin binValue="far">
          <Interval closure="openOpen" leftMargin="10"/>
        </DiscretizeBin>
      </Discretize>
    </DerivedField>
  </TransformationDictionary>
  <BayesNetModel modelName="derived" functionName="classification">
    <MiningSchema>
      <MiningField name="T" usageType="predicted"/>
      <MiningField name="X" usageType="active"/>
      <Extension extender="modelcore" name="DerivedFields">
        <MiningField name="g1"/>
      </Extension>
      <MiningField name="z1" usageType="active">
        <Extension><DerivedFieldRef name="g1"/></Extension>
      </MiningField>
    </MiningSchema>
    <LinkSource>
      <names>parent;child;arc</names>
      <row>T; X; yes</row>
      <row>T; g1; yes</row>
    </LinkSource>
    <ConditionalTables>
      <ConditionalTable fieldName="T" parentsNumber="0">
        <names/>
        <row totalN="100">0.6; 0.4</row>
      </ConditionalTable>
      <ConditionalTable fieldName="X" parentsNumber="1">
        <names>T</names>
        <row totalN="60">a; 0.7; 0.3</row>
        <row totalN="40">b; 0.2; 0.8</row>
      </ConditionalTable>
      <ConditionalTable fieldName="g1" parentsNumber="1">
        <names>T</names>
        <row totalN="60">a; 0.9; 0.1</row>
        <row totalN="40">b; 0.5; 0.5</row>
      </ConditionalTable>
    </ConditionalTables>
  </BayesNetModel>
</PMML>
)";

// T (a, b), active as well as predicted, with the child X.
const char kActiveTargetModel[] = R"(<?xml version="1.0"?>
<PMML version="3.1">
  <Header copyright="test"><Application name="tests" version="1"/></Header>
  <DataDictionary numberOfFields="2">
    <DataField name="X" optype="categorical" dataType="string">
      <Value value="x1"/><Value value="x2"/>
    </DataField>
    <DataField name="T" optype="categorical" dataType="string">
      <Value value="a"/><Value value="b"/>
    </DataField>
  </DataDictionary>
  <BayesNetModel modelName="active target" functionName="classification">
    <MiningSchema>
      <MiningField name="T" usageType="active"/>
      <MiningField name="X" usageType="active"/>
      <MiningField name="T" usageType="predicted"/>
    </MiningSchema>
    <LinkSource>
      <names>parent;child;arc</names>
      <row>T; X; yes</row>
    </LinkSource>
    <ConditionalTables>
      <ConditionalTable fieldName="T" parentsNumber="0">
        <names/>
        <row totalN="100">0.6; 0.4</row>
      </ConditionalTable>
      <ConditionalTable fieldName="X" parentsNumber="1">
        <names>T</names>
        <row totalN="60">a; 0.7; 0.3</row>
        <row totalN="40">b; 0.2; 0.8</row>
      </ConditionalTable>
    </ConditionalTables>
  </BayesNetModel>
</PMML>
)";

// The status and prediction columns of ScoreCsv's output for `csv`, one
// "status,prediction" per record, the same on one and on two threads.
std::vector<std::string> Outcomes(const bnscore::Model& model, const std::string& csv) {
  std::vector<std::string> outcomes;
  std::string first;
  for (int threads : {1, 2}) {
    bnscore::TextSource input(csv);
    std::string text;
    bnscore::StringSink output(text);
    bnscore::CsvOptions options;
    options.threads = threads;
    options.blockBytes = 16;  // several blocks on two threads
    model.ScoreCsv(input, "records.csv", output, options);
    if (threads == 1) {
      first = text;
    } else {
      EXPECT_EQ(text, first);
    }
  }
  std::size_t line = first.find('\n') + 1;  // after the header
  while (line < first.size()) {
    const std::size_t end = first.find('\n', line);
    const std::string row = first.substr(line, end - line);
    const std::size_t second = row.find(',', row.find(',') + 1);
    outcomes.push_back(row.substr(0, second));
    line = end + 1;
  }
  return outcomes;
}

// P(a) of a record with X = x1, from the tables by hand: 0.6 * 0.7 * pg
// against 0.4 * 0.2 * qg, where pg and qg are g1's factors.
double ProbabilityOfA(double pg, double qg) {
  return 0.6 * 0.7 * pg / (0.6 * 0.7 * pg + 0.4 * 0.2 * qg);
}

TEST(RecordLayoutTest, ARecordReadByNameGivesItsOwnDerivedPredictor) {
  bnscore::LoadOptions byName;
  byName.byName = true;
  byName.plugin = kPlugin;
  const auto model = bnscore::Model::LoadText(kDerivedModel, byName);
  // "out" is no category of g1; an empty cell leaves g1 to z1.
  EXPECT_EQ(Outcomes(*model, "X,z1,g1\nx1,5,out\nx1,5,\n"),
            (std::vector<std::string>{"90029,", "0,a"}));

  // The reason names the record's own cell.
  bnscore::TextSource input("X,z1,g1\nx1,5,out\n");
  std::string text;
  bnscore::StringSink output(text);
  bnscore::CsvOptions reason;
  reason.reason = true;
  model->ScoreCsv(input, "records.csv", output, reason);
  EXPECT_EQ(text,
            "status,prediction,confidence,probability(a),probability(b),reason\n"
            "90029,,,,,\"g1: unknown category \"\"out\"\"\"\n");

  std::vector<double> p(2);
  bnscore::NamedCell record[] = {{"X", bnscore::Cell::Of("x1")},
                                 {"z1", bnscore::Cell::Of(5.0)},
                                 {"g1", bnscore::Cell::Of("out")}};
  EXPECT_EQ(model->ScoreOne(record, p).status, bnscore::kMissingPredictor);
  // Without the cell, g1 is computed from z1: "in".
  EXPECT_EQ(model->ScoreOne(std::span(record, 2), p).status, bnscore::kScored);
  EXPECT_NEAR(p[0], ProbabilityOfA(0.9, 0.5), 1e-12);

  // Read by position, the record's g1 is not asked for.
  bnscore::LoadOptions byPosition;
  byPosition.plugin = kPlugin;
  const auto positional = bnscore::Model::LoadText(kDerivedModel, byPosition);
  EXPECT_EQ(Outcomes(*positional, "X,z1,g1\nx1,5,out\n"), std::vector<std::string>{"0,a"});
}

TEST(RecordLayoutTest, ATargetThatIsAnActiveFieldIsReadAsAPredictor) {
  // Read by name too: the model asks the record for T by its name.
  for (bool byName : {false, true}) {
    SCOPED_TRACE(byName ? "by name" : "by position");
    bnscore::LoadOptions options;
    options.plugin = kPlugin;
    options.byName = byName;
    const auto model = bnscore::Model::LoadText(kActiveTargetModel, options);
    // Listed for callers that pass columns by the schema's names.
    ASSERT_EQ(model->GetSchema().inputs.size(), 2u);
    EXPECT_EQ(model->GetSchema().inputs[1].name, "T");
    EXPECT_EQ(Outcomes(*model, "X,T\nx1,a\nx1,b\nx1,\nx1,zz\n"),
              (std::vector<std::string>{"0,a", "0,a", "90029,", "90029,"}));
  }
  bnscore::LoadOptions options;
  options.plugin = kPlugin;
  const auto model = bnscore::Model::LoadText(kActiveTargetModel, options);

  std::vector<double> p(2);
  const std::vector<std::string_view> x = {"x1"};
  const std::vector<std::string_view> t = {"b"};
  const bnscore::Column columns[] = {bnscore::Column::Texts("X", x),
                                     bnscore::Column::Texts("T", t)};
  std::int32_t status = -1;
  std::int32_t prediction = -1;
  model->Score(columns, 1, bnscore::Outputs{{&status, 1}, {&prediction, 1}, {}, p});
  EXPECT_EQ(status, bnscore::kScored);
  EXPECT_NEAR(p[0], ProbabilityOfA(1.0, 1.0), 1e-12);
}

}  // namespace
