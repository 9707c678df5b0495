#ifndef BAYESNET_CATEGORICALENCODER_H_
#define BAYESNET_CATEGORICALENCODER_H_

#include <string>
#include <vector>

#include "bayesnet/encoders/IVkEncoder.h"

// The label keeping that both categorical encoders share: labels indexed
// by code, in a list that may be shorter than the number of categories
// until SetLabel lengthens it ("" stands for no label). Clone copies the
// categories, never the labels.
class CategoricalEncoder : public IVkEncoder {
 public:
  void SetLabels(const std::vector<std::string>& labels) override { labels_ = labels; }
  // Lengthens the labels to the number of categories, then sets the label
  // of a code in range; a code out of range sets nothing.
  void SetLabel(int code, const std::string& label) override {
    const int n = GetNumCategories();
    if (static_cast<int>(labels_.size()) < n) labels_.resize(n);
    if (code >= 0 && code < n) labels_[code] = label;
  }
  const std::vector<std::string>* GetLabels() const override { return &labels_; }

 protected:
  CategoricalEncoder() = default;

 private:
  std::vector<std::string> labels_;  // code -> label; may be shorter
};

#endif  // BAYESNET_CATEGORICALENCODER_H_
