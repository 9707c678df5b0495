#ifndef BAYESNET_VKBINNINGENCODER_H_
#define BAYESNET_VKBINNINGENCODER_H_

#include <ostream>
#include <string>
#include <vector>

#include "bayesnet/encoders/CutIndex.h"
#include "bayesnet/encoders/IVkEncoder.h"

// Encodes a continuous field by the bins that ascending cut points make:
// a number's code is the count of cut points strictly below it, so a
// number equal to a cut point falls in the bin below it. The bins are fixed
// at construction; AddCategory only looks up, labels are not kept, and the
// categories have neither text nor number. Missing values are not checked
// here: scoring asks the dictionary variable first.
class VkBinningEncoder : public IVkEncoder {
 public:
  // Copies `cutPoints` (ascending, at least one); the encoder has one bin
  // more than cut points.
  explicit VkBinningEncoder(const std::vector<double>& cutPoints);
  ~VkBinningEncoder() override;

  int GetEncoderType() const override { return Binning; }
  int GetNumCategories() const override { return numBins_; }
  int AddCategory(const ScoreValue* value) override { return GetCode(value); }
  int AddCategory(const std::string& text) override { return GetCode(text); }
  // The bin of the text read as a number by NumericValue's text
  // constructor (so a text that is no number gives the system-missing
  // value's bin, 0).
  int GetCode(const std::string& text) const override;
  // -1 for a null or non-numeric value; otherwise its number's bin.
  int GetCode(const ScoreValue* value) const override;
  std::string GetCategoryString(int code) const override;
  double GetCategoryValue(int code) const override;
  IVkEncoder* Clone() const override;
  void SetLabels(const std::vector<std::string>& labels) override;
  void SetLabel(int code, const std::string& label) override;
  const std::vector<std::string>* GetLabels() const override { return nullptr; }
  // "\tVkBinningEncoder: number of bins = N" and a line of cut points.
  void Display(std::ostream& os) const override;

  const std::vector<double>& GetCutPoints() const { return cutPoints_; }

  // What GetCode gives for a numeric value holding x, without the virtual
  // calls (for scoring plans that know the value's class).
  int CodeOfNumber(double x) const { return BinOf(x); }
  // The cut points indexed when they ascend strictly (no NaN among
  // them), so that the code of a number x that is not a NaN is
  // Count(x); else null.
  const CutIndex* Counted() const {
    return strictlyAscending_ && !cutPoints_.empty() ? &index_ : nullptr;
  }

 private:
  // The bin of x: the binary search below, or, over strictly ascending cut
  // points, the same answer without its hard-to-predict branches.
  int BinOf(double x) const {
    if (!strictlyAscending_ || cutPoints_.empty()) return SearchBin(x);
    // The search compares false everywhere for a NaN and ends in the last bin.
    if (x != x) return numBins_ - 1;
    return static_cast<int>(index_.Count(x));
  }
  // The binary search that defines the bins, whatever the cut points. Over
  // strictly ascending cut points it gives the number of cut points below
  // x (CountBelow), or the last bin for a NaN.
  int SearchBin(double x) const;

  int numBins_;
  std::vector<double> cutPoints_;
  bool strictlyAscending_;  // no NaN among the cut points either
  CutIndex index_;          // of the cut points, when strictly ascending
};

#endif  // BAYESNET_VKBINNINGENCODER_H_
