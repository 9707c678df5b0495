#include "cli/BinText.h"

#include "host/text/NumberText.h"

namespace bnscore::cli {
namespace {

std::string Number(double value) {
  NumberTextBuffer buffer;
  return std::string(FormatNumberView(value, buffer));
}

bool ClosedLeft(const DiscretizeBin& bin) {
  return bin.closure == DiscretizeBin::ClosedOpen || bin.closure == DiscretizeBin::ClosedClosed;
}

bool ClosedRight(const DiscretizeBin& bin) {
  return bin.closure == DiscretizeBin::OpenClosed || bin.closure == DiscretizeBin::ClosedClosed;
}

// The cut between `a` and the next bin `b`: one margin, in exactly one of
// them.
bool Adjoin(const DiscretizeBin& a, const DiscretizeBin& b) {
  return a.hasRightMargin && b.hasLeftMargin && a.rightMargin == b.leftMargin &&
         ClosedRight(a) != ClosedLeft(b);
}

}  // namespace

const Discretization* FindBins(const ScoreModel& model, const std::string& name) {
  const auto* derived =
      dynamic_cast<const TransformationDictionary*>(model.GetTransformationDictionary());
  if (derived == nullptr) return nullptr;
  return derived->GetDiscretization(derived->GetDerivedPosition(name));
}

std::string DescribeInterval(const DiscretizeBin& bin) {
  return std::string(ClosedLeft(bin) && bin.hasLeftMargin ? "[" : "(") +
         (bin.hasLeftMargin ? Number(bin.leftMargin) : "-inf") + ", " +
         (bin.hasRightMargin ? Number(bin.rightMargin) : "+inf") +
         (ClosedRight(bin) && bin.hasRightMargin ? "]" : ")");
}

std::string DescribeBins(const Discretization& bins) {
  const std::vector<DiscretizeBin>& list = bins.bins;
  bool chain = !list.empty() && !list.front().hasLeftMargin && !list.back().hasRightMargin;
  for (std::size_t i = 0; chain && i + 1 < list.size(); ++i) chain = Adjoin(list[i], list[i + 1]);
  std::string text;
  if (chain) {
    text = list.front().binValue;
    for (std::size_t i = 0; i + 1 < list.size(); ++i) {
      text += std::string(ClosedRight(list[i]) ? " <= " : " < ") + Number(list[i].rightMargin) +
              (ClosedLeft(list[i + 1]) ? " <= " : " < ") + list[i + 1].binValue;
    }
    return text;
  }
  for (const DiscretizeBin& bin : list) {
    if (!text.empty()) text += "; ";
    text += bin.binValue + " " + DescribeInterval(bin);
  }
  return text;
}

}  // namespace bnscore::cli
