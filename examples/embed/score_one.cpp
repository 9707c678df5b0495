// Scores one record, given by field name, with a classifier read from PMML
// and prints status, prediction, confidence and probabilities as `bnscore
// score` would (numbers in their shortest round-trip form):
//   score_one credit_risk.pmml
//   0,low,0.6537890044576523,0.6537890044576523,0.29420505200594355,0.052005943536404156
#include <bnscore/bnscore.h>

#include <charconv>
#include <iostream>
#include <string>
#include <vector>

int main(int argc, char** argv) try {
  if (argc != 2) {
    std::cerr << "usage: score_one MODEL.pmml\n";
    return 1;
  }
  auto model = bnscore::Model::Load(argv[1]);
  const bnscore::Schema& schema = model->GetSchema();
  std::vector<double> p(schema.categories.size());
  const bnscore::NamedCell record[] = {{"age", bnscore::Cell::Of(34.0)},
                                       {"income", bnscore::Cell::Of(52000.0)},
                                       {"employment", bnscore::Cell::Of("salaried")},
                                       {"dependents", bnscore::Cell::Of(1.0)}};
  const bnscore::Outcome o = model->ScoreOne(record, p);

  const auto text = [](double x) {
    char buffer[32];
    return x != x ? std::string() : std::string(buffer, std::to_chars(buffer, buffer + 32, x).ptr);
  };
  std::cout << o.status << "," << (o.prediction < 0 ? "" : schema.categories[o.prediction]) << ","
            << text(o.confidence);
  for (double probability : p) std::cout << "," << text(probability);
  std::cout << "\n";
  return 0;
} catch (const bnscore::Error& e) {
  std::cerr << "score_one: " << e.what() << "\n";
  return 2;
}
