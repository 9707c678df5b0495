#include "learn/Learner.h"

#include <cmath>
#include <fstream>
#include <limits>
#include <sstream>
#include <unordered_set>

#include "formats/Decimal.h"
#include "formats/FormatError.h"
#include "formats/NetworkReader.h"
#include "formats/PmmlWriter.h"
#include "formats/XmlEscape.h"
#include "host/xml/XmlPlatform.h"
#include "learn/Column.h"
#include "learn/FamilyCounts.h"
#include "learn/StructureSearch.h"

namespace bnscore::learn {

namespace {

enum class Binning { kMdl, kEqualWidth, kEqualFrequency };

struct Plan {
  std::string structure;  // naive, tan, k2, given
  std::string givenPath;
  Binning binning = Binning::kMdl;
  std::size_t bins = 0;
};

Plan ReadPlan(const LearnOptions& options) {
  Plan plan;
  if (options.structure.rfind("given:", 0) == 0) {
    plan.structure = "given";
    plan.givenPath = options.structure.substr(6);
    if (plan.givenPath.empty()) throw Error("--structure given:FILE needs a file");
  } else if (options.structure == "naive" || options.structure == "tan" ||
             options.structure == "k2") {
    plan.structure = options.structure;
  } else {
    throw Error("unknown structure '" + options.structure + "' (naive, tan, k2 or given:FILE)");
  }
  const std::string& d = options.discretize;
  const auto colon = d.find(':');
  const std::string method = d.substr(0, colon);
  if (method == "mdl" && colon == std::string::npos) {
    plan.binning = Binning::kMdl;
  } else if ((method == "equal-width" || method == "equal-frequency") &&
             colon != std::string::npos) {
    plan.binning = method == "equal-width" ? Binning::kEqualWidth : Binning::kEqualFrequency;
    const std::string k = d.substr(colon + 1);
    std::size_t used = 0;
    unsigned long bins = 0;
    try {
      bins = std::stoul(k, &used);
    } catch (const std::exception&) {
      used = 0;
    }
    if (used != k.size() || k.empty() || bins < 2 || bins > 1000) {
      throw Error("--discretize " + d + ": K must be a whole number from 2 to 1000");
    }
    plan.bins = bins;
  } else {
    throw Error("unknown discretization '" + d + "' (mdl, equal-width:K or equal-frequency:K)");
  }
  if (!(options.alpha >= 0) || !std::isfinite(options.alpha)) {
    throw Error("--alpha must be a number of 0 or more");
  }
  if (options.maxParents < 1) throw Error("--max-parents must be 1 or more");
  if (options.maxCategories < 2) throw Error("the category bound must be 2 or more");
  if (options.target.empty()) throw Error("no target: name the column to predict");
  return plan;
}

std::string Quote(const std::string& name) { return "'" + name + "'"; }

class Learning {
 public:
  Learning(const DataSource& source, const LearnOptions& options, std::vector<std::string>& notes)
      : source_(source), options_(options), plan_(ReadPlan(options)), notes_(notes) {}

  formats::Network Run() {
    Profile();
    Decide();
    std::vector<std::vector<std::size_t>> parents(variables_.size());
    if (plan_.structure == "naive") {
      for (std::size_t v = 1; v < variables_.size(); ++v) parents[v] = {0};
    } else if (plan_.structure == "tan") {
      return Tan();
    } else if (plan_.structure == "k2") {
      parents = K2();
    } else {
      parents = Given();
    }
    std::vector<std::vector<std::size_t>> families;
    for (std::size_t v = 0; v < variables_.size(); ++v) families.push_back(Family(parents[v], v));
    return Build(parents, Count(families));
  }

