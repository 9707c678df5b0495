// bnscore: scores CSV records with a Bayesian-network model stored in PMML,
// through the model plug-in loaded at run time.

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <exception>
#include <iostream>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include <CLI/CLI.hpp>

#include "bnscore/bnscore.h"
#include "cli/ModelSummary.h"
#include "cli/ScoreCommand.h"
#include "engine/CliError.h"
#include "engine/ModelInternals.h"
#include "service/ServeCommandLine.h"

#ifndef BNSCORE_VERSION
#define BNSCORE_VERSION "unknown"
#endif

namespace {

const char kFooter[] = R"(Commands:
  bnscore score [OPTIONS] MODEL [RECORDS]   score CSV records
  bnscore check [--header] MODEL            summarise the model
  bnscore display MODEL                     print the model's Display text
  bnscore serve [OPTIONS]                   serve models over HTTP (REST)
'bnscore COMMAND --help' explains each command.

Plug-in: --plugin PATH, else $BNSCORE_PLUGIN, else libbayesnet.so beside
bnscore or in ../lib.

Exit status: 0 success; 1 usage, file, plug-in or CSV error; 2 the model was
rejected ("bnscore: MODEL: error CODE: MESSAGE" on standard error); 141 the
reader of the output went away (a closed pipe), with nothing on standard
error.)";

const char kScoreFooter[] = R"(Records: RFC 4180 CSV (or another --delimiter) whose first row names the
fields. Every predictor of the model must have a column (else exit 1, unless
--allow-missing-columns; 'bnscore check --header MODEL' prints the header
the model expects). A column named after a numeric field is read as numbers:
an empty cell, or one listed by --missing-values, is a missing value; other
text gives status 90029; "inf", "nan" and the like not listed there stop the
run with the line and column, unless --allow-nonfinite. Blank lines are
skipped and counted in the summary, or refused with --blank-lines error.

Output: CSV with the header
  status,prediction,confidence,probability(C)...[,reason]
one probability column per target category C, in the order of the target's
categories; "status,prediction" only with --prediction-only; the input
columns first with --keep-input (refused when an input column has the name
of a result column). status is 0 or the record's status code (90029: a
predictor has no usable value, 90021: no category scored); the numbers are
empty unless status is 0. --reason says why, e.g.
'employment: unknown category "retired"'. A summary goes to standard error.

Threads: --threads N scores on N threads (default: the number of cores).
The first record is scored alone; then blocks of records are scored in
parallel and written in input order, so the output is the same for every N.

Exit status: 0 every record was scored; 1 usage, file, plug-in or CSV error
(the rows before a CSV fault are written); 2 the model was rejected; 141
the reader of the output went away (e.g. '| head'): the run ends quietly.)";

const char kCheckFooter[] = R"(Prints the model's type, target, input fields, derived fields, the arcs
of its network and the target's Markov blanket (the fields whose values
scoring uses). With --header, prints only the CSV header that records for
this model need: its predictors, in the order of the mining schema.

Exit status: 0 the model was read; 1 file or plug-in error; 2 the model was
rejected.)";

const char kDisplayFooter[] = R"(Prints the plug-in's own Display text of the model.

Exit status: 0 the model was read; 1 file or plug-in error; 2 the model was
rejected.)";

// "," ";" "|" "\t" or "tab" (and a tab itself): one byte that is not a
// quote or a line end.
std::string ReadDelimiter(const std::string& text, char& delimiter) {
  if (text == "\\t" || text == "tab") {
    delimiter = '\t';
    return {};
  }
  if (text.size() != 1 || text[0] == '"' || text[0] == '\n' || text[0] == '\r') {
    return "the delimiter must be one character other than a quote or a line end "
           "(',', ';', '|', '\\t' or tab)";
  }
  delimiter = text[0];
  return {};
}

// "NA,N/A" -> {"NA", "N/A"}; "" -> {}.
std::vector<std::string> SplitList(const std::string& text) {
  std::vector<std::string> items;
  if (text.empty()) return items;
  std::size_t start = 0;
  for (;;) {
    const std::size_t comma = text.find(',', start);
    items.push_back(text.substr(start, comma - start));
    if (comma == std::string::npos) return items;
    start = comma + 1;
  }
}

std::string JoinList(const std::vector<std::string>& items) {
  std::string text;
  for (const std::string& item : items) text += (text.empty() ? "" : ",") + item;
  return text;
}

struct Arguments {
  std::string modelPath;
  std::string pluginPath;
  ScoreOptions score;
  bool header = false;  // check --header
};

void AddCommonArguments(CLI::App& command, Arguments& args) {
  command.add_option("MODEL", args.modelPath, "PMML model file")->required();
  command.add_option("--plugin", args.pluginPath, "Model plug-in library to load")
      ->type_name("PATH");
}

