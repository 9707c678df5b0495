#include "tests/bayesnet/model/ModelTestSupport.h"

#include "bayesnet/encoders/VkCatNumericEncoder.h"
#include "host/data/NumericValue.h"
#include "host/interfaces/ScoreValueLabel.h"

namespace model_test {

BaseDictVar* AddVar(BaseDictionary* dict, const std::string& name, int valueType, int measure,
                    const std::vector<std::string>& categories) {
  auto* var = new BaseDictVar(name, valueType, measure);
  for (const std::string& text : categories) {
    std::unique_ptr<ScoreValue> value;
    if (valueType == 0) {
      value = std::make_unique<NumericValue>(text);
    } else {
      value = std::make_unique<StringValue>(text);
    }
    var->AddValueLabel(std::move(value), "label " + text);
  }
  dict->AddVariable(name, var);
  return var;
}

IVkEncoder* EncoderFor(const ScoreDictVar* var) {
  IVkEncoder* encoder;
  VkCatStringEncoder* strings = nullptr;
  if (var->GetValueType() == 0) {
    encoder = new VkCatNumericEncoder();
  } else {
    strings = new VkCatStringEncoder();
    encoder = strings;
  }
  if (const ScoreValueLabelSet* labels = var->GetValueLabelSet()) {
    for (const ScoreValueLabel* label : labels->GetLabels())
      encoder->AddCategory(label->GetValue());
  }
  if (strings != nullptr) strings->BuildSlots();  // as the reader's encoders have
  return encoder;
}

const ScoreValue* CategoryValue(const ScoreDictVar* var, int c) {
  return var->GetValueLabelSet()->GetLabels()[c]->GetValue();
}

void AddArc(BayesNetModel& model, const std::string& parent, const std::string& child) {
  model.GetLinkSource()[parent][child] = BayesNetModel::ArcOut;
  model.GetLinkSource()[child][parent] = BayesNetModel::ArcIn;
}

WorkedNet MakeWorkedNet(bool numericTarget) {
  WorkedNet net;
  net.model = std::make_unique<BayesNetModel>();
  auto* dict = new BaseDictionary();
  net.target =
      numericTarget ? AddVar(dict, "T", 0, 1, {"1", "2"}) : AddVar(dict, "T", 1, 1, {"a", "b"});
  net.x = AddVar(dict, "X", 1, 1, {"x0", "x1"});
  BayesNetModel& model = *net.model;
  model.SetScoreDictionary(dict);
  model.SetVarRole("T", ScoreModel::TargetRole);
  model.SetVarRole("X", ScoreModel::InputRole);
  model.AddPredictorVar("X", net.x);
  model.AddEncoder(EncoderFor(net.x));
  model.AddEncoder(EncoderFor(net.target));
  model.SetTargetVar(net.target);
  AddArc(model, "T", "X");
  model.GetParentsTable()["X"] = {"T"};
  model.GetCPT()["T"][{}] = {0.6, 0.4, 50};
  model.GetCPT()["X"][{0}] = {0.7, 0.3, 30};
  model.GetCPT()["X"][{1}] = {0.2, 0.8, 20};
  return net;
}

}  // namespace model_test