 private:
  // Pass 1: the header, every column's profile, the target's classes.
  void Profile() {
    std::vector<std::string> header;
    bool first = true;
    source_.Read(options_.delimiter, header, [&](const std::vector<std::string_view>& cells, long) {
      if (first) {
        first = false;
        SetUpColumns(header);
      }
      ++rows_;
      const std::string_view label = cells[targetColumn_];
      int cls = -1;
      if (IsMissingCell(label, options_.missingValues)) {
        ++rowsWithoutTarget_;
      } else {
        cls = columns_[targetColumn_].ObserveClass(label);
      }
      const std::size_t classes = columns_[targetColumn_].GetNumTexts();
      for (std::size_t c = 0; c < cells.size(); ++c) {
        if (c == targetColumn_ || IsMissingCell(cells[c], options_.missingValues)) continue;
        columns_[c].Observe(cells[c], cls, classes);
      }
    });
    if (first) SetUpColumns(header);
    header_ = header;
  }

  void SetUpColumns(const std::vector<std::string>& header) {
    std::unordered_set<std::string> seen;
    for (const std::string& name : header) {
      if (!seen.insert(name).second) {
        throw Error(source_.GetName() + ": the column " + Quote(name) + " appears twice");
      }
    }
    bool found = false;
    for (std::size_t c = 0; c < header.size(); ++c) {
      columns_.emplace_back(header[c], options_.maxCategories);
      if (header[c] == options_.target) {
        targetColumn_ = c;
        found = true;
      }
    }
    if (!found) throw Error(source_.GetName() + ": no column " + Quote(options_.target));
  }

  // Which columns become variables, categorical or binned.
  void Decide() {
    Column& target = columns_[targetColumn_];
    const std::string targetName = Quote(options_.target);
    if (target.TooManyTexts()) {
      throw Error("the target " + targetName + " has more than " +
                  std::to_string(options_.maxCategories) + " values");
    }
    if (target.GetNumTexts() < 2) {
      throw Error("the target " + targetName +
                  (target.GetNumTexts() == 0 ? " has no values" : " has a single value") +
                  ": nothing to learn");
    }
    const std::size_t classes = target.GetNumTexts();
    const std::vector<std::size_t> classOrder = target.MakeCategorical();
    variableColumn_.push_back(targetColumn_);
    notes_.push_back("read " + std::to_string(rows_) + " rows" +
                     (rowsWithoutTarget_ > 0
                          ? " (" + std::to_string(rowsWithoutTarget_) + " without a target value)"
                          : std::string()));

    std::unordered_set<std::string> names(header_.begin(), header_.end());
    for (std::size_t c = 0; c < columns_.size(); ++c) {
      if (c == targetColumn_) continue;
      Column& column = columns_[c];
      const std::string why = DecideColumn(column, classOrder, classes);
      if (!why.empty()) {
        notes_.push_back("column " + Quote(column.GetName()) + " dropped: " + why);
        continue;
      }
      variableColumn_.push_back(c);
    }
    for (std::size_t column : variableColumn_) {
      cardinalities_.push_back(columns_[column].GetStates().size());
      std::string name = columns_[column].GetName();
      if (columns_[column].IsBinned()) {  // the derived field needs a name of its own
        std::string binned = name + "_bin";
        for (int n = 2; names.count(binned) != 0; ++n) binned = name + "_bin" + std::to_string(n);
        names.insert(binned);
        name = binned;
      }
      variables_.push_back(name);
    }
  }

  // "" when the column is kept (and decided), else why it is dropped.
  std::string DecideColumn(Column& column, const std::vector<std::size_t>& classOrder,
                           std::size_t classes) {
    if (!Writable(column.GetName())) {
      return "its name cannot name a field (empty, blanks at either end, or control characters)";
    }
    if (column.GetObserved() == 0) return "no values";
    if (column.IsNumeric()) {
      const ValueCounts values = column.GetValueCounts(classOrder, classes);
      if (values.values.size() < 2) return "a single value";
      std::vector<double> cuts;
      if (plan_.binning == Binning::kMdl) {
        cuts = MdlCuts(values);
      } else if (plan_.binning == Binning::kEqualWidth) {
        cuts = EqualWidthCuts(values, plan_.bins);
      } else {
        cuts = EqualFrequencyCuts(values, plan_.bins);
      }
      if (cuts.empty()) {
        return "no cut point (its values tell too little about the target to pay for a bin)";
      }
      column.MakeNumeric(std::move(cuts));
      return {};
    }
    if (column.TooManyTexts()) {
      return "more than " + std::to_string(options_.maxCategories) + " distinct values";
    }
    if (column.GetNumTexts() < 2) return "a single value";
    column.MakeCategorical();
    for (const std::string& state : column.GetStates()) {
      if (!Writable(state)) {
        return "the value '" + state + "' begins or ends with a blank or holds a control character";
      }
    }
    return {};
  }

