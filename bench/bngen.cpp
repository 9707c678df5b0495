// bngen: writes a random Bayesian-network model (PMML) and matching CSV
// records, from a named shape or from free options.
//
//   bngen --shape naive4 -n 1000000 model.pmml records.csv
//   bngen --string 10 --structure tan --categories 3 model.pmml records.csv
//   bngen --plan-stress 1000 -n 10 model.pmml records.csv

#include <cstdio>
#include <fstream>
#include <iostream>
#include <stdexcept>
#include <string>

#include <CLI/CLI.hpp>

#include "testing/GeneratorOptions.h"
#include "testing/ModelGenerator.h"
#include "testing/RecordGenerator.h"
#include "testing/StressModels.h"

using namespace bnscore::testing;

namespace {

void ListShapes(std::FILE* out) {
  for (const ShapePreset& preset : ShapePresets()) {
    std::fprintf(out, "%-14s %s\n", preset.name.c_str(), preset.description.c_str());
  }
}

// Writes a stress model and `count` copies of its record; 0 on success.
int WriteStress(const StressModel& m, const std::string& modelPath, const std::string& recordsPath,
                long long count) {
  std::ofstream model(modelPath, std::ios::binary);
  model << m.pmml;
  model.close();
  if (!model) {
    std::cerr << "bngen: cannot write " << modelPath << "\n";
    return 1;
  }
  if (recordsPath.empty()) return 0;
  std::string row;
  for (std::size_t i = 0; i < m.record.size(); ++i) row += (i > 0 ? "," : "") + m.record[i];
  std::string header;
  for (std::size_t i = 0; i < m.fieldNames.size(); ++i) {
    header += (i > 0 ? "," : "") + m.fieldNames[i];
  }
  std::ofstream file;
  if (recordsPath != "-") file.open(recordsPath, std::ios::binary);
  std::ostream& records = recordsPath == "-" ? std::cout : file;
  records << header << "\n";
  for (long long i = 0; i < count; ++i) records << row << "\n";
  records.flush();
  if (!records) {
    std::cerr << "bngen: cannot write " << recordsPath << "\n";
    return 1;
  }
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  CLI::App app{"Writes a random Bayesian-network model (PMML) and matching CSV records."};

  std::string shape;
  std::string modelPath;
  std::string recordsPath;
  long long count = 1000;
  bool listShapes = false;
  GeneratorOptions o;
  RecordOptions r;
  std::string structure = StructureName(o.structure);
  std::string method = MethodName(o.method);

  app.add_option("MODEL", modelPath, "PMML file to write");
  app.add_option("RECORDS", recordsPath, "CSV file to write (\"-\": standard output)");
  app.add_flag("--list-shapes", listShapes, "List the named shapes and exit");
  app.add_option("--shape", shape, "Start from a named shape (see --list-shapes)");
  app.add_option("-n,--records", count, "Number of records")->check(CLI::NonNegativeNumber);

  auto* binned = app.add_option("--binned", o.binnedPredictors, "Binned continuous predictors");
  auto* numeric =
      app.add_option("--numeric", o.numericPredictors, "Categorical numeric predictors");
  auto* strings = app.add_option("--string", o.stringPredictors, "Categorical string predictors");
  auto* derived = app.add_option("--derived", o.derivedPredictors,
                                 "Derived predictors (DerivedFields extension)");
  auto* bins = app.add_option("--bins", o.bins, "Bins per binned predictor");
  auto* categories = app.add_option("--categories", o.categories,
                                    "Categories per categorical or derived predictor");
  auto* targetCategories =
      app.add_option("--target-categories", o.targetCategories, "Categories of the target");
  auto* numericTarget =
      app.add_flag("--numeric-target", o.numericTarget, "Numeric target values (1, 2, ...)");
  auto* structureOption = app.add_option("--structure", structure, "naive, tan or general");
  auto* maxParents =
      app.add_option("--max-parents", o.maxParents, "Most parents per node (general structure)");
  auto* methodOption =
      app.add_option("--method", method, "maxLikelihood, adjustedBayes or bayesMethod");
  auto* missingConfigurations =
      app.add_option("--missing-configurations", o.missingConfigurations,
                     "Fraction of parent configurations left out of the tables");
  auto* seed = app.add_option("--seed", o.seed, "Seed of the model");
  app.add_option("--missing-cells", r.missingCells, "Fraction of empty cells");
  app.add_option("--unknown-values", r.unknownValues, "Fraction of cells with unknown values");
  app.add_flag("--include-target", r.includeTarget, "Add a column with a random target value");
  auto* recordSeed = app.add_option("--record-seed", r.seed, "Seed of the records");
  int planStress = -1;
  int manyCategories = -1;
  app.add_option("--plan-stress", planStress,
                 "Instead: the model of large dense tables, with this many predictors outside "
                 "its blanket, and copies of one record")
      ->check(CLI::NonNegativeNumber);
  app.add_option("--many-categories", manyCategories,
                 "Instead: a target with this many categories and one child, and copies of one "
                 "record")
      ->check(CLI::PositiveNumber);

  CLI11_PARSE(app, argc, argv);

  if (listShapes) {
    ListShapes(stdout);
    return 0;
  }
  if (modelPath.empty()) {
    std::cerr << "bngen: MODEL is required (see --help)\n";
    return 1;
  }

  if (planStress >= 0)
    return WriteStress(PlanStressModel(planStress), modelPath, recordsPath, count);
  if (manyCategories > 0) {
    return WriteStress(ManyCategoriesModel(manyCategories), modelPath, recordsPath, count);
  }
  // A shape gives the defaults; options given on the command line win.
  if (!shape.empty()) {
    const ShapePreset* preset = FindShapePreset(shape);
    if (preset == nullptr) {
      std::cerr << "bngen: unknown shape '" << shape << "'; known shapes:\n";
      ListShapes(stderr);
      return 1;
    }
    GeneratorOptions given = o;
    o = preset->options;
    if (binned->count()) o.binnedPredictors = given.binnedPredictors;
    if (numeric->count()) o.numericPredictors = given.numericPredictors;
    if (strings->count()) o.stringPredictors = given.stringPredictors;
    if (derived->count()) o.derivedPredictors = given.derivedPredictors;
    if (bins->count()) o.bins = given.bins;
    if (categories->count()) o.categories = given.categories;
    if (targetCategories->count()) o.targetCategories = given.targetCategories;
    if (numericTarget->count()) o.numericTarget = given.numericTarget;
    if (!structureOption->count()) structure = StructureName(o.structure);
    if (maxParents->count()) o.maxParents = given.maxParents;
    if (!methodOption->count()) method = MethodName(o.method);
    if (missingConfigurations->count()) o.missingConfigurations = given.missingConfigurations;
    if (seed->count()) o.seed = given.seed;
  }
  if (!ParseStructure(structure, o.structure)) {
    std::cerr << "bngen: unknown structure '" << structure << "' (naive, tan, general)\n";
    return 1;
  }
  if (!ParseMethod(method, o.method)) {
    std::cerr << "bngen: unknown method '" << method
              << "' (maxLikelihood, adjustedBayes, bayesMethod)\n";
    return 1;
  }
  // Different records for different models unless a record seed is given.
  if (!recordSeed->count()) r.seed = o.seed * 0x9E3779B97F4A7C15ULL + 1;

  try {
    ModelGenerator model(o);
    {
      std::ofstream out(modelPath, std::ios::binary);
      model.WritePmml(out);
      out.close();
      if (!out) {
        std::cerr << "bngen: cannot write " << modelPath << "\n";
        return 1;
      }
    }
    if (!recordsPath.empty()) {
      RecordGenerator records(model, r);
      std::ofstream file;
      std::ostream* out = &std::cout;
      if (recordsPath != "-") {
        file.open(recordsPath, std::ios::binary);
        out = &file;
      }
      records.WriteHeader(*out);
      records.WriteRecords(*out, count);
      out->flush();
      if (!*out) {
        std::cerr << "bngen: cannot write " << recordsPath << "\n";
        return 1;
      }
    }
    std::cerr << "bngen: " << o.PredictorCount() << " predictors, " << model.GetArcCount()
              << " arcs (" << model.GetTargetChildCount() << " from the target), "
              << model.GetTableRowCount() << " table rows"
              << (recordsPath.empty() ? "" : ", " + std::to_string(count) + " records") << "\n";
  } catch (const std::invalid_argument& e) {
    std::cerr << "bngen: " << e.what() << "\n";
    return 1;
  }
  return 0;
}
