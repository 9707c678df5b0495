#include "testing/ModelGenerator.h"

#include <algorithm>
#include <charconv>
#include <sstream>
#include <stdexcept>

#include "testing/SeededRandom.h"

namespace bnscore::testing {

namespace {

// Width of a bin of a continuous field: cut points 10, 20, 30, ...
constexpr double kBinWidth = 10.0;
constexpr int kMillion = 1000000;

std::string NumberText(double value) {
  char buffer[32];
  auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
  return std::string(buffer, result.ptr);
}

std::string PaddedName(const char* prefix, int number, int width) {
  std::string digits = std::to_string(number);
  if (static_cast<int>(digits.size()) < width) digits.insert(0, width - digits.size(), '0');
  return prefix + digits;
}

std::string Millionths(int value) {
  std::string digits = std::to_string(value);
  return "0." + std::string(6 - digits.size(), '0') + digits;
}

void Require(bool condition, const char* message) {
  if (!condition) throw std::invalid_argument(message);
}

}  // namespace

ModelGenerator::ModelGenerator(const GeneratorOptions& options) : options_(options) {
  Require(options.binnedPredictors >= 0 && options.numericPredictors >= 0 &&
              options.stringPredictors >= 0 && options.derivedPredictors >= 0,
          "predictor counts must not be negative");
  Require(options.bins >= 2, "a binned predictor needs at least 2 bins");
  Require(options.categories >= 2, "a categorical predictor needs at least 2 categories");
  Require(options.targetCategories >= 2, "the target needs at least 2 categories");
  Require(options.maxParents >= 0, "the number of parents must not be negative");
  Require(options.missingConfigurations >= 0.0 && options.missingConfigurations <= 1.0,
          "the fraction of missing configurations must lie in [0, 1]");

  SeededRandom random(options.seed);
  MakeNodes(random);
  MakeArcs(random);
  MakeTables(random);
}

void ModelGenerator::MakeNodes(SeededRandom& random) {
  std::vector<GeneratedNode::Kind> kinds;
  kinds.insert(kinds.end(), options_.binnedPredictors, GeneratedNode::Binned);
  kinds.insert(kinds.end(), options_.numericPredictors, GeneratedNode::NumericCategory);
  kinds.insert(kinds.end(), options_.stringPredictors, GeneratedNode::StringCategory);
  kinds.insert(kinds.end(), options_.derivedPredictors, GeneratedNode::Derived);
  for (std::size_t i = kinds.size(); i > 1; --i) {
    std::swap(kinds[i - 1], kinds[random.Below(i)]);
  }

  const int width = std::max(2, static_cast<int>(std::to_string(kinds.size()).size()));
  for (std::size_t i = 0; i < kinds.size(); ++i) {
    GeneratedNode node;
    node.kind = kinds[i];
    const int number = static_cast<int>(i) + 1;
    switch (node.kind) {
      case GeneratedNode::Binned:
        node.name = PaddedName("x", number, width);
        node.categories = options_.bins;
        node.helperField = node.name + "_bin";
        break;
      case GeneratedNode::NumericCategory:
        node.name = PaddedName("n", number, width);
        node.categories = options_.categories;
        // 1.5, 3, 4.5, ...: integral and fractional texts alike.
        for (int k = 0; k < node.categories; ++k) node.values.push_back(NumberText(1.5 * (k + 1)));
        break;
      case GeneratedNode::StringCategory:
        node.name = PaddedName("s", number, width);
        node.categories = options_.categories;
        for (int k = 0; k < node.categories; ++k) node.values.push_back("v" + std::to_string(k));
        break;
      case GeneratedNode::Derived:
        node.name = PaddedName("d", number, width);
        node.categories = options_.categories;
        node.helperField = node.name + "_in";
        node.inNetwork = false;
        for (int k = 0; k < node.categories; ++k) node.values.push_back("b" + std::to_string(k));
        break;
      case GeneratedNode::Target:
        break;
    }
    if (node.kind == GeneratedNode::Binned || node.kind == GeneratedNode::Derived) {
      for (int k = 1; k < node.categories; ++k) node.cutPoints.push_back(kBinWidth * k);
    }
    nodes_.push_back(node);
  }

  GeneratedNode target;
  target.name = "class";
  target.kind = GeneratedNode::Target;
  target.categories = options_.targetCategories;
  for (int k = 0; k < target.categories; ++k) {
    target.values.push_back(options_.numericTarget ? std::to_string(k + 1)
                                                   : "c" + std::to_string(k));
  }
  nodes_.push_back(target);
}

void ModelGenerator::MakeArcs(SeededRandom& random) {
  const int target = GetTargetIndex();
  std::vector<int> network;  // predictors in the network, in a random order
  for (int i = 0; i < target; ++i) {
    if (nodes_[i].inNetwork) network.push_back(i);
  }
  for (std::size_t i = network.size(); i > 1; --i) {
    std::swap(network[i - 1], network[random.Below(i)]);
  }

  switch (options_.structure) {
    case ArcPattern::NaiveBayes:
      for (int node : network) nodes_[node].parents = {target};
      break;
    case ArcPattern::TreeAugmented:
      // The first predictor is the tree's root; each later one hangs from an
      // earlier one. The target's column comes first or second at random.
      for (std::size_t i = 0; i < network.size(); ++i) {
        std::vector<int>& parents = nodes_[network[i]].parents;
        parents = {target};
        if (i == 0) continue;
        const int other = network[random.Below(i)];
        if (random.Chance(0.5)) {
          parents.push_back(other);
        } else {
          parents.insert(parents.begin(), other);
        }
      }
      break;
    case ArcPattern::General: {
      // The target stands early in a random topological order, so that it
      // may have parents and most nodes may choose it; each node draws up to
      // maxParents parents among the nodes before it, the target with
      // probability one half when it is among them.
      const int position = random.Between(0, std::min<int>(options_.maxParents, network.size()));
      network.insert(network.begin() + position, target);
      for (std::size_t i = 1; i < network.size(); ++i) {
        const int count = random.Between(0, std::min<int>(options_.maxParents, i));
        std::vector<int> earlier(network.begin(), network.begin() + i);
        std::vector<int>& parents = nodes_[network[i]].parents;
        if (count > 0 && static_cast<int>(i) > position && random.Chance(0.5)) {
          parents.push_back(target);
          earlier.erase(std::find(earlier.begin(), earlier.end(), target));
        }
        while (static_cast<int>(parents.size()) < count) {
          const std::size_t pick = random.Below(earlier.size());
          parents.push_back(earlier[pick]);
          earlier.erase(earlier.begin() + pick);
        }
      }
      break;
    }
  }
}

void ModelGenerator::MakeTables(SeededRandom& random) {
  tables_.assign(nodes_.size(), {});
  for (std::size_t n = 0; n < nodes_.size(); ++n) {
    const GeneratedNode& node = nodes_[n];
    if (!node.inNetwork) continue;
    std::vector<int> configuration(node.parents.size(), 0);
    // Walk every parent configuration in lexicographic order.
    for (;;) {
      if (node.parents.empty() || !random.Chance(options_.missingConfigurations)) {
        GeneratedRow row;
        row.configuration = configuration;
        int sum = 0;
        std::vector<int> weights(node.categories);
        for (int& w : weights) {
          w = 1 + static_cast<int>(random.Below(1000));
          sum += w;
        }
        int assigned = 0;
        for (int w : weights) {
          const int share = static_cast<int>(static_cast<long long>(w) * kMillion / sum);
          row.millionths.push_back(share);
          assigned += share;
        }
        row.millionths.back() += kMillion - assigned;
        row.totalN = random.Between(1, 500);
        tables_[n].push_back(std::move(row));
      }
      int j = static_cast<int>(configuration.size()) - 1;
      while (j >= 0 && ++configuration[j] == nodes_[node.parents[j]].categories) {
        configuration[j--] = 0;
      }
      if (j < 0) break;
    }
  }
}

int ModelGenerator::GetTableRowCount() const {
  int rows = 0;
  for (const auto& table : tables_) rows += static_cast<int>(table.size());
  return rows;
}

int ModelGenerator::GetArcCount() const {
  int arcs = 0;
  for (const GeneratedNode& node : nodes_) arcs += static_cast<int>(node.parents.size());
  return arcs;
}

int ModelGenerator::GetTargetChildCount() const {
  int children = 0;
  for (const GeneratedNode& node : nodes_) {
    children +=
        static_cast<int>(std::count(node.parents.begin(), node.parents.end(), GetTargetIndex()));
  }
  return children;
}

std::string ModelGenerator::Pmml() const {
  std::ostringstream out;
  WritePmml(out);
  return out.str();
}

// Every name and value the generator makes is plain ASCII letters, digits,
// '_', '.' and '-', so no text needs XML escaping or ';' escaping.
void ModelGenerator::WritePmml(std::ostream& out) const {
  const GeneratorOptions& o = options_;
  out << "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
      << "<PMML version=\"3.1\">\n"
      << "  <Header description=\"Random Bayesian network: " << o.binnedPredictors << " binned, "
      << o.numericPredictors << " numeric, " << o.stringPredictors << " string, "
      << o.derivedPredictors << " derived predictors; " << StructureName(o.structure)
      << " structure; seed " << o.seed << "\">\n"
      << "    <Application name=\"bngen\" version=\"1.0\"/>\n"
      << "  </Header>\n"
      << "  <MiningBuildTask>\n"
      << "    <Extension extender=\"modelcore\">\n"
      << "      <BayesNetSettings>\n"
      << "        <ParameterLearning method=\"" << MethodName(o.method) << "\"/>\n"
      << "      </BayesNetSettings>\n"
      << "    </Extension>\n"
      << "  </MiningBuildTask>\n";
  WriteDataDictionary(out);
  WriteTransformationDictionary(out);
  out << "  <BayesNetModel modelName=\"random\" functionName=\"classification\">\n";
  WriteMiningSchema(out);
  WriteLinkSource(out);
  WriteTables(out);
  out << "  </BayesNetModel>\n"
      << "</PMML>\n";
}

void ModelGenerator::WriteDataDictionary(std::ostream& out) const {
  out << "  <DataDictionary numberOfFields=\"" << nodes_.size() << "\">\n";
  for (const GeneratedNode& node : nodes_) {
    switch (node.kind) {
      case GeneratedNode::Binned:
        out << "    <DataField name=\"" << node.name
            << "\" optype=\"continuous\" dataType=\"double\"/>\n";
        break;
      case GeneratedNode::Derived:
        out << "    <DataField name=\"" << node.helperField
            << "\" optype=\"continuous\" dataType=\"double\"/>\n";
        break;
      case GeneratedNode::NumericCategory:
      case GeneratedNode::StringCategory:
      case GeneratedNode::Target: {
        const bool numeric = node.kind == GeneratedNode::NumericCategory ||
                             (node.kind == GeneratedNode::Target && options_.numericTarget);
        out << "    <DataField name=\"" << node.name << "\" optype=\"categorical\" dataType=\""
            << (numeric ? "double" : "string") << "\">\n";
        for (const std::string& value : node.values) {
          out << "      <Value value=\"" << value << "\"/>\n";
        }
        out << "    </DataField>\n";
        break;
      }
    }
  }
  out << "  </DataDictionary>\n";
}

void ModelGenerator::WriteTransformationDictionary(std::ostream& out) const {
  const bool any = std::any_of(nodes_.begin(), nodes_.end(), [](const GeneratedNode& node) {
    return node.kind == GeneratedNode::Binned || node.kind == GeneratedNode::Derived;
  });
  if (!any) return;  // an empty TransformationDictionary is rejected
  out << "  <TransformationDictionary>\n";
  for (const GeneratedNode& node : nodes_) {
    const bool binned = node.kind == GeneratedNode::Binned;
    if (!binned && node.kind != GeneratedNode::Derived) continue;
    const std::string& name = binned ? node.helperField : node.name;
    const std::string& input = binned ? node.name : node.helperField;
    out << "    <DerivedField name=\"" << name << "\" optype=\""
        << (binned ? "ordinal\" dataType=\"integer" : "categorical\" dataType=\"string") << "\">\n"
        << "      <Discretize field=\"" << input << "\">\n";
    // Bins closed on the right, as the binning encoder counts them.
    for (int k = 0; k < node.categories; ++k) {
      out << "        <DiscretizeBin binValue=\"" << (binned ? std::to_string(k) : node.values[k])
          << "\"><Interval closure=\"openClosed\"";
      if (k > 0) out << " leftMargin=\"" << NumberText(node.cutPoints[k - 1]) << "\"";
      if (k + 1 < node.categories)
        out << " rightMargin=\"" << NumberText(node.cutPoints[k]) << "\"";
      out << "/></DiscretizeBin>\n";
    }
    out << "      </Discretize>\n";
    for (const std::string& value : node.values) {
      out << "      <Value value=\"" << value << "\"/>\n";
    }
    out << "    </DerivedField>\n";
  }
  out << "  </TransformationDictionary>\n";
}

void ModelGenerator::WriteMiningSchema(std::ostream& out) const {
  out << "    <MiningSchema>\n";
  for (const GeneratedNode& node : nodes_) {
    switch (node.kind) {
      case GeneratedNode::Binned:
        out << "      <MiningField name=\"" << node.name << "\" usageType=\"active\">\n"
            << "        <Extension extender=\"modelcore\"><DerivedFieldRef name=\""
            << node.helperField << "\"/></Extension>\n"
            << "      </MiningField>\n";
        break;
      case GeneratedNode::NumericCategory:
      case GeneratedNode::StringCategory:
        out << "      <MiningField name=\"" << node.name << "\" usageType=\"active\"/>\n";
        break;
      case GeneratedNode::Derived:
        // One extension per derived predictor keeps the predictor order.
        out << "      <MiningField name=\"" << node.helperField
            << "\" usageType=\"supplementary\"/>\n"
            << "      <Extension extender=\"modelcore\" name=\"DerivedFields\">"
            << "<MiningField name=\"" << node.name << "\"/></Extension>\n";
        break;
      case GeneratedNode::Target:
        out << "      <MiningField name=\"" << node.name << "\" usageType=\"predicted\"/>\n";
        break;
    }
  }
  out << "    </MiningSchema>\n";
}

void ModelGenerator::WriteLinkSource(std::ostream& out) const {
  out << "    <LinkSource>\n"
      << "      <names>from;to;arc</names>\n";
  for (const GeneratedNode& node : nodes_) {
    for (int parent : node.parents) {
      out << "      <row>" << nodes_[parent].name << ";" << node.name << ";yes</row>\n";
    }
  }
  out << "    </LinkSource>\n";
}

std::string ModelGenerator::CategoryText(int node, int code) const {
  if (nodes_[node].kind == GeneratedNode::Binned) return std::to_string(code);
  return nodes_[node].values[code];
}

void ModelGenerator::WriteTables(std::ostream& out) const {
  out << "    <ConditionalTables>\n";
  for (std::size_t n = 0; n < nodes_.size(); ++n) {
    const GeneratedNode& node = nodes_[n];
    if (!node.inNetwork) continue;
    out << "      <ConditionalTable fieldName=\"" << node.name << "\" parentsNumber=\""
        << node.parents.size() << "\">\n"
        << "        <names>";
    for (int parent : node.parents) out << nodes_[parent].name << ";";
    out << node.name << "</names>\n";
    for (const GeneratedRow& row : tables_[n]) {
      out << "        <row totalN=\"" << row.totalN << "\">";
      for (std::size_t j = 0; j < row.configuration.size(); ++j) {
        out << CategoryText(node.parents[j], row.configuration[j]) << ";";
      }
      for (std::size_t k = 0; k < row.millionths.size(); ++k) {
        out << (k ? ";" : "") << Millionths(row.millionths[k]);
      }
      out << "</row>\n";
    }
    out << "      </ConditionalTable>\n";
  }
  out << "    </ConditionalTables>\n";
}

}  // namespace bnscore::testing
