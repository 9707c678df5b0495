// learn_bench: how fast `bnscore learn` counts, and how close it comes to
// a known network.
//
//   learn_bench speed [ROWS]   writes ROWS (default 1,000,000) rows × 20
//       columns (a 3-class target, 10 categorical columns of 4 values, 9
//       numeric columns of 2 decimals, each leaning on the target) to a
//       temporary CSV file and times naive and TAN learning on one thread
//       (wall and CPU seconds, peak resident memory).
//   learn_bench given NETWORK.bif TARGET [ROWS]   samples ROWS (default
//       100,000) records from the network, learns the tables with the
//       network's own arcs (--structure given:FILE) and prints the largest
//       absolute difference between a learned and a true probability
//       (alpha 0.5; states never sampled count as learned 0), and the
//       largest over the rows that 1,000 samples or more support.
#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <ctime>
#include <fstream>
#include <iostream>
#include <string>
#include <vector>

#include "testing/SeededRandom.h"
#include "bnscore/learn.h"
#include "formats/NetworkReader.h"
#include "learn/DataSource.h"
#include "learn/Learner.h"

using namespace bnscore::testing;

namespace {

double CpuSeconds() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
         static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

long PeakRssKb() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return usage.ru_maxrss;
}

std::string WriteSpeedData(long rows) {
  const std::string path = "/tmp/learn_bench." + std::to_string(::getpid()) + ".csv";
  std::ofstream out(path);
  SeededRandom random(20261207);
  out << "target";
  for (int c = 0; c < 10; ++c) out << ",c" << c;
  for (int n = 0; n < 9; ++n) out << ",x" << n;
  out << '\n';
  char number[32];
  for (long r = 0; r < rows; ++r) {
    const int t = static_cast<int>(random.Below(3));
    out << "k" << t;
    for (int c = 0; c < 10; ++c) {
      const int v = random.Chance(0.3) ? t : static_cast<int>(random.Below(4));
      out << ",v" << v;
    }
    for (int n = 0; n < 9; ++n) {
      const double x = t * 0.5 + 3.0 * random.Unit() + n;
      std::snprintf(number, sizeof number, ",%.2f", x);
      out << number;
    }
    out << '\n';
  }
  return path;
}

int Speed(long rows) {
  const std::string path = WriteSpeedData(rows);
  std::cout << "rows " << rows << ", 20 columns, one thread\n";
  for (const char* structure : {"naive", "tan"}) {
    bnscore::LearnOptions options;
    options.target = "target";
    options.structure = structure;
    const auto start = std::chrono::steady_clock::now();
    const double cpu = CpuSeconds();
    const bnscore::LearnResult result = bnscore::Learn(path, options);
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    std::cout << structure << ": " << seconds << " s wall, " << CpuSeconds() - cpu
              << " s CPU, document " << result.pmml.size() << " bytes, peak RSS so far "
              << PeakRssKb() / 1024 << " MiB\n";
  }
  std::remove(path.c_str());
  return 0;
}

