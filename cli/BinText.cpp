#include "cli/BinText.h"

#include "bnscore/NumberText.h"

namespace bnscore::cli {
namespace {

// The cut between `a` and the next bin `b`: one margin, in exactly one of
// them.
bool Adjoin(const Bin& a, const Bin& b) {
  return a.right && b.left && *a.right == *b.left && a.closedRight != b.closedLeft;
}

}  // namespace

std::string DescribeInterval(const Bin& bin) { return IntervalText(bin); }

std::string DescribeBins(const std::vector<Bin>& list) {
  bool chain = !list.empty() && !list.front().left && !list.back().right;
  for (std::size_t i = 0; chain && i + 1 < list.size(); ++i) chain = Adjoin(list[i], list[i + 1]);
  std::string text;
  if (chain) {
    text = list.front().category;
    for (std::size_t i = 0; i + 1 < list.size(); ++i) {
      text += std::string(list[i].closedRight ? " <= " : " < ") +
              bnscore::FormatNumber(*list[i].right) + (list[i + 1].closedLeft ? " <= " : " < ") +
              list[i + 1].category;
    }
    return text;
  }
  for (const Bin& bin : list) {
    if (!text.empty()) text += "; ";
    text += bin.category + " " + DescribeInterval(bin);
  }
  return text;
}

}  // namespace bnscore::cli
