// bnscore: scores CSV records with a Bayesian-network model stored in PMML,
// through the model plug-in loaded at run time.

#include <algorithm>
#include <cstdint>
#include <cerrno>
#include <csignal>
#include <exception>
#include <iostream>
#include <memory>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include <CLI/CLI.hpp>

#include "bnscore/bnscore.h"
#include "cli/EvaluateCommand.h"
#include "cli/FileDescriptor.h"
#include "cli/GraphCommand.h"
#include "cli/ModelSummary.h"
#include "cli/ScoreCommand.h"
#include "engine/CsvReader.h"
#include "engine/CsvScoring.h"
#include "engine/EngineError.h"
#include "engine/JsonText.h"
#include "engine/ModelInternals.h"
#include "host/xml/XmlPlatform.h"
#include "service/ServeCommandLine.h"

#ifndef BNSCORE_VERSION
#define BNSCORE_VERSION "unknown"
#endif

namespace {

const char kFooter[] = R"(Commands:
  bnscore score [OPTIONS] MODEL [RECORDS]   score CSV records
  bnscore evaluate [OPTIONS] MODEL RECORDS  compare predictions with known labels
  bnscore check [--header] MODEL            summarise the model
  bnscore display MODEL                     print the model's Display text
  bnscore graph [--format dot|svg] MODEL    draw the network (Graphviz)
  bnscore serve [OPTIONS]                   serve models over HTTP (REST)
('check', 'display' and 'evaluate' take --format json for tooling.)
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

Formats: --input-format jsonl reads one JSON object per line (field ->
number, string or null; the first record's keys, or --columns, are the
columns); --output-format jsonl writes one object per record:
{"status":..,"prediction":..,"confidence":..,"probabilities":{C: p, ...}}.
Headerless input (a Hadoop-streaming or Spark pipe partition): --no-header
with --columns A,B,... or --header-file FILE; --no-output-header drops the
output's header row.

Progress: on a terminal, a progress line on standard error while a file is
read (not for pipes; --no-progress turns it off).

Threads: --threads N scores on N threads (default: the number of cores).
The first record is scored alone; then blocks of records are scored in
parallel and written in input order, so the output is the same for every N.

Exit status: 0 every record was scored; 1 usage, file, plug-in or CSV error
(the rows before a CSV fault are written); 2 the model was rejected; 141
the reader of the output went away (e.g. '| head'): the run ends quietly.)";

const char kEvaluateFooter[] = R"(Scores the records as 'bnscore score' does (the same input options) and
compares each prediction with the record's label, the cell of the --label
column (default: the column named after the model's target). Reports the
records by status; accuracy; per target category precision, recall, F1 and
support; the confusion matrix (rows: actual, columns: predicted, in the
order of the target's categories); log-loss (probabilities clipped at
1e-15) and the Brier score (mean over records of the sum over categories of
(p - y)^2); and for a two-category target the ROC AUC. Only records of
status 0 whose label is a target category are evaluated; the others are
counted apart: status not 0, label missing (empty or a --missing-values
cell), label not a target category. An undefined figure (0/0) is "-" in
text and null in JSON.

Exit status: 0 the report was written; 1 usage, file, plug-in or CSV error,
or no label column; 2 the model was rejected.)";

const char kCheckFooter[] = R"(Prints the model's type, target, input fields, derived fields, the arcs
of its network and the target's Markov blanket (the fields whose values
scoring uses). With --header, prints only the CSV header that records for
this model need: its predictors, in the order of the mining schema.
--format json writes the same as one JSON object (with --header, an array
of the names).

Exit status: 0 the model was read; 1 file or plug-in error; 2 the model was
rejected.)";

const char kGraphFooter[] = R"(Writes the model's network as a Graphviz DOT digraph: one node per field,
labelled with its categories (or, for a binned field, its bins), one edge
per arc of the document's LinkSource. The target is orange, the other
fields of its Markov blanket (those whose tables scoring reads) blue.
--format svg renders it with Graphviz's 'dot' (Debian package graphviz),
found on PATH.

Exit status: 0 the graph was written; 1 file or plug-in error, or dot
missing or failing; 2 the model was rejected.)";

const char kDisplayFooter[] = R"(Prints the plug-in's own Display text of the model; with --format json,
{"model":MODEL,"display":TEXT}.

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
  ScoreOptions score;   // score, and evaluate's input
  bool header = false;  // check --header
  // evaluate
  std::string label;
  std::string format = "text";
  // Option texts read into `score` after parsing.
  std::string delimiter = ",";
  std::string missingValues = JoinList(ScoreOptions().missingValues);
  std::string blankLines = "skip";
  std::string inputFormat = "csv";
  std::string outputFormat = "csv";
  bool noHeader = false;
  std::string columns;     // --columns
  std::string headerFile;  // --header-file
};

void AddCommonArguments(CLI::App& command, Arguments& args) {
  command.add_option("MODEL", args.modelPath, "PMML model file")->required();
  command.add_option("--plugin", args.pluginPath, "Model plug-in library to load")
      ->type_name("PATH");
}

