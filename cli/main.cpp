// bnscore: scores CSV records with a Bayesian-network model stored in PMML,
// through the model plug-in loaded at run time.

#include <algorithm>
#include <csignal>
#include <exception>
#include <iostream>
#include <memory>
#include <string>
#include <thread>

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

const char kFooter[] = R"(Output (score): CSV with the header
  status,prediction,confidence,probability(C)...
one probability column per target category C, in the order of the target's
categories; "status,prediction" only with --prediction-only; the input
columns first with --keep-input. status is 0 or the record's status code
(90029: a predictor has no usable value, 90021: no category scored); the
numbers are empty unless status is 0. A summary goes to standard error.

Threads (score): --threads N scores on N threads (default: the number of
cores). The first record is scored alone; then blocks of records are scored
in parallel and written in input order, so the output is the same for every
N. --threads 1 reads, scores and writes one record after the other.

Records: RFC 4180 CSV whose first row names the fields; an empty cell is a
missing value.

Plug-in: --plugin PATH, else $BNSCORE_PLUGIN, else libbayesnet.so beside
bnscore or in ../lib.

Exit status: 0 the model was read and every record scored; 1 usage, file,
plug-in or CSV error; 2 the model was rejected
("bnscore: MODEL: error CODE: MESSAGE" on standard error).)";

struct Arguments {
  std::string modelPath;
  std::string pluginPath;
  ScoreOptions score;
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
  } else if (check.parsed()) {
    WriteModelSummary(bnscore::ModelInternals::GetHostModel(*model), args.modelPath, std::cout);
  } else {
    std::cout << model->Display();
  }
  std::cout.flush();
  if (!std::cout) throw CliError("cannot write stdout");
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  // A closed output pipe ends the run quietly instead of killing it.
  std::signal(SIGPIPE, SIG_IGN);

  CLI::App app("Scores CSV records with a Bayesian-network classifier stored in PMML.", "bnscore");
  app.set_version_flag("--version", std::string("bnscore ") + BNSCORE_VERSION);
  app.require_subcommand(1);
  app.footer(kFooter);

  Arguments args;
  args.score.threads = std::max(1, static_cast<int>(std::thread::hardware_concurrency()));
  CLI::App* score = app.add_subcommand("score", "Score the CSV records; write one result row each");
  AddCommonArguments(*score, args);
  score->add_option("RECORDS", args.score.recordsPath, "CSV records (file, or - / absent: stdin)");
  score->add_option("-o,--output", args.score.outputPath, "Write the results to FILE (default: stdout)")
      ->type_name("FILE");
  score->add_flag("--by-name", args.score.byName, "Records give access by field name only");
  score->add_flag("--derived-in-record", args.score.derivedInRecord,
                  "The records carry the derived fields' values");
  score->add_flag("--prediction-only", args.score.predictionOnly,
                  "Output only status and prediction");
  score->add_flag("--keep-input", args.score.keepInput,
                  "Copy the input columns in front of the result columns");
  score->add_option("--threads", args.score.threads, "Scoring threads (default: the number of cores)")
      ->type_name("N")
      ->check(CLI::Range(1, 1024));
  // For tests: the size of the input blocks scored in parallel.
  score->add_option("--block-bytes", args.score.blockBytes)->check(CLI::Range(1, 1 << 30))->group("");
  CLI::App* check = app.add_subcommand("check", "Read the model and print a short summary");
  AddCommonArguments(*check, args);
  CLI::App* display = app.add_subcommand("display", "Read the model and print its Display text");
  AddCommonArguments(*display, args);
  ServeArguments serveArgs;
  CLI::App* serve = AddServeCommand(app, serveArgs);

  try {
    app.parse(argc, argv);
  } catch (const CLI::Success& e) {
    return app.exit(e);  // --help, --version
  } catch (const CLI::ParseError& e) {
    std::cerr << "bnscore: " << e.what() << "\nRun 'bnscore --help' for usage.\n";
    return 1;
  }

  if (serve->parsed()) return RunServe(serveArgs, std::cout, std::cerr);
  try {
    return Run(*score, *check, args);
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