int Run(const CLI::App& score, const CLI::App& check, const Arguments& args) {
  bnscore::LoadOptions options;
  options.plugin = args.pluginPath;
  if (score.parsed()) {
    options.byName = args.score.byName;
    options.derivedInRecord = args.score.derivedInRecord;
    options.predictionOnly = args.score.predictionOnly;
  }
  std::unique_ptr<bnscore::Model> model = bnscore::Model::Load(args.modelPath, options);
  if (score.parsed()) {
    RunScore(*model, args.score, std::cerr);
  } else if (check.parsed() && args.header) {
    WriteExpectedHeader(bnscore::ModelInternals::GetHostModel(*model), args.modelPath, std::cout);
  } else if (check.parsed()) {
    WriteModelSummary(bnscore::ModelInternals::GetHostModel(*model), args.modelPath, std::cout);
  } else {
    std::cout << model->Display();
  }
  std::cout.flush();
  if (!std::cout) {
    if (errno == EPIPE) throw OutputClosed("cannot write stdout");
    throw CliError("cannot write stdout");
  }
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  // A closed output pipe is seen as a failed write (OutputClosed), which
  // ends the run quietly with status 141.
  std::signal(SIGPIPE, SIG_IGN);

  CLI::App app("Scores CSV records with a Bayesian-network classifier stored in PMML.", "bnscore");
  app.set_version_flag("--version", std::string("bnscore ") + BNSCORE_VERSION);
  app.require_subcommand(1);

  Arguments args;
  args.score.threads = std::max(1, static_cast<int>(std::thread::hardware_concurrency()));
  CLI::App* score = app.add_subcommand("score", "Score the CSV records; write one result row each");
  AddCommonArguments(*score, args);
  score->add_option("RECORDS", args.score.recordsPath, "CSV records (file, or - / absent: stdin)");
  score->add_option("-o,--output", args.score.outputPath, "Write the results to FILE (default: stdout)")
      ->type_name("FILE");
  // Looks every predictor up by name in every record instead of by its
  // position: the same results, slower. For testing the model's lookups.
  score->add_flag("--by-name", args.score.byName)->group("");
  score->add_flag("--derived-in-record", args.score.derivedInRecord,
                  "The records carry the derived fields' values");
  score->add_flag("--prediction-only", args.score.predictionOnly,
                  "Output only status and prediction");
  score->add_flag("--keep-input", args.score.keepInput,
                  "Copy the input columns in front of the result columns");
  score->add_flag("--reason", args.score.reason,
                  "Add a reason column: why a record has a non-zero status");
  std::string delimiter = ",";
  score->add_option("--delimiter", delimiter,
                    "Field delimiter of the input and the output: , (default), ; | or \\t")
      ->type_name("C")
      ->check(CLI::Validator(
          [&args](std::string& text) { return ReadDelimiter(text, args.score.delimiter); }, ""));
  std::string missingValues = JoinList(args.score.missingValues);
  score->add_option("--missing-values", missingValues,
                    "Cells of numeric columns that are missing values, besides the empty cell "
                    "(default: " + missingValues + "; '' for none)")
      ->type_name("LIST");
  score->add_flag("--allow-nonfinite", args.score.allowNonfinite,
                  "Read inf, nan etc. not in --missing-values as numbers instead of stopping");
  score->add_flag("--allow-missing-columns", args.score.allowMissingColumns,
                  "Score even when predictor columns are absent (their records get 90029)");
  std::string blankLines = "skip";
  score->add_option("--blank-lines", blankLines,
                    "skip (default; counted in the summary) or error")
      ->type_name("skip|error")
      ->check(CLI::IsMember({"skip", "error"}));
  score->add_option("--threads", args.score.threads, "Scoring threads (default: the number of cores)")
      ->type_name("N")
      ->check(CLI::Range(1, 1024));
  // For tests: the size of the input blocks scored in parallel.
  score->add_option("--block-bytes", args.score.blockBytes)->check(CLI::Range(1, 1 << 30))->group("");
  score->footer(kScoreFooter);
  CLI::App* check = app.add_subcommand("check", "Read the model and print a short summary");
  AddCommonArguments(*check, args);
  check->add_flag("--header", args.header,
                  "Print only the CSV header the records need (the predictors)");
  check->footer(kCheckFooter);
  CLI::App* display = app.add_subcommand("display", "Read the model and print its Display text");
  AddCommonArguments(*display, args);
  ServeArguments serveArgs;
  CLI::App* serve = AddServeCommand(app, serveArgs);
  display->footer(kDisplayFooter);
  app.footer(kFooter);

  try {
    app.parse(argc, argv);
  } catch (const CLI::Success& e) {
    return app.exit(e);  // --help, --version
  } catch (const CLI::ParseError& e) {
    std::cerr << "bnscore: " << e.what() << "\nRun 'bnscore --help' for usage.\n";
    return 1;
  }

  if (serve->parsed()) return RunServe(serveArgs, std::cout, std::cerr);
  args.score.missingValues = SplitList(missingValues);
  args.score.rejectBlankLines = blankLines == "error";

  try {
    return Run(*score, *check, args);
  } catch (const OutputClosed&) {
    return 141;  // as a shell reports a process that a closed pipe ended
  } catch (const bnscore::ModelError& e) {
    std::cerr << "bnscore: " << args.modelPath << ": " << e.what() << '\n';
    return 2;
  } catch (const bnscore::Error& e) {
    std::cerr << "bnscore: " << e.what() << '\n';
    return 1;
  } catch (const CliError& e) {
    std::cerr << "bnscore: " << e.what() << '\n';
    return 1;
  } catch (const std::exception& e) {
    std::cerr << "bnscore: " << e.what() << '\n';
    return 1;
  }
}
