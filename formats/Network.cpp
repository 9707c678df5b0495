#include "formats/Network.h"

#include <unordered_set>

namespace bnscore::formats {

long Network::Find(std::string_view name) const {
  const auto found = index_.find(std::string(name));
  return found == index_.end() ? -1 : static_cast<long>(found->second);
}

bool Network::Add(Variable variable) {
  if (!index_.emplace(variable.name, variables.size()).second) return false;
  variables.push_back(std::move(variable));
  return true;
}

void Network::Index() {
  index_.clear();
  index_.reserve(variables.size());
  for (std::size_t i = 0; i < variables.size(); ++i) index_.emplace(variables[i].name, i);
}

std::size_t Network::RowCount(const Variable& variable, std::size_t limit) const {
  std::size_t rows = 1;
  for (std::size_t parent : variable.parents) {
    const std::size_t states = variables[parent].states.size();
    if (states != 0 && rows > limit / states) return 0;
    rows *= states;
  }
  return rows;
}

std::string Network::Validate() const {
  if (index_.size() != variables.size()) return "two variables have the same name";
  for (const Variable& variable : variables) {
    if (variable.name.empty()) return "a variable has an empty name";
    if (variable.states.empty()) return "variable '" + variable.name + "' has no states";
    std::unordered_set<std::string_view> states;
    for (const std::string& state : variable.states) {
      if (!states.insert(state).second) {
        return "variable '" + variable.name + "' has the state '" + state + "' twice";
      }
    }
    std::unordered_set<std::size_t> parents;
    for (std::size_t parent : variable.parents) {
      if (parent >= variables.size()) return "variable '" + variable.name + "' has a bad parent";
      if (&variables[parent] == &variable) {
        return "variable '" + variable.name + "' is its own parent";
      }
      if (!parents.insert(parent).second) {
        return "variable '" + variable.name + "' has the parent '" + variables[parent].name +
               "' twice";
      }
    }
    if (variable.discretization &&
        variable.discretization->cuts.size() + 1 != variable.states.size()) {
      return "variable '" + variable.name + "' has " + std::to_string(variable.states.size()) +
             " states for " + std::to_string(variable.discretization->cuts.size() + 1) + " bins";
    }
    if (!variable.HasTable()) continue;
    const std::size_t rows = RowCount(variable);
    if (rows == 0 || variable.table.size() / variable.states.size() != rows ||
        variable.table.size() % variable.states.size() != 0) {
      return "the table of '" + variable.name +
             "' does not have one row per configuration of "
             "its parents";
    }
    if (!variable.given.empty() && variable.given.size() != rows) {
      return "the table of '" + variable.name + "' marks the wrong number of rows";
    }
    if (!variable.counts.empty() && variable.counts.size() != rows) {
      return "the table of '" + variable.name + "' has the wrong number of case counts";
    }
  }
  return {};
}

}  // namespace bnscore::formats