  // Whether the model's lists and XML carry `name` unchanged.
  static bool Writable(const std::string& name) {
    return !name.empty() && name.front() != ' ' && name.back() != ' ' && formats::IsXmlSafe(name);
  }

  // A family's variables in table order: the parents ascending, then v.
  static std::vector<std::size_t> Family(std::vector<std::size_t> parents, std::size_t v) {
    std::sort(parents.begin(), parents.end());
    parents.push_back(v);
    return parents;
  }

  // One pass over the data counting every set of variables.
  std::vector<FamilyCounts> Count(const std::vector<std::vector<std::size_t>>& sets) {
    std::vector<FamilyCounts> tables;
    tables.reserve(sets.size());
    for (const auto& set : sets) tables.emplace_back(set, cardinalities_);
    std::vector<int> codes(variables_.size(), -1);
    std::vector<std::string> header;
    source_.Read(options_.delimiter, header, [&](const std::vector<std::string_view>& cells, long) {
      for (std::size_t v = 0; v < variableColumn_.size(); ++v) {
        const std::string_view cell = cells[variableColumn_[v]];
        codes[v] = IsMissingCell(cell, options_.missingValues)
                       ? -1
                       : columns_[variableColumn_[v]].Code(cell);
      }
      for (FamilyCounts& table : tables) table.Add(codes);
    });
    if (header != header_) throw Error(source_.GetName() + ": the data changed while read");
    return tables;
  }

  // TAN: the predictors' tree under I(Xi; Xj | T), then the tables from the
  // same counts (one pass).
  formats::Network Tan() {
    const std::size_t n = variables_.size() - 1;  // predictors 1..n
    std::vector<std::vector<std::size_t>> sets;
    sets.push_back({0});
    for (std::size_t i = 1; i <= n; ++i) sets.push_back({0, i});
    for (std::size_t i = 1; i <= n; ++i) {
      for (std::size_t j = i + 1; j <= n; ++j) sets.push_back({0, i, j});
    }
    std::vector<FamilyCounts> counts = Count(sets);
    std::vector<std::vector<double>> weights(n, std::vector<double>(n, 0.0));
    std::size_t at = 1 + n;
    for (std::size_t i = 0; i < n; ++i) {
      for (std::size_t j = i + 1; j < n; ++j, ++at) {
        weights[i][j] = weights[j][i] = ConditionalMutualInformation(counts[at]);
      }
    }
    const std::vector<std::size_t> tree = MaximumSpanningTree(weights);
    std::vector<std::vector<std::size_t>> parents(variables_.size());
    std::vector<FamilyCounts> families;
    families.push_back(counts[0]);
    for (std::size_t i = 0; i < n; ++i) {
      const std::size_t v = i + 1;
      if (tree[i] == n) {
        parents[v] = {0};
        families.push_back(counts[v]);
        continue;
      }
      const std::size_t p = tree[i] + 1;
      parents[v] = {0, p};
      notes_.push_back("arc " + variables_[p] + " -> " + variables_[v]);
      const std::size_t lo = std::min(p, v), hi = std::max(p, v);
      // The pair's table is the (lo, hi) entry among the triples.
      std::size_t index = 1 + n;
      for (std::size_t a = 1; a < lo; ++a) index += n - a;
      index += hi - lo - 1;
      families.push_back(counts[index].Project({0, p, v}, cardinalities_));
    }
    return Build(parents, std::move(families));
  }

