// bnscore evaluate end to end on tests/data/cli_labelled.csv with the model
// of cli_network.pmml (see BnscoreTest.cpp for its probabilities). Let
// B = "bad, \"really\"". The records, with p(good), p(B) and the prediction:
//   1 u,5  good  0.9130434782608696 0.08695652173913046  good  (0.21 : 0.02)
//   2 v,15 B     0.27272727272727265 0.7272727272727273  B     (0.09 : 0.24)
//   3 u,15 B     0.7777777777777777 0.22222222222222224  good  (0.21 : 0.06)
//   4 v,5  good  0.5294117647058822 0.4705882352941177   good  (0.09 : 0.08)
//   5 v,5  B     the same as 4                           good
//   6 z: status 90021; 7 w: status 90029; 8: label NA (missing);
//   9: label "ugly" (no category). Evaluated: records 1 to 5.
// Hence, by hand:
//   confusion (actual x predicted): good: 2 0; B: 2 1; accuracy 3/5 = 0.6.
//   good: precision 2/4 = 0.5, recall 2/2 = 1, F1 2*2/(4+2) = 2/3, support 2.
//   B: precision 1/1, recall 1/3, F1 2*1/(1+3) = 0.5, support 3.
//   log-loss: -(ln 0.91304 + ln 0.72727 + ln 0.22222 + ln 0.52941 + ln 0.47059)/5
//     = 0.6606526950393825 (summed in this order, in doubles).
//   Brier: each record's (p(good) - y_good)^2 + (p(B) - y_B)^2, i.e.
//     2 (1 - p(actual))^2, averaged: 0.4754439909493562.
//   AUC by p(B): B records 0.727, 0.222, 0.471 against good 0.087, 0.471:
//     2 + 1 + (1 + 0.5 for the tie) = 4.5 of 6 pairs = 0.75.

#include <string>

#include <gtest/gtest.h>

#include "tests/cli/BnscoreProcess.h"

namespace {

const std::string kData = BNSCORE_TEST_DATA "/";
const std::string kModel = kData + "cli_network.pmml";
const std::string kLabelled = kData + "cli_labelled.csv";

TEST(EvaluateTest, ReportsEveryFigureOfTheLabelledRecords) {
  testprocess::Outcome run = RunBnscore({"evaluate", kModel, kLabelled});
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.err, "");
  EXPECT_EQ(run.out,
            "records: 9\n"
            "  status 0: 7\n"
            "  status 90021: 1\n"
            "  status 90029: 1\n"
            "evaluated: 5 (status 0, label a target category)\n"
            "not evaluated: 4\n"
            "  status not 0: 2\n"
            "  label missing: 1\n"
            "  label not a target category: 1 (the first: \"ugly\" on line 10)\n"
            "label column: t\n"
            "accuracy: 0.6 (3 of 5)\n"
            "log-loss: 0.6606526950393825\n"
            "Brier score: 0.4754439909493562\n"
            "ROC AUC: 0.75 (positive category: bad, \"really\")\n"
            "\n"
            "by category:\n"
            "  category       precision  recall              F1                  support\n"
            "  good           0.5        1                   0.6666666666666666  2\n"
            "  bad, \"really\"  1          0.3333333333333333  0.5                 3\n"
            "\n"
            "confusion matrix (rows: actual, columns: predicted):\n"
            "                 good  bad, \"really\"\n"
            "  good           2     0\n"
            "  bad, \"really\"  2     1\n");

  run = RunBnscore({"evaluate", "--format", "json", "--label", "t", kModel, "-"}, kLabelled);
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.out,
            "{\"records\":9,\"statuses\":{\"0\":7,\"90021\":1,\"90029\":1},\"evaluated\":5,"
            "\"not_evaluated\":{\"status_not_0\":2,\"label_missing\":1,\"label_unknown\":1},"
            "\"blank_lines\":0,\"label_column\":\"t\",\"correct\":3,\"accuracy\":0.6,"
            "\"log_loss\":0.6606526950393825,\"brier_score\":0.4754439909493562,"
            "\"roc_auc\":0.75,\"categories\":["
            "{\"category\":\"good\",\"precision\":0.5,\"recall\":1,"
            "\"f1\":0.6666666666666666,\"support\":2},"
            "{\"category\":\"bad, \\\"really\\\"\",\"precision\":1,"
            "\"recall\":0.3333333333333333,\"f1\":0.5,\"support\":3}],"
            "\"confusion_matrix\":[[2,0],[2,1]]}\n");

  // The same records as JSON Lines give the same figures.
  EXPECT_EQ(RunBnscore({"evaluate", "--format", "json", "--input-format", "jsonl", kModel,
                        kData + "cli_labelled.jsonl"})
                .out,
            run.out);
}

TEST(EvaluateTest, RefusesAnInputWithoutTheLabelColumn) {
  testprocess::Outcome run = RunBnscore({"evaluate", "--label", "truth", kModel, kLabelled});
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(run.err, "bnscore: " + kLabelled + ": no label column \"truth\" (see --label)\n");
  EXPECT_EQ(run.out, "");
}

}  // namespace
