#include "bayesnet/reader/EncoderFactory.h"

#include <memory>
#include <new>

#include "bayesnet/encoders/VkBinningEncoder.h"
#include "bayesnet/encoders/VkCatNumericEncoder.h"
#include "bayesnet/encoders/VkCatStringEncoder.h"
#include "host/interfaces/ScoreValueLabel.h"
#include "host/interfaces/VkException.h"

IVkEncoder* EncoderFactory::CreateCategoricalEncoder(const ScoreDictVar* variable) {
  const ScoreValueLabelSet* labelSet = variable->GetValueLabelSet();
  if (labelSet != nullptr) labelSet->Prepare();

  std::unique_ptr<IVkEncoder> encoder;
  VkCatStringEncoder* strings = nullptr;  // the same encoder, when it holds texts
  if (variable->GetValueType() == ScoreValue::Numeric) {
    encoder.reset(new (std::nothrow) VkCatNumericEncoder());
  } else {
    strings = new (std::nothrow) VkCatStringEncoder();
    encoder.reset(strings);
  }
  if (encoder == nullptr || labelSet == nullptr) return encoder.release();

  // Codes follow the label set's order; an equal value keeps its code and
  // takes the later label's text.
  const std::vector<ScoreValueLabel*> labels = labelSet->GetLabels();
  for (const ScoreValueLabel* label : labels) {
    const int code = encoder->AddCategory(label->GetValue());
    encoder->SetLabel(code, label->GetLabel());
  }
  if (strings != nullptr) strings->BuildSlots();
  return encoder.release();
}

IVkEncoder* EncoderFactory::CreateBinningEncoder(const std::string& predictor,
                                                 const std::string& derivedField,
                                                 const CutPointMap& cutPoints) {
  const auto found = cutPoints.find(derivedField);
  if (found == cutPoints.end()) {
    throw VkException(VkException::NameNotFound,
                      predictor + "Variable binning info not found in transformation dictionary.");
  }
  return new (std::nothrow) VkBinningEncoder(found->second);
}