  // K2 in the variables' order (the target first): each node takes, round
  // by round, the earlier node that raises its score most, while one does
  // and it has fewer than maxParents parents.
  std::vector<std::vector<std::size_t>> K2() {
    const std::size_t n = variables_.size();
    std::vector<std::vector<std::size_t>> parents(n);
    std::vector<bool> growing(n, true);
    std::vector<double> score(n, -INFINITY);
    growing[0] = false;
    for (int round = 0; round < options_.maxParents; ++round) {
      // Per growing node: its current family, then one per candidate.
      std::vector<std::vector<std::size_t>> sets;
      std::vector<std::pair<std::size_t, std::size_t>> owner;  // (node, candidate or n)
      for (std::size_t v = 1; v < n; ++v) {
        if (!growing[v]) continue;
        if (round == 0) {
          sets.push_back(Family(parents[v], v));
          owner.emplace_back(v, n);
        }
        for (std::size_t c = 0; c < v; ++c) {
          if (std::find(parents[v].begin(), parents[v].end(), c) != parents[v].end()) continue;
          std::vector<std::size_t> with = parents[v];
          with.push_back(c);
          sets.push_back(Family(with, v));
          owner.emplace_back(v, c);
        }
      }
      if (sets.empty()) break;
      const std::vector<FamilyCounts> counts = Count(sets);
      std::vector<double> bestScore(n, -INFINITY);
      std::vector<std::size_t> best(n, n);
      for (std::size_t s = 0; s < sets.size(); ++s) {
        const auto [v, c] = owner[s];
        const double value = K2Score(counts[s], cardinalities_[v]);
        if (c == n) {
          score[v] = value;
        } else if (value > bestScore[v]) {
          bestScore[v] = value;
          best[v] = c;
        }
      }
      for (std::size_t v = 1; v < n; ++v) {
        if (!growing[v]) continue;
        if (best[v] < n && bestScore[v] > score[v]) {
          parents[v].push_back(best[v]);
          score[v] = bestScore[v];
          notes_.push_back("arc " + variables_[best[v]] + " -> " + variables_[v]);
        } else {
          growing[v] = false;
        }
      }
    }
    return parents;
  }

  // The arcs of a network document whose variables name columns.
  std::vector<std::vector<std::size_t>> Given() {
    std::ifstream in(plan_.givenPath, std::ios::binary);
    if (!in) throw Error("cannot open " + plan_.givenPath);
    std::ostringstream text;
    text << in.rdbuf();
    formats::Network network;
    try {
      XmlPlatform xml;
      const std::string document = text.str();
      network = formats::ReadNetwork(document, plan_.givenPath,
                                     formats::DetectFormat(document, plan_.givenPath));
    } catch (const formats::FormatError& e) {
      throw Error(e.what());
    }
    std::vector<std::vector<std::size_t>> parents(variables_.size());
    for (std::size_t v = 0; v < variables_.size(); ++v) {
      const std::string& column = columns_[variableColumn_[v]].GetName();
      long at = network.Find(column);
      for (std::size_t w = 0; at < 0 && w < network.variables.size(); ++w) {
        const auto& bins = network.variables[w].discretization;  // a binned variable of a model
        if (bins && bins->input == column) at = static_cast<long>(w);
      }
      if (at < 0) {
        throw Error(plan_.givenPath + ": no variable " + Quote(column) + " (a kept column)");
      }
      for (std::size_t p : network.variables[static_cast<std::size_t>(at)].parents) {
        const formats::Variable& parent = network.variables[p];
        const std::string& name =
            parent.discretization ? parent.discretization->input : parent.name;
        std::size_t found = variables_.size();
        for (std::size_t w = 0; w < variables_.size(); ++w) {
          if (columns_[variableColumn_[w]].GetName() == name) found = w;
        }
        if (found == variables_.size()) {
          throw Error(plan_.givenPath + ": the parent " + Quote(name) + " of " + Quote(column) +
                      " is not a kept column");
        }
        parents[v].push_back(found);
      }
    }
    return parents;
  }

