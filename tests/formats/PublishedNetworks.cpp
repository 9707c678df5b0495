#include "tests/formats/PublishedNetworks.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>
#include <stdexcept>

namespace testnets {

int Net::Index(const std::string& name) const {
  for (std::size_t i = 0; i < nodes.size(); ++i) {
    if (nodes[i].name == name) return static_cast<int>(i);
  }
  throw std::runtime_error("no node " + name);
}

std::string NetworksDir() {
  const std::string dir = BNSCORE_NETWORKS_DIR;
  return std::filesystem::is_directory(dir + "/bif") ? dir : std::string();
}

std::vector<std::string> BifFiles() {
  std::vector<std::string> files;
  if (NetworksDir().empty()) return files;
  for (const auto& entry : std::filesystem::directory_iterator(NetworksDir() + "/bif")) {
    if (entry.path().extension() == ".bif") files.push_back(entry.path().string());
  }
  std::sort(files.begin(), files.end());
  return files;
}

namespace {

// Words and single punctuation characters.
std::vector<std::string> Tokens(const std::string& text) {
  std::vector<std::string> tokens;
  std::string word;
  for (char c : text) {
    if (std::isspace(static_cast<unsigned char>(c)) ||
        std::string("{}()[],;|").find(c) != std::string::npos) {
      if (!word.empty()) tokens.push_back(word);
      word.clear();
      if (!std::isspace(static_cast<unsigned char>(c))) tokens.emplace_back(1, c);
    } else {
      word += c;
    }
  }
  if (!word.empty()) tokens.push_back(word);
  return tokens;
}

}  // namespace

Net ReadBifForTest(const std::string& path) {
  std::ifstream in(path);
  std::stringstream buffer;
  buffer << in.rdbuf();
  return ReadBifTextForTest(buffer.str());
}

Net ReadBifTextForTest(const std::string& text) {
  const std::vector<std::string> t = Tokens(text);
  Net net;
  std::size_t i = 0;
  auto statesOf = [&](int node, const std::string& s) {
    const auto& states = net.nodes[static_cast<std::size_t>(node)].states;
    const auto found = std::find(states.begin(), states.end(), s);
    if (found == states.end()) throw std::runtime_error("no state " + s);
    return static_cast<int>(found - states.begin());
  };
  while (i < t.size()) {
    if (t[i] == "variable") {
      Node node;
      node.name = t[i + 1];
      i = std::find(t.begin() + static_cast<long>(i), t.end(), "]") - t.begin() + 2;  // past "] {"
      for (; t[i] != "}"; ++i) {
        if (t[i] != ",") node.states.push_back(t[i]);
      }
      net.nodes.push_back(node);
      i = std::find(t.begin() + static_cast<long>(i) + 1, t.end(), "}") - t.begin() + 1;
    } else if (t[i] == "probability") {
      const int child = net.Index(t[i + 2]);
      Node& node = net.nodes[static_cast<std::size_t>(child)];
      i += 3;
      if (t[i] == "|") {
        for (++i; t[i] != ")"; ++i) {
          if (t[i] != ",") node.parents.push_back(net.Index(t[i]));
        }
      }
      i += 2;  // ") {"
      while (t[i] != "}") {
        std::vector<int> config;
        if (t[i] == "table") {
          ++i;
        } else {  // "(" states ")"
          std::size_t j = 0;
          for (++i; t[i] != ")"; ++i) {
            if (t[i] != ",") config.push_back(statesOf(node.parents[j++], t[i]));
          }
          ++i;
        }
        std::vector<double> row;
        for (; t[i] != ";"; ++i) {
          if (t[i] != ",") row.push_back(std::strtod(t[i].c_str(), nullptr));
        }
        ++i;
        if (config.empty() && !node.parents.empty()) throw std::runtime_error("table with parents");
        node.rows[config] = row;
      }
      ++i;
    } else {
      ++i;
    }
  }
  return net;
}

Net Normalized(Net net) {
  for (Node& node : net.nodes) {
    for (auto& [config, row] : node.rows) {
      double sum = 0.0;
      for (double p : row) sum += p;
      for (double& p : row) p /= sum;
    }
  }
  return net;
}

bool SameTables(const Net& a, const Net& b, double tolerance) {
  for (std::size_t n = 0; n < a.nodes.size(); ++n) {
    for (const auto& [config, row] : a.nodes[n].rows) {
      const std::vector<double>& other = b.nodes[n].rows.at(config);
      for (std::size_t s = 0; s < row.size(); ++s) {
        if (std::fabs(row[s] - other[s]) > tolerance) return false;
      }
    }
  }
  return true;
}

std::string BifText(const Net& net) {
  std::ostringstream out;
  out.precision(17);
  for (const Node& node : net.nodes) {
    out << "variable " << node.name << " {\n  type discrete [ " << node.states.size() << " ] { ";
    for (std::size_t s = 0; s < node.states.size(); ++s) out << (s ? ", " : "") << node.states[s];
    out << " };\n}\n";
  }
  for (const Node& node : net.nodes) {
    out << "probability ( " << node.name;
    for (std::size_t k = 0; k < node.parents.size(); ++k) {
      out << (k ? ", " : " | ") << net.nodes[static_cast<std::size_t>(node.parents[k])].name;
    }
    out << " ) {\n";
    for (const auto& [config, row] : node.rows) {
      out << (config.empty() ? "  table " : "  (");
      for (std::size_t k = 0; k < config.size(); ++k) {
        const auto& states = net.nodes[static_cast<std::size_t>(node.parents[k])].states;
        out << (k ? ", " : "") << states[static_cast<std::size_t>(config[k])];
      }
      out << (config.empty() ? "" : ") ");
      for (std::size_t s = 0; s < row.size(); ++s) out << (s ? ", " : "") << row[s];
      out << ";\n";
    }
    out << "}\n";
  }
  return out.str();
}

namespace {

double Local(const Net& net, int node, const std::vector<int>& states) {
  const Node& n = net.nodes[static_cast<std::size_t>(node)];
  std::vector<int> config;
  for (int parent : n.parents) config.push_back(states[static_cast<std::size_t>(parent)]);
  return n.rows.at(config)[static_cast<std::size_t>(states[static_cast<std::size_t>(node)])];
}

}  // namespace

std::vector<double> Posterior(const Net& net, int target, const std::vector<int>& states) {
  std::vector<int> record = states;
  const Node& t = net.nodes[static_cast<std::size_t>(target)];
  std::vector<double> products(t.states.size());
  double sum = 0.0;
  for (std::size_t c = 0; c < t.states.size(); ++c) {
    record[static_cast<std::size_t>(target)] = static_cast<int>(c);
    double p = Local(net, target, record);
    for (std::size_t n = 0; n < net.nodes.size(); ++n) {
      const auto& parents = net.nodes[n].parents;
      if (std::find(parents.begin(), parents.end(), target) != parents.end()) {
        p *= Local(net, static_cast<int>(n), record);
      }
    }
    products[c] = p;
    sum += p;
  }
  for (double& p : products) p = sum > 0 ? p / sum : 0.0;
  return products;
}

std::vector<int> Sample(const Net& net, std::mt19937_64& random) {
  std::vector<int> states(net.nodes.size(), -1);
  std::size_t done = 0;
  while (done < net.nodes.size()) {
    for (std::size_t n = 0; n < net.nodes.size(); ++n) {
      if (states[n] >= 0) continue;
      std::vector<int> config;
      bool ready = true;
      for (int parent : net.nodes[n].parents) {
        ready = ready && states[static_cast<std::size_t>(parent)] >= 0;
        config.push_back(states[static_cast<std::size_t>(parent)]);
      }
      if (!ready) continue;
      const std::vector<double>& row = net.nodes[n].rows.at(config);
      double u = std::uniform_real_distribution<double>(0.0, 1.0)(random);
      int pick = static_cast<int>(row.size()) - 1;
      for (std::size_t k = 0; k < row.size(); ++k) {
        if (u < row[k]) {
          pick = static_cast<int>(k);
          break;
        }
        u -= row[k];
      }
      while (row[static_cast<std::size_t>(pick)] == 0.0) --pick;  // never a state of probability 0
      states[n] = pick;
      ++done;
    }
  }
  return states;
}

int LargestBlanket(const Net& net) {
  int best = 0;
  std::size_t bestSize = 0;
  for (std::size_t n = 0; n < net.nodes.size(); ++n) {
    std::set<int> blanket(net.nodes[n].parents.begin(), net.nodes[n].parents.end());
    for (std::size_t c = 0; c < net.nodes.size(); ++c) {
      const auto& parents = net.nodes[c].parents;
      if (std::find(parents.begin(), parents.end(), static_cast<int>(n)) == parents.end()) continue;
      blanket.insert(static_cast<int>(c));
      blanket.insert(parents.begin(), parents.end());
    }
    blanket.erase(static_cast<int>(n));
    if (blanket.size() > bestSize) {
      bestSize = blanket.size();
      best = static_cast<int>(n);
    }
  }
  return best;
}

}  // namespace testnets
