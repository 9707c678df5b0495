#include "cli/LearnCommand.h"

#include <fstream>
#include <iostream>
#include <iterator>
#include <sstream>

#include <CLI/CLI.hpp>

#include "cli/AtomicOutputFile.h"
#include "cli/ListText.h"

namespace bnscore::cli {

namespace {

const char kLearnFooter[] =
    R"(Learns a Bayesian-network classifier of the --target column from CSV data
whose first row names the columns, and writes it as a BayesNetModel that
'bnscore score' (and the C++, Python and service front ends) score.

Structures: naive (default): the target the only parent of every column;
tan: the maximum-weight spanning tree of the columns under their mutual
information given the target (directed away from the first kept column),
plus the target as a parent of every column; k2: in column order, the
target first, each column takes the earlier column that raises its K2
score most, while one does and it has fewer than --max-parents parents;
given:FILE: the arcs of a network document (BIF, XMLBIF, PMML) whose
variables are the kept columns.

Columns: a column whose every value is a number is binned (--discretize;
mdl, the default, cuts where the classes change enough to pay for the cut,
and drops a column where no cut pays); the bins are written as a Discretize
of the column, so raw numbers score. Other columns are categorical, their
values sorted. A column with a single value, no values, or more than
--max-categories values is dropped with a note; a target with fewer than
two values or more than --max-categories is refused. An empty cell or a
--missing-values cell is missing in every column, and is left out of the
counts that need it.

Tables: P(x | parents) = (N(x, parents) + alpha) / (N(parents) + alpha*|X|),
with totalN = N(parents); a parent configuration never seen is left out and
scores as uniform (parameter learning "adjustedBayes"). See docs/learn.md.

Exit status: 0 written; 1 usage, file or data error.)";

using bnscore::cli::SplitList;

}  // namespace

CLI::App* AddLearnCommand(CLI::App& app, LearnArguments& arguments) {
  bnscore::LearnOptions& options = arguments.options;
  for (const std::string& token : options.missingValues) {
    arguments.missingValues += (arguments.missingValues.empty() ? "" : ",") + token;
  }
  CLI::App* learn = app.add_subcommand(
      "learn", "Learn a Bayesian-network classifier from CSV data (naive, TAN, K2)");
  learn->add_option("DATA", arguments.data, "CSV data with a header row (file, or -: stdin)")
      ->required();
  learn->add_option("--target", options.target, "The column to predict")
      ->required()
      ->type_name("COLUMN");
  learn->add_option("-o,--output", arguments.output, "Write the model to FILE (default: stdout)")
      ->type_name("FILE");
  learn
      ->add_option("--structure", options.structure,
                   "naive (default), tan, k2, or given:FILE (a network's arcs)")
      ->type_name("naive|tan|k2|given:FILE");
  learn
      ->add_option("--max-parents", options.maxParents,
                   "k2: the most parents of a node, the target included (default 2)")
      ->type_name("N")
      ->check(CLI::Range(1, 16));
  learn
      ->add_option("--discretize", options.discretize,
                   "How numeric columns are binned: mdl (default), equal-width:K, "
                   "equal-frequency:K")
      ->type_name("METHOD");
  learn
      ->add_option("--alpha", options.alpha,
                   "The prior count of every table cell (default 0.5; 0: maximum likelihood)")
      ->type_name("A");
  learn
      ->add_option("--max-categories", options.maxCategories,
                   "Drop a categorical column of more values than this (default 1000)")
      ->type_name("N");
  learn->add_option("--delimiter", arguments.delimiter, "Field delimiter: , (default), ; | or \\t")
      ->type_name("C");
  learn
      ->add_option("--missing-values", arguments.missingValues,
                   "Cells that are missing values besides the empty cell (default: " +
                       arguments.missingValues + "; '' for none)")
      ->type_name("LIST");
  learn->add_flag("-q,--quiet", arguments.quiet, "No notes on standard error");
  learn->footer(kLearnFooter);
  return learn;
}

int RunLearn(LearnArguments& arguments, std::ostream& errors) {
  bnscore::LearnOptions& options = arguments.options;
  if (arguments.delimiter == "\\t" || arguments.delimiter == "tab") arguments.delimiter = "\t";
  if (arguments.delimiter.size() != 1 || arguments.delimiter[0] == '"' ||
      arguments.delimiter[0] == '\n' || arguments.delimiter[0] == '\r') {
    errors << "bnscore: the delimiter must be one character other than a quote or a line end\n";
    return 1;
  }
  options.delimiter = arguments.delimiter[0];
  options.missingValues = SplitList(arguments.missingValues);
  try {
    bnscore::cli::RefuseOutputOverInputs(arguments.output, {{"the input", arguments.data}});
    bnscore::LearnResult result;
    if (arguments.data == "-") {
      const std::string text((std::istreambuf_iterator<char>(std::cin)),
                             std::istreambuf_iterator<char>());
      result = bnscore::LearnFromText(text, options, "<stdin>");
    } else {
      result = bnscore::Learn(arguments.data, options);
    }
    if (!arguments.quiet) {
      for (const std::string& note : result.notes) errors << "bnscore: learn: " << note << '\n';
    }
    if (arguments.output.empty() || arguments.output == "-") {
      std::cout << result.pmml;
      std::cout.flush();
      if (!std::cout) throw bnscore::Error("cannot write stdout");
    } else {
      bnscore::cli::AtomicOutputFile out(arguments.output);
      out.Write(result.pmml);
      out.Commit();
    }
  } catch (const std::exception& e) {
    errors << "bnscore: " << e.what() << '\n';
    return 1;
  }
  return 0;
}

}  // namespace bnscore::cli
