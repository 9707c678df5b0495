#include "bayesnet/result/BayesNetClsResult.h"

#include <gtest/gtest.h>

#include "host/data/NumericValue.h"
#include "host/data/StringValue.h"
#include "tests/bayesnet/model/ModelTestSupport.h"

namespace {

using model_test::CountingString;

TEST(BayesNetClsResultTest, ValuePercentsReplaceEqualValues) {
  NumericValue a(1), b(1), c(2);
  StringValue text("1");  // another type: never equal to a number
  BayesNetClsResult result(nullptr);
  EXPECT_EQ(result.GetConfidence(), -1.0);
  EXPECT_EQ(result.GetPrediction(), nullptr);
  EXPECT_TRUE(result.AddValuePercent(&a, 0.3));
  EXPECT_TRUE(result.AddValuePercent(&b, 0.6));
  ASSERT_EQ(result.GetAllValuePercent().size(), 1u);
  EXPECT_EQ(result.GetAllValuePercent()[0].first, &a);  // keeps the first pointer
  EXPECT_EQ(result.GetAllValuePercent()[0].second, 0.6);

  EXPECT_TRUE(result.AddValuePercent(&c, 0.7));
  EXPECT_TRUE(result.AddValuePercent(&text, 0.1));
  ASSERT_EQ(result.GetAllValuePercent().size(), 3u);
  EXPECT_EQ(result.GetAllValuePercent()[1].first, &c);
  EXPECT_EQ(result.GetPercent(&c), 0.7);
  EXPECT_EQ(result.GetPercent(&b), 0.6);
  EXPECT_EQ(result.GetPercent(&text), 0.1);
  NumericValue absent(3);
  EXPECT_EQ(result.GetPercent(&absent), -1.0);
  // The list is handed out, not copied.
  EXPECT_EQ(&result.GetAllValuePercent(), &result.GetAllValuePercent());

  result.RemoveValuePercent();
  EXPECT_TRUE(result.GetAllValuePercent().empty());
  EXPECT_EQ(a.GetDouble(), 1);  // the listed values are untouched
}

// Each result deletes its own prediction exactly once; copies clone it.
TEST(BayesNetClsResultTest, PredictionOwnership) {
  int deleted = 0;
  NumericValue category(4);
  {
    BayesNetClsResult result(nullptr);
    result.SetPrediction(new CountingString("p", &deleted));
    result.AddValuePercent(&category, 0.5);
    result.SetConfidence(0.5);
    result.AddAdvice(ResultAdvice("note"));
    result.AddAdvice(ResultAdvice("second"));

    BayesNetClsResult copy(result);
    ASSERT_NE(copy.GetPrediction(), nullptr);
    EXPECT_NE(copy.GetPrediction(), result.GetPrediction());
    EXPECT_EQ(copy.GetPrediction()->GetString(), "p");
    EXPECT_EQ(copy.GetConfidence(), 0.5);
    EXPECT_EQ(copy.GetAllValuePercent(), result.GetAllValuePercent());
    ASSERT_EQ(copy.GetAdvice().size(), 2u);
    EXPECT_EQ(copy.GetAdvice()[1].GetText(), "second");
    copy.RemoveAdvice();
    EXPECT_TRUE(copy.GetAdvice().empty());
    EXPECT_EQ(result.GetAdvice().size(), 2u);

    int assignedDeleted = 0;
    BayesNetClsResult assigned(nullptr);
    assigned.SetPrediction(new CountingString("old", &assignedDeleted));
    assigned = result;
    EXPECT_EQ(assignedDeleted, 1);  // the previous prediction is released
    EXPECT_EQ(assigned.GetPrediction()->GetString(), "p");
    EXPECT_NE(assigned.GetPrediction(), result.GetPrediction());

    const ScoreValue* held = result.GetPrediction();
    BayesNetClsResult& self = result;
    result = self;
    EXPECT_EQ(result.GetPrediction(), held);
    EXPECT_EQ(deleted, 0);

    BayesNetClsResult empty(nullptr);
    assigned = empty;
    EXPECT_EQ(assigned.GetPrediction(), nullptr);
  }
  EXPECT_EQ(deleted, 1);
  EXPECT_EQ(category.GetDouble(), 4);  // listed values are never deleted
}

}  // namespace