  // The network with its tables estimated from each family's counts, laid
  // out as (parents ascending..., v).
  formats::Network Build(std::vector<std::vector<std::size_t>> parents,
                         std::vector<FamilyCounts> families) {
    formats::Network network;
    network.parameterLearning = "adjustedBayes";
    const double alpha = options_.alpha;
    std::string alphaText;
    formats::AppendDecimal(alpha, alphaText);
    network.learningSettings = {{"structure", options_.structure},
                                {"discretize", options_.discretize},
                                {"alpha", alphaText},
                                {"rows", std::to_string(rows_)}};
    if (plan_.structure == "k2") {
      network.learningSettings.emplace_back("maxParents", std::to_string(options_.maxParents));
    }
    for (std::size_t v = 0; v < variables_.size(); ++v) {
      const Column& column = columns_[variableColumn_[v]];
      formats::Variable variable;
      variable.name = variables_[v];
      variable.states = column.GetStates();
      std::sort(parents[v].begin(), parents[v].end());
      variable.parents = parents[v];
      if (column.IsBinned()) {
        variable.discretization = formats::Discretization{column.GetName(), column.GetCuts()};
      }
      const std::size_t states = variable.states.size();
      const std::vector<std::uint64_t>& n = families[v].GetCounts();
      const std::size_t rows = n.size() / states;
      variable.table.resize(n.size());
      variable.counts.resize(rows);
      variable.given.assign(rows, 1);
      for (std::size_t row = 0; row < rows; ++row) {
        std::uint64_t total = 0;
        for (std::size_t x = 0; x < states; ++x) total += n[row * states + x];
        variable.counts[row] = static_cast<double>(total);
        // An unseen configuration is left out: the model scores it as
        // uniform, the estimate's own value for N(pa) = 0.
        if (total == 0) variable.given[row] = 0;
        const double denominator = static_cast<double>(total) + alpha * static_cast<double>(states);
        for (std::size_t x = 0; x < states; ++x) {
          variable.table[row * states + x] =
              total == 0 ? 1.0 / static_cast<double>(states)
                         : (static_cast<double>(n[row * states + x]) + alpha) / denominator;
        }
      }
      network.Add(std::move(variable));
    }
    network.Index();
    return network;
  }

  const DataSource& source_;
  const LearnOptions& options_;
  Plan plan_;
  std::vector<std::string>& notes_;
  std::vector<std::string> header_;
  std::vector<Column> columns_;
  std::size_t targetColumn_ = 0;
  std::uint64_t rows_ = 0;
  std::uint64_t rowsWithoutTarget_ = 0;
  // The network's variables: column, name, number of states.
  std::vector<std::size_t> variableColumn_;
  std::vector<std::string> variables_;
  std::vector<std::size_t> cardinalities_;
};

LearnResult Write(const formats::Network& network, const LearnOptions& options,
                  std::vector<std::string> notes) {
  LearnResult result;
  try {
    result.pmml = formats::WritePmml(network, options.target);
  } catch (const formats::FormatError& e) {
    throw Error(std::string("cannot write the model: ") + e.what());
  }
  result.notes = std::move(notes);
  return result;
}

}  // namespace

formats::Network LearnNetwork(const DataSource& source, const LearnOptions& options,
                              std::vector<std::string>& notes) {
  return Learning(source, options, notes).Run();
}

}  // namespace bnscore::learn

namespace bnscore {

LearnResult Learn(const std::string& path, const LearnOptions& options) {
  std::vector<std::string> notes;
  const formats::Network network =
      learn::LearnNetwork(learn::DataSource::File(path), options, notes);
  return learn::Write(network, options, std::move(notes));
}

LearnResult LearnFromText(std::string_view csv, const LearnOptions& options,
                          const std::string& name) {
  std::vector<std::string> notes;
  const formats::Network network =
      learn::LearnNetwork(learn::DataSource::Text(csv, name), options, notes);
  return learn::Write(network, options, std::move(notes));
}

}  // namespace bnscore