// Forward sampling in the network's order after a topological sort.
int Given(const std::string& networkPath, const std::string& target, long rows) {
  std::ifstream in(networkPath);
  const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  const bnscore::formats::Network truth =
      bnscore::formats::ReadNetwork(text, networkPath, bnscore::formats::Format::kBif);
  const std::size_t n = truth.variables.size();
  std::vector<std::size_t> order;
  std::vector<bool> placed(n, false);
  while (order.size() < n) {
    for (std::size_t v = 0; v < n; ++v) {
      if (placed[v]) continue;
      bool ready = true;
      for (std::size_t p : truth.variables[v].parents) ready = ready && placed[p];
      if (ready) {
        placed[v] = true;
        order.push_back(v);
      }
    }
  }
  std::string csv;
  for (std::size_t v = 0; v < n; ++v) csv += (v ? "," : "") + truth.variables[v].name;
  csv += '\n';
  SeededRandom random(7);
  std::vector<std::size_t> state(n);
  for (long r = 0; r < rows; ++r) {
    for (std::size_t v : order) {
      const auto& variable = truth.variables[v];
      std::size_t row = 0;
      for (std::size_t p : variable.parents) {
        row = row * truth.variables[p].states.size() + state[p];
      }
      const std::size_t k = variable.states.size();
      double u = random.Unit();
      std::size_t s = 0;
      for (; s + 1 < k; ++s) {
        u -= variable.table[row * k + s];
        if (u < 0) break;
      }
      state[v] = s;
    }
    for (std::size_t v = 0; v < n; ++v) {
      csv += (v ? "," : "") + truth.variables[v].states[state[v]];
    }
    csv += '\n';
  }
  bnscore::LearnOptions options;
  options.target = target;
  options.structure = "given:" + networkPath;
  options.missingValues.clear();
  std::vector<std::string> notes;
  const bnscore::formats::Network learned =
      bnscore::learn::LearnNetwork(bnscore::learn::DataSource::Text(csv, "sample"), options, notes);
  for (const std::string& note : notes) std::cout << "note: " << note << '\n';
  double worst = 0.0, worstSupported = 0.0;  // over all rows; over rows of totalN >= 1000
  std::string where;
  for (const auto& variable : truth.variables) {
    const auto& mine = learned.variables[static_cast<std::size_t>(learned.Find(variable.name))];
    const std::size_t k = variable.states.size();
    const std::size_t rowsOfTable = variable.table.size() / k;
    for (std::size_t row = 0; row < rowsOfTable; ++row) {
      // The true row's parent states, then the learned row with those states.
      std::vector<std::string> parentState(variable.parents.size());
      std::size_t rest = row;
      for (std::size_t j = variable.parents.size(); j-- > 0;) {
        const auto& parent = truth.variables[variable.parents[j]];
        parentState[j] = parent.states[rest % parent.states.size()];
        rest /= parent.states.size();
      }
      std::size_t learnedRow = 0;
      bool seen = true;
      for (std::size_t p : mine.parents) {
        const auto& parent = learned.variables[p];
        std::size_t j = 0;
        while (truth.variables[variable.parents[j]].name != parent.name) ++j;
        const auto at = std::find(parent.states.begin(), parent.states.end(), parentState[j]);
        seen = seen && at != parent.states.end();
        learnedRow = learnedRow * parent.states.size() +
                     static_cast<std::size_t>(at - parent.states.begin()) % parent.states.size();
      }
      if (!seen) continue;  // a configuration never sampled
      for (std::size_t s = 0; s < k; ++s) {
        const auto at = std::find(mine.states.begin(), mine.states.end(), variable.states[s]);
        const double got = at == mine.states.end()
                               ? 0.0
                               : mine.table[learnedRow * mine.states.size() +
                                            static_cast<std::size_t>(at - mine.states.begin())];
        const double error = std::fabs(got - variable.table[row * k + s]);
        if (mine.counts[learnedRow] >= 1000) worstSupported = std::max(worstSupported, error);
        if (error > worst) {
          worst = error;
          where = variable.name + " row " + std::to_string(row) + " (totalN " +
                  std::to_string(static_cast<long>(mine.counts[learnedRow])) + ")";
        }
      }
    }
  }
  std::cout << networkPath << ": " << rows << " samples, largest absolute table error " << worst
            << " at " << where << "; over rows of 1,000 samples or more " << worstSupported << '\n';
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  const std::string mode = argc > 1 ? argv[1] : "";
  try {
    if (mode == "speed") return Speed(argc > 2 ? std::stol(argv[2]) : 1000000);
    if (mode == "given" && argc > 3) {
      return Given(argv[2], argv[3], argc > 4 ? std::stol(argv[4]) : 100000);
    }
  } catch (const std::exception& e) {
    std::cerr << "learn_bench: " << e.what() << '\n';
    return 1;
  }
  std::cerr << "usage: learn_bench speed [ROWS] | learn_bench given NETWORK.bif TARGET [ROWS]\n";
  return 2;
}
