#include "bayesnet/encoders/VkBinningEncoder.h"

#include "bayesnet/encoders/MCMV.h"
#include "host/data/NumericValue.h"

namespace {

bool StrictlyAscending(const std::vector<double>& cuts) {
  for (std::size_t i = 0; i < cuts.size(); ++i) {
    if (cuts[i] != cuts[i]) return false;  // a NaN
    if (i > 0 && !(cuts[i - 1] < cuts[i])) return false;
  }
  return true;
}

}  // namespace

VkBinningEncoder::VkBinningEncoder(const std::vector<double>& cutPoints)
    : numBins_(static_cast<int>(cutPoints.size()) + 1),
      cutPoints_(cutPoints),
      strictlyAscending_(StrictlyAscending(cutPoints)),
      index_(strictlyAscending_ ? CutIndex(cutPoints) : CutIndex()) {}

VkBinningEncoder::~VkBinningEncoder() = default;

int VkBinningEncoder::SearchBin(double x) const {
  if (cutPoints_.empty()) return 0;  // never built so; the only bin
  int lo = 0;
  int hi = numBins_ - 2;
  int mid = 0;
  double last = 0.0;  // the cut point compared last
  while (lo <= hi) {
    mid = (lo + hi) / 2;
    last = cutPoints_[mid];
    if (x == last) return mid;
    if (last > x) {
      hi = mid - 1;
    } else {
      lo = mid + 1;
    }
  }
  // A NaN compares false everywhere and so ends in the last bin.
  return last > x ? mid : mid + 1;
}

int VkBinningEncoder::GetCode(const std::string& text) const {
  return BinOf(NumericValue(text).GetDouble());
}

int VkBinningEncoder::GetCode(const ScoreValue* value) const {
  if (value == nullptr || value->GetType() != ScoreValue::Numeric) return -1;
  return BinOf(value->GetDouble());
}

std::string VkBinningEncoder::GetCategoryString(int) const { return std::string(); }

double VkBinningEncoder::GetCategoryValue(int) const { return MCMV::Missing(); }

IVkEncoder* VkBinningEncoder::Clone() const { return new VkBinningEncoder(cutPoints_); }

void VkBinningEncoder::SetLabels(const std::vector<std::string>&) {}

void VkBinningEncoder::SetLabel(int, const std::string&) {}

void VkBinningEncoder::Display(std::ostream& os) const {
  os << "\tVkBinningEncoder: number of bins = " << numBins_ << std::endl;
  os << "\t\tCutpoints: ";
  for (double cut : cutPoints_) os << cut << " ";
  os << std::endl;
}