// The options of `score` and `evaluate` that say how the records are read.
void AddInputOptions(CLI::App& command, Arguments& args) {
  command.add_option("--input-format", args.inputFormat,
                     "csv (default) or jsonl: one JSON object per line, field -> number, string "
                     "or null")
      ->type_name("csv|jsonl")
      ->check(CLI::IsMember({"csv", "jsonl"}));
  command.add_flag("--derived-in-record", args.score.load.derivedInRecord,
                   "The records carry the derived fields' values");
  command.add_option("--delimiter", args.delimiter,
                     "Field delimiter of the input and the output: , (default), ; | or \\t")
      ->type_name("C")
      ->check(CLI::Validator(
          [&args](std::string& text) { return ReadDelimiter(text, args.score.delimiter); }, ""));
  command.add_option("--missing-values", args.missingValues,
                     "Cells of numeric columns that are missing values, besides the empty cell "
                     "(default: " + args.missingValues + "; '' for none)")
      ->type_name("LIST");
  command.add_flag("--allow-nonfinite", args.score.allowNonfinite,
                   "Read inf, nan etc. not in --missing-values as numbers instead of stopping");
  command.add_flag("--allow-missing-columns", args.score.allowMissingColumns,
                   "Score even when predictor columns are absent (their records get 90029)");
  command.add_option("--blank-lines", args.blankLines,
                     "skip (default; counted in the summary) or error")
      ->type_name("skip|error")
      ->check(CLI::IsMember({"skip", "error"}));
  command.add_flag("--no-progress", [&args](std::int64_t) { args.score.progress = false; },
                   "No progress line (shown on a terminal when the input is a file)");
  // For tests: the progress line's redraw interval.
  command.add_option("--progress-interval", args.score.progressIntervalMs)
      ->check(CLI::Range(0, 60000))
      ->group("");
  command.add_flag(
      "--no-header", args.noHeader,
      "The input has no header row (a streaming partition): name its columns with --columns "
      "or --header-file");
  command.add_option("--columns", args.columns,
                     "Names of the input's columns: of CSV with --no-header; of JSON Lines "
                     "instead of the first record's keys")
      ->type_name("A,B,...");
  command.add_option("--header-file", args.headerFile,
                     "A file whose first row names the input's columns, as --columns")
      ->type_name("FILE")
      ->excludes("--columns");
}

void AddFormatOption(CLI::App& command, Arguments& args) {
  command.add_option("--format", args.format, "text (default) or json: one JSON object")
      ->type_name("text|json")
      ->check(CLI::IsMember({"text", "json"}));
}

// The columns of headerless input: --columns, or the first row of
// --header-file (read with the input's delimiter).
void ResolveColumns(Arguments& args) {
  const bool named = !args.columns.empty() || !args.headerFile.empty();
  if (args.score.inputFormat == RecordFormat::JsonLines) {
    if (args.noHeader) throw EngineError("--no-header: JSON Lines input has no header row anyway");
  } else if (named != args.noHeader) {
    throw EngineError(args.noHeader ? "--no-header needs the columns' names: --columns A,B,... or "
                                   "--header-file FILE"
                                 : "--columns and --header-file name the columns of input "
                                   "without a header row: add --no-header");
  }
  if (!named) return;
  if (!args.headerFile.empty()) {
    FileDescriptor file = FileDescriptor::OpenForReading(args.headerFile);
    CsvReader reader(file.Get(), file.GetName());
    reader.SetDelimiter(args.score.delimiter);
    args.score.columns = ReadHeader(reader, args.score);
  } else {
    args.score.columns = SplitList(args.columns);
  }
}

// display --format json: {"model":PATH,"display":TEXT}.
void WriteDisplayJson(const ScoreModel& model, const std::string& modelPath, std::ostream& out) {
  std::ostringstream display;
  model.Display(display);
  std::string json = "{\"model\":";
  AppendJsonString(modelPath, json);
  json += ",\"display\":";
  AppendJsonString(display.str(), json);
  out << json << "}\n";
}

