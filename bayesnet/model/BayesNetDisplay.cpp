#include "bayesnet/model/BayesNetModel.h"

// BayesNetModel::Display, the host's debugging dump of a model.

void BayesNetModel::Display(std::ostream& os) const {
  os << "\nBegin Display of BayesNetModel." << std::endl;
  os << "Input variable names: ";
  for (const std::string& name : predictorNames_) os << name << " ";
  os << " Only prediction? " << (predictionOnly_ ? "True." : "False.") << std::endl;
  os << "Encoders: " << std::endl;
  os << "Target variable: ";
  if (targetVar_ != nullptr) targetVar_->Display(os);
  os << "Target categories: ";
  for (const ScoreValue* category : targetCategories_) os << category->GetString();
  os << "Target category counts: ";
  for (int count : targetCategoryCounts_) os << count << " ";
  os << std::endl << "Target probabilities: ";
  for (double probability : targetProbabilities_) os << probability << " ";
  os << std::endl;
  os << "Dict var index set up? " << (indexReady_ ? "True" : "False") << std::endl;
  os << "Predictor variables and their stats:";
  for (const ScoreDictVar* var : predictorVars_) var->Display(os);
  os << "End of BayesNetModel display." << std::endl;
}
