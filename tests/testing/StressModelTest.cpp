// The many-categories stress model of testing/StressModels scored through
// the loaded plug-in to the numbers its construction gives (the plan
// stress model's cost is measured by the benchmarks).
#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "testing/RecordTable.h"
#include "testing/StressModels.h"
#include "engine/LoadedModel.h"
#include "host/interfaces/ScoreResult.h"
#include "host/xml/XmlPlatform.h"

using namespace bnscore::internal;
using namespace bnscore::testing;

namespace {

class StressModelScores : public ::testing::Test {
 protected:
  // Reads `m` through the engine's loader and fills `table_` with its
  // record.
  std::unique_ptr<LoadedModel> Read(const StressModel& m, const std::string& name) {
    std::unique_ptr<LoadedModel> model = LoadedModel::LoadText(kPlugin, m.pmml, name);
    table_ = std::make_unique<RecordTable>(model->GetModel(), m.fieldNames, true, false);
    table_->Add(m.record);
    return model;
  }

  // What every scored row must be: one entry per category, probabilities
  // summing to 1, and the prediction's probability equal to the confidence.
  static void ExpectConsistentRow(const ScoreResult* result, std::size_t categories) {
    const auto* cls = static_cast<const ScoreClsResult*>(result);
    const auto& percents = cls->GetAllValuePercent();
    ASSERT_EQ(percents.size(), categories);
    double sum = 0.0;
    for (const auto& entry : percents) sum += entry.second;
    EXPECT_NEAR(sum, 1.0, 1e-9);
    EXPECT_EQ(cls->GetPercent(cls->GetPrediction()), cls->GetConfidence());
  }

  static constexpr const char* kPlugin = BNSCORE_LIB_DIR "/libbayesnet.so";
  XmlPlatform platform_;
  std::unique_ptr<RecordTable> table_;
};

// Beyond 64 categories every record used to search the result's list for
// each category (quadratic). Around that boundary and far beyond it, the
// rows keep one entry per category, in order, refilled in place, and hold
// the posterior prior(i) P(u | ki), normalised.
TEST_F(StressModelScores, ManyTargetCategoriesGiveWholeRowsRefilledInPlace) {
  for (int k : {64, 65, 1000, 10000}) {
    SCOPED_TRACE(k);
    std::unique_ptr<LoadedModel> model = Read(ManyCategoriesModel(k), "many.pmml");
    const double n = k * (k + 1.0) / 2.0;
    std::vector<double> expected(k);
    double sum = 0.0;
    for (int i = 0; i < k; ++i) {
      expected[i] = (i + 1) / n * (1.0 / (i + 2));
      sum += expected[i];
    }
    ScoreResult* result = nullptr;
    const std::pair<const ScoreValue*, double>* entries = nullptr;
    for (int record = 0; record < 3; ++record) {
      ASSERT_EQ(model->GetModel().GetScore(table_->Get(0), result, false).GetCode(), 0);
      ExpectConsistentRow(result, static_cast<std::size_t>(k));
      const auto& percents = static_cast<ScoreClsResult*>(result)->GetAllValuePercent();
      if (record == 0) entries = percents.data();
      EXPECT_EQ(percents.data(), entries);  // the same list, refilled
      for (int i : {0, k / 2, k - 1}) {
        EXPECT_EQ(percents[i].first->GetString(), "k" + std::to_string(i));
        EXPECT_EQ(percents[i].second, expected[i] / sum);
      }
      EXPECT_EQ(result->GetPrediction()->GetString(), "k" + std::to_string(k - 1));
    }
    delete result;
  }
}

}  // namespace