int Run(const std::string& command, const Arguments& args) {
  const bool json = args.format == "json";
  XmlPlatform xml;  // Xerces stays initialised for the whole run (check and graph read the
                    // document again)
  bnscore::LoadOptions options;
  if (command == "score" || command == "evaluate") options = args.score.load;
  options.plugin = args.pluginPath;
  std::unique_ptr<bnscore::Model> loaded = bnscore::Model::Load(args.modelPath, options);
  ScoreModel& model = bnscore::ModelInternals::GetHostModel(*loaded);
  if (command == "score") {
    RunScore(*loaded, args.score, std::cerr);
  } else if (command == "evaluate") {
    RunEvaluate(*loaded, EvaluateOptions{args.score, args.label, args.format == "json"},
                std::cout);
  } else if (command == "check" && args.header) {
    if (json) {
      WriteExpectedHeaderJson(model, args.modelPath, std::cout);
    } else {
      WriteExpectedHeader(model, args.modelPath, std::cout);
    }
  } else if (command == "check") {
    if (json) {
      WriteModelSummaryJson(model, args.modelPath, std::cout);
    } else {
      WriteModelSummary(model, args.modelPath, std::cout);
    }
  } else if (command == "graph") {
    RunGraph(model, GraphOptions{args.modelPath, args.score.outputPath, args.format == "svg"});
  } else if (json) {
    WriteDisplayJson(model, args.modelPath, std::cout);
  } else {
    std::cout << loaded->Display();
  }
  std::cout.flush();
  if (!std::cout) {
    if (errno == EPIPE) throw OutputClosed("cannot write stdout");
    throw EngineError("cannot write stdout");
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
  CLI::App* score =
      app.add_subcommand("score", "Score the records (CSV or JSON Lines); write one result each");
  AddCommonArguments(*score, args);
  score->add_option("RECORDS", args.score.recordsPath, "CSV records (file, or - / absent: stdin)");
  score->add_option("-o,--output", args.score.outputPath, "Write the results to FILE (default: stdout)")
      ->type_name("FILE");
  AddInputOptions(*score, args);
  score->add_flag("--prediction-only", args.score.load.predictionOnly,
                  "Output only status and prediction");
  score->add_flag("--keep-input", args.score.keepInput,
                  "Copy the input columns in front of the result columns");
  score->add_flag("--reason", args.score.reason,
                  "Add a reason column: why a record has a non-zero status");
  score->add_option("--output-format", args.outputFormat,
                    "csv (default) or jsonl: one JSON object per record")
      ->type_name("csv|jsonl")
      ->check(CLI::IsMember({"csv", "jsonl"}));
  score->add_flag("--no-output-header", [&args](std::int64_t) { args.score.outputHeader = false; },
                  "Write no header row (for streaming: each partition's output is rows only)");
  // Looks every predictor up by name in every record instead of by its
  // position: the same results, slower. For testing the model's lookups.
  score->add_flag("--by-name", args.score.load.byName)->group("");
  score->add_option("--threads", args.score.threads, "Scoring threads (default: the number of cores)")
      ->type_name("N")
      ->check(CLI::Range(1, 1024));
  // For tests: the size of the input blocks scored in parallel.
  score->add_option("--block-bytes", args.score.blockBytes)->check(CLI::Range(1, 1 << 30))->group("");
  score->footer(kScoreFooter);
  CLI::App* evaluate = app.add_subcommand(
      "evaluate", "Score labelled records and compare the predictions with the labels");
  AddCommonArguments(*evaluate, args);
  evaluate->add_option("RECORDS", args.score.recordsPath, "Labelled records (file, or -: stdin)")
      ->required();
  AddInputOptions(*evaluate, args);
  evaluate->add_option("--label", args.label,
                       "The column of the known categories (default: the target's name)")
      ->type_name("COLUMN");
  AddFormatOption(*evaluate, args);
  evaluate->footer(kEvaluateFooter);
  CLI::App* check = app.add_subcommand("check", "Read the model and print a short summary");
  AddCommonArguments(*check, args);
  check->add_flag("--header", args.header,
                  "Print only the CSV header the records need (the predictors)");
  AddFormatOption(*check, args);
  check->footer(kCheckFooter);
  CLI::App* display = app.add_subcommand("display", "Read the model and print its Display text");
  AddCommonArguments(*display, args);
  AddFormatOption(*display, args);
  display->footer(kDisplayFooter);
  CLI::App* graph = app.add_subcommand("graph", "Write the network as Graphviz DOT or SVG");
  AddCommonArguments(*graph, args);
  graph->add_option("--format", args.format, "dot (default) or svg (runs Graphviz's dot)")
      ->type_name("dot|svg")
      ->check(CLI::IsMember({"dot", "svg"}));
  graph->add_option("-o,--output", args.score.outputPath, "Write to FILE (default: stdout)")
      ->type_name("FILE");
  graph->footer(kGraphFooter);
  ServeArguments serveArgs;
  CLI::App* serve = AddServeCommand(app, serveArgs);
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
  args.score.missingValues = SplitList(args.missingValues);
  args.score.rejectBlankLines = args.blankLines == "error";
  if (args.inputFormat == "jsonl") args.score.inputFormat = RecordFormat::JsonLines;
  if (args.outputFormat == "jsonl") args.score.outputFormat = RecordFormat::JsonLines;

  try {
    ResolveColumns(args);
    return Run(app.get_subcommands().front()->get_name(), args);
  } catch (const OutputClosed&) {
    return 141;  // as a shell reports a process that a closed pipe ended
  } catch (const bnscore::ModelError& e) {
    std::cerr << "bnscore: " << args.modelPath << ": " << e.what() << '\n';
    return 2;
  } catch (const bnscore::Error& e) {
    std::cerr << "bnscore: " << e.what() << '\n';
    return 1;
  } catch (const EngineError& e) {
    std::cerr << "bnscore: " << e.what() << '\n';
    return 1;
  } catch (const std::exception& e) {
    std::cerr << "bnscore: " << e.what() << '\n';
    return 1;
  }
}
