#ifndef TESTING_MODELGENERATOR_H_
#define TESTING_MODELGENERATOR_H_

#include <ostream>
#include <string>
#include <vector>

#include "testing/GeneratorOptions.h"

namespace bnscore::testing {

class SeededRandom;

// One node of a generated network: a predictor or the target.
struct GeneratedNode {
  enum Kind { Target, Binned, NumericCategory, StringCategory, Derived };

  std::string name;  // the field name the mining schema lists
  Kind kind = Target;
  int categories = 0;  // the number of bins for Binned
  // Category texts in code order (the data or derived field's values, in
  // document order); empty for Binned, whose codes are bin positions.
  std::vector<std::string> values;
  // Binned: the derived field holding its bins. Derived: the continuous data
  // field it is computed from. Empty otherwise.
  std::string helperField;
  // Cut points of Binned (and of the Discretize behind Derived): 10, 20, ...
  std::vector<double> cutPoints;
  // Parent node indexes, in the order of the table's columns.
  std::vector<int> parents;
  // False for Derived predictors: no arcs and no table.
  bool inNetwork = true;
};

// One row of a conditional table.
struct GeneratedRow {
  std::vector<int> configuration;  // one code per parent, in parent order
  std::vector<int> millionths;     // the probabilities in units of 1e-6; they sum to 1,000,000
  int totalN = 0;
};

// Draws a random valid Bayesian-network classifier from GeneratorOptions
// and writes it as a PMML document that the plug-in reads. The same options
// (seed included) give the same network and the same text on every
// platform. Everything is drawn in the constructor; the object is then
// read-only and may be shared by RecordGenerators.
//
// The document: a DataDictionary with one field per predictor (a derived
// predictor contributes the continuous field it is computed from) and the
// target; a TransformationDictionary with one Discretize per binned or
// derived predictor; a MiningSchema linking each binned field to its
// discretization (DerivedFieldRef) and listing the derived predictors in an
// Extension extender="modelcore" name="DerivedFields"; a LinkSource with
// one "a;b;yes" row per arc; one ConditionalTable per network node; and the
// learning method under MiningBuildTask.
class ModelGenerator {
 public:
  // Throws std::invalid_argument for options out of range.
  explicit ModelGenerator(const GeneratorOptions& options);

  const GeneratorOptions& GetOptions() const { return options_; }
  // The predictors in predictor (mining-schema) order, then the target.
  const std::vector<GeneratedNode>& GetNodes() const { return nodes_; }
  int GetTargetIndex() const { return static_cast<int>(nodes_.size()) - 1; }
  const std::string& GetTargetName() const { return nodes_.back().name; }
  // The rows of a node's table, in document order; empty outside the network.
  const std::vector<GeneratedRow>& GetTable(int node) const { return tables_[node]; }

  int GetTableRowCount() const;
  int GetArcCount() const;
  int GetTargetChildCount() const;

  void WritePmml(std::ostream& out) const;
  std::string Pmml() const;

 private:
  void MakeNodes(SeededRandom& random);
  void MakeArcs(SeededRandom& random);
  void MakeTables(SeededRandom& random);

  void WriteDataDictionary(std::ostream& out) const;
  void WriteTransformationDictionary(std::ostream& out) const;
  void WriteMiningSchema(std::ostream& out) const;
  void WriteLinkSource(std::ostream& out) const;
  void WriteTables(std::ostream& out) const;
  // The text a table row uses for code `code` of node `node`.
  std::string CategoryText(int node, int code) const;

  GeneratorOptions options_;
  std::vector<GeneratedNode> nodes_;
  std::vector<std::vector<GeneratedRow>> tables_;  // parallel to nodes_
};

}  // namespace bnscore::testing

#endif  // TESTING_MODELGENERATOR_H_
