#include "learn/StructureSearch.h"

#include <algorithm>
#include <cmath>

namespace bnscore::learn {

double ConditionalMutualInformation(const FamilyCounts& cab) {
  const std::size_t nc = cab.GetSize(0), na = cab.GetSize(1), nb = cab.GetSize(2);
  const std::vector<std::uint64_t>& n = cab.GetCounts();
  double total = 0.0;
  double information = 0.0;
  std::vector<double> ca(na), cb(nb);
  for (std::size_t c = 0; c < nc; ++c) {
    std::fill(ca.begin(), ca.end(), 0.0);
    std::fill(cb.begin(), cb.end(), 0.0);
    double cc = 0.0;
    for (std::size_t a = 0; a < na; ++a) {
      for (std::size_t b = 0; b < nb; ++b) {
        const double count = static_cast<double>(n[(c * na + a) * nb + b]);
        ca[a] += count;
        cb[b] += count;
        cc += count;
      }
    }
    total += cc;
    for (std::size_t a = 0; a < na; ++a) {
      for (std::size_t b = 0; b < nb; ++b) {
        const double count = static_cast<double>(n[(c * na + a) * nb + b]);
        if (count > 0) information += count * std::log(count * cc / (ca[a] * cb[b]));
      }
    }
  }
  return total > 0 ? information / total : 0.0;
}

std::vector<std::size_t> MaximumSpanningTree(const std::vector<std::vector<double>>& weights) {
  const std::size_t n = weights.size();
  std::vector<std::size_t> parent(n, n);
  std::vector<bool> inTree(n, false);
  std::vector<double> best(n, -INFINITY);
  if (n == 0) return parent;
  inTree[0] = true;
  for (std::size_t i = 1; i < n; ++i) {
    best[i] = weights[0][i];
    parent[i] = 0;
  }
  for (std::size_t added = 1; added < n; ++added) {
    std::size_t next = n;
    for (std::size_t i = 0; i < n; ++i) {
      if (!inTree[i] && (next == n || best[i] > best[next])) next = i;
    }
    inTree[next] = true;
    for (std::size_t i = 0; i < n; ++i) {
      if (!inTree[i] && weights[next][i] > best[i]) {
        best[i] = weights[next][i];
        parent[i] = next;
      }
    }
  }
  return parent;
}

double K2Score(const FamilyCounts& family, std::size_t childStates) {
  const std::vector<std::uint64_t>& n = family.GetCounts();
  const double r = static_cast<double>(childStates);
  double score = 0.0;
  for (std::size_t row = 0; row * childStates < n.size(); ++row) {
    double rowTotal = 0.0;
    for (std::size_t x = 0; x < childStates; ++x) {
      const double count = static_cast<double>(n[row * childStates + x]);
      rowTotal += count;
      score += std::lgamma(count + 1);
    }
    score += std::lgamma(r) - std::lgamma(rowTotal + r);
  }
  return score;
}

}  // namespace bnscore::learn
