#ifndef BNSCORE_FORMATS_NETWORK_H_
#define BNSCORE_FORMATS_NETWORK_H_

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

namespace bnscore::formats {

// The bins of a variable that stands for a continuous input field: bin i
// holds the values in (cuts[i-1], cuts[i]], the first bin everything up to
// cuts[0], the last everything above the last cut. The variable's states
// name the bins, one per bin (cuts.size() + 1 of them).
struct Discretization {
  std::string input;         // the continuous field the bins are taken of
  std::vector<double> cuts;  // strictly ascending
};

// One discrete variable of a network with its conditional probability
// table. The table is dense: one row per configuration of the parents'
// states, configurations ordered with the first parent varying slowest and
// the last fastest; within a row one probability per state, in state
// order. A variable without parents has one row.
struct Variable {
  std::string name;
  std::vector<std::string> states;
  std::vector<std::size_t> parents;  // indices into Network::variables, in table order
  std::vector<double> table;         // rows × states.size(); empty: no table
  // Per row: whether the document gave it (1) or not (0); empty when every
  // row was given. A row not given is written nowhere and scores as an
  // unseen configuration.
  std::vector<std::uint8_t> given;
  // Per row: the number of training cases behind it; empty when unknown.
  std::vector<double> counts;
  std::optional<Discretization> discretization;

  bool HasTable() const { return !table.empty(); }
  bool RowGiven(std::size_t row) const { return given.empty() || given[row] != 0; }
};

// A discrete Bayesian network in the neutral form every reader produces and
// every writer consumes. Variables keep the order of their document.
// Guarantees after Validate(): unique non-empty variable names, unique
// states per variable, parents that exist and differ from the variable,
// and tables of exactly rows × states entries.
struct Network {
  std::string name;  // "" when the document names none
  std::vector<Variable> variables;
  // What the document itself says (a DMG model's mining schema and
  // attributes); empty when it says nothing.
  std::string target;
  std::string modelType;
  std::string inferenceMethod;
  // How a BayesNetModel's tables were learned (its ParameterLearning
  // method, which decides how the scorer treats an unseen configuration);
  // "" when the document does not say.
  std::string parameterLearning;
  // How the network was learned from data (setting, value), in order;
  // written as a bnscore extension of the model; empty when not learned here.
  std::vector<std::pair<std::string, std::string>> learningSettings;

  // The index of the variable called `name`, or -1. Valid once Index() has
  // run after the last variable was added (Add keeps it current).
  long Find(std::string_view name) const;
  // Appends `variable`; false (and nothing added) when the name is taken.
  bool Add(Variable variable);
  // Rebuilds the name index (after variables were edited directly).
  void Index();
  // The number of rows of `variable`'s table: the product of its parents'
  // state counts (0 when it would exceed `limit`).
  std::size_t RowCount(const Variable& variable, std::size_t limit = SIZE_MAX) const;
  // "" when the network holds the guarantees above, else what is wrong.
  std::string Validate() const;

 private:
  std::unordered_map<std::string, std::size_t> index_;
};

}  // namespace bnscore::formats

#endif  // BNSCORE_FORMATS_NETWORK_H_
