// bnscore: scores CSV records with a Bayesian-network model stored in PMML,
// through the model plug-in loaded at run time.

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <exception>
#include <iostream>
#include <memory>
#include <optional>
#include <sstream>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include <CLI/CLI.hpp>

#include "bnscore/bnscore.h"
#include "bnscore/csv.h"
#include "cli/AtomicOutputFile.h"
#include "cli/ConvertCommand.h"
#include "cli/EvaluateCommand.h"
#include "bnscore/FdStreams.h"
#include "cli/FileDescriptor.h"
#include "cli/GraphCommand.h"
#include "cli/GzipDecoder.h"
#include "cli/LearnCommand.h"
#include "cli/ListText.h"
#include "cli/ModelFile.h"
#include "cli/ModelSummary.h"
#include "cli/QueryCommand.h"
#include "cli/ScoreCommand.h"
#include "bnscore/JsonText.h"
#ifdef BNSCORE_WITH_SERVICE
#include "service/ServeCommandLine.h"
#endif

using namespace bnscore::cli;
#ifdef BNSCORE_WITH_SERVICE
using namespace bnscore::service;
#endif

#ifndef BNSCORE_VERSION
#define BNSCORE_VERSION "unknown"
#endif

namespace {

// The record statuses as the help texts give them ({missing} and
// {no-score} in a text stand for them).
const std::string kMissingStatus = std::to_string(bnscore::kMissingPredictor);
const std::string kNoScoreStatus = std::to_string(bnscore::kNoPositiveScore);

std::string WithStatusCodes(std::string text) {
  for (const auto& [mark, code] : {std::pair<std::string, std::string>{"{missing}", kMissingStatus},
                                   {"{no-score}", kNoScoreStatus}}) {
    for (std::size_t at = text.find(mark); at != std::string::npos; at = text.find(mark, at)) {
      text.replace(at, mark.size(), code);
    }
  }
  return text;
}

const char kFooter[] = R"(Commands:
  bnscore score [OPTIONS] MODEL [RECORDS]   score CSV records
  bnscore evaluate [OPTIONS] MODEL RECORDS  compare predictions with known labels
  bnscore check [--header] MODEL            summarise the model
  bnscore display MODEL                     print the model's Display text
  bnscore graph [--format dot|svg] MODEL    draw the network (Graphviz)
  bnscore convert IN [-o OUT] [--target NODE] [--to pmml|xmlbif|bif]
                                            convert a network (BIF, XMLBIF, DMG)
  bnscore query MODEL RECORDS --node N,...  posteriors of any nodes per record
  bnscore serve [OPTIONS]                   serve models over HTTP (REST; not in
                                            a build with BNSCORE_SERVICE=OFF)
  bnscore learn DATA --target T [-o MODEL]  learn a model from CSV data
('check', 'display' and 'evaluate' take --format json for tooling.)
'bnscore COMMAND --help' explains each command.

Plug-in: --plugin PATH, else $BNSCORE_PLUGIN, else libbayesnet.so beside
bnscore or in ../lib.

Exit status: 0 success; 1 usage, file, plug-in or CSV error; 2 the model was
rejected ("bnscore: MODEL: error CODE: MESSAGE" on standard error); 3 score
--strict: a record was not scored; 141 the reader of the output went away
(a closed pipe), with nothing on standard error.

Reference: docs/cli.md.)";

const char kScoreFooter[] =
    R"(Records: CSV (or --delimiter) whose first row names the fields, or JSON
Lines (--input-format jsonl); gzip-compressed input is read as its text.
Every predictor needs a column ('bnscore check --header MODEL' prints them)
unless --allow-missing-columns.

Output: status,prediction,confidence,probability(C)... per record (status
0, or {missing}: a predictor has no usable value, {no-score}: no category scored);
--reason says why. With -o FILE the file is replaced only when the run
succeeds. A summary goes to standard error.

Gaps: --missing marginalize sums predictors without a usable value out of
the network (exact inference; records with nothing missing score as
without it); --unknown missing treats values none of their field's
categories as missing. --explain K adds reason_1..K and logodds_1..K (in
JSON Lines, "explanation": [{field, value, logOdds}]): the fields whose
evidence most favours the prediction over the runner-up. See
docs/inference.md.


Exit status: 0 the records were scored (with --strict: every one with
status 0); 1 usage, file, plug-in or CSV error; 2 the model was rejected;
3 with --strict, some record's status is not 0; 141 the reader of the
output went away (e.g. '| head').

Reference: docs/cli.md.)";

const char kEvaluateFooter[] =
    R"(Scores the records as 'bnscore score' does (the same input options) and
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

const char kCheckFooter[] =
    R"(Prints the model's type, target, input fields, derived fields, the arcs
of its network and the target's Markov blanket (the fields whose values
scoring uses). With --header, prints only the CSV header that records for
this model need: its predictors, in the order of the mining schema.
--format json writes the same as one JSON object (with --header, an array
of the names).

Exit status: 0 the model was read; 1 file or plug-in error; 2 the model was
rejected.)";

const char kGraphFooter[] =
    R"(Writes the model's network as a Graphviz DOT digraph: one node per field,
labelled with its categories (or, for a binned field, its bins), one edge
per arc of the document's LinkSource. The target is orange, the other
fields of its Markov blanket (those whose tables scoring reads) blue.
--format svg renders it with Graphviz's 'dot' (Debian package graphviz),
found on PATH.

Exit status: 0 the graph was written; 1 file or plug-in error, or dot
missing or failing; 2 the model was rejected.)";

const char kDisplayFooter[] =
    R"(Prints the plug-in's own Display text of the model; with --format json,
{"model":MODEL,"display":TEXT}.

Exit status: 0 the model was read; 1 file or plug-in error; 2 the model was
rejected.)";

// "," ";" "|" "\t" or "tab" (and a tab itself): one byte of ASCII
// punctuation, a blank or a tab, but not one that a cell would hold
// unquoted: a quote, or a number's '.', '-' or '+'. Letters, digits, line
// ends and other bytes are refused.
std::string ReadDelimiter(const std::string& text, char& delimiter) {
  if (text == "\\t" || text == "tab") {
    delimiter = '\t';
    return {};
  }
  const unsigned char c = text.size() == 1 ? static_cast<unsigned char>(text[0]) : 0;
  const bool allowed =
      c == '\t' || c == ' ' || (std::ispunct(c) && c != '"' && c != '.' && c != '-' && c != '+');
  if (!allowed) {
    return "the delimiter must be one punctuation character, a blank or a tab (',', ';', '|', "
           "'\\t' or tab), not a letter, a digit, a quote, '.', '-', '+' or a line end";
  }
  delimiter = text[0];
  return {};
}

using bnscore::cli::SplitList;

std::string JoinList(const std::vector<std::string>& items) {
  std::string text;
  for (const std::string& item : items) text += (text.empty() ? "" : ",") + item;
  return text;
}

struct Arguments {
  std::string modelPath;
  std::string pluginPath;
  std::string target;  // --target: the predicted variable of a network in another format
  std::size_t maxDocumentBytes = 0;  // --max-document-bytes (0: the default)
  std::size_t maxNodes = 0;          // --max-nodes (0: the default)
  bnscore::cli::ScoreOptions score;  // score, and evaluate's input
  bool header = false;               // check --header
  // evaluate
  std::string label;
  std::string format = "text";
  // Option texts read into `score` after parsing.
  std::string delimiter = ",";
  std::string missingValues = JoinList(bnscore::CsvOptions().missingValues);
  std::string blankLines = "skip";
  std::string inputFormat = "csv";
  std::string outputFormat = "csv";
  bool noHeader = false;
  std::string columns;     // --columns
  std::string headerFile;  // --header-file
  bool strict = false;     // score --strict
  // score --missing, --unknown; query
  std::string missing = "stop";
  std::string unknown = "stop";
  QueryOptions query;
};

// The exit status of `score --strict` when a record got a status other than 0.
constexpr int kNotAllScored = 3;

void AddCommonArguments(CLI::App& command, Arguments& args) {
  command
      .add_option("MODEL", args.modelPath,
                  "PMML model file, or a network in BIF, XMLBIF or DMG PMML")
      ->required();
  command.add_option("--plugin", args.pluginPath, "Model plug-in library to load")
      ->type_name("PATH");
  command
      .add_option("--target", args.target,
                  "The variable to predict: needed for a BIF or XMLBIF network (every other "
                  "variable a predictor); for PMML it replaces the document's target")
      ->type_name("NODE");
  command
      .add_option("--max-document-bytes", args.maxDocumentBytes,
                  "Refuse a model document larger than this (default: 256 MiB)")
      ->type_name("N");
  command
      .add_option("--max-nodes", args.maxNodes,
                  "Refuse a model document of more XML nodes than this (default: 200,000 or "
                  "one per 8 bytes of the document, whichever is more)")
      ->type_name("N");
}

// The options of `score` and `evaluate` that say how the records are read.
void AddInputOptions(CLI::App& command, Arguments& args) {
  command
      .add_option("--input-format", args.inputFormat,
                  "csv (default) or jsonl: one JSON object per line, field -> number, string "
                  "or null")
      ->type_name("csv|jsonl")
      ->check(CLI::IsMember({"csv", "jsonl"}));
  command.add_flag("--derived-in-record", args.score.load.derivedInRecord,
                   "The records carry the derived fields' values");
  command
      .add_option("--delimiter", args.delimiter,
                  "Field delimiter of the input and the output: , (default), ; | or \\t")
      ->type_name("C")
      ->check(CLI::Validator(
          [&args](std::string& text) { return ReadDelimiter(text, args.score.delimiter); }, ""));
  command
      .add_option("--missing-values", args.missingValues,
                  "Cells of numeric columns that are missing values, besides the empty cell "
                  "(default: " +
                      args.missingValues + "; '' for none)")
      ->type_name("LIST");
  command.add_flag("--allow-nonfinite", args.score.allowNonfinite,
                   "Read inf, nan etc. not in --missing-values as numbers instead of stopping");
  command.add_flag(
      "--allow-missing-columns", args.score.allowMissingColumns,
      "Score even when predictor columns are absent (their records get " + kMissingStatus + ")");
  command
      .add_option("--blank-lines", args.blankLines,
                  "skip (default; counted in the summary) or error")
      ->type_name("skip|error")
      ->check(CLI::IsMember({"skip", "error"}));
  command.add_flag(
      "--no-progress", [&args](std::int64_t) { args.score.progress = false; },
      "No progress line (shown on a terminal when the input is a file)");
  // For tests: the progress line's redraw interval.
  command.add_option("--progress-interval", args.score.progressIntervalMs)
      ->check(CLI::Range(0, 60000))
      ->group("");
  command.add_flag(
      "--no-header", args.noHeader,
      "The input has no header row (a streaming partition): name its columns with --columns "
      "or --header-file");
  command
      .add_option("--columns", args.columns,
                  "Names of the input's columns: of CSV with --no-header; of JSON Lines "
                  "instead of the first record's keys")
      ->type_name("A,B,...");
  command
      .add_option("--header-file", args.headerFile,
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
  if (args.score.inputFormat == bnscore::RecordFormat::kJsonLines) {
    if (args.noHeader)
      throw bnscore::Error("--no-header: JSON Lines input has no header row anyway");
  } else if (named != args.noHeader) {
    throw bnscore::Error(args.noHeader
                             ? "--no-header needs the columns' names: --columns A,B,... or "
                               "--header-file FILE"
                             : "--columns and --header-file name the columns of input "
                               "without a header row: add --no-header");
  }
  if (!named) return;
  if (!args.headerFile.empty()) {
    FileDescriptor file = FileDescriptor::OpenForReading(args.headerFile);
    bnscore::FdSource source(file.Get(), file.GetName());
    args.score.columns = bnscore::ReadCsvHeader(source, file.GetName(), args.score.delimiter);
  } else {
    args.score.columns = SplitList(args.columns);
  }
}

// display --format json: {"model":PATH,"display":TEXT}.
void WriteDisplayJson(const bnscore::Model& model, const std::string& modelPath,
                      std::ostream& out) {
  std::string json = "{\"model\":";
  bnscore::AppendJsonString(json, modelPath);
  json += ",\"display\":";
  bnscore::AppendJsonString(json, model.Display());
  out << json << "}\n";
}

int Run(const std::string& command, const Arguments& args) {
  const bool json = args.format == "json";
  std::vector<bnscore::cli::RunInput> inputs{{"the model", args.modelPath}};
  if (!args.headerFile.empty()) inputs.push_back({"the header file", args.headerFile});
  if (command == "score" || command == "evaluate") {
    inputs.push_back({"the input", args.score.recordsPath});
  }
  if (command == "query") {
    inputs.push_back({"the input", args.query.recordsPath});
    bnscore::cli::RefuseOutputOverInputs(args.query.outputPath, inputs);
  }
  bnscore::cli::RefuseOutputOverInputs(args.score.outputPath, inputs);
  bnscore::LoadOptions options;
  if (command == "score" || command == "evaluate" || command == "query") {
    options = args.score.load;
  }
  options.plugin = args.pluginPath;
  options.target = args.target;
  options.maxDocumentBytes = args.maxDocumentBytes;
  options.maxNodes = args.maxNodes;
  const std::optional<std::string> compressed = bnscore::cli::ReadCompressedModel(args.modelPath);
  std::unique_ptr<bnscore::Model> loaded = compressed
                                               ? bnscore::Model::LoadText(*compressed, options)
                                               : bnscore::Model::Load(args.modelPath, options);
  int status = 0;
  if (command == "query") {
    RunQuery(*loaded, args.query);
  } else if (command == "score") {
    const bnscore::CsvSummary counts = RunScore(*loaded, args.score, std::cerr);
    for (const auto& [code, records] : counts.statusCounts) {
      if (args.strict && code != 0 && records > 0) status = kNotAllScored;
    }
  } else if (command == "evaluate") {
    RunEvaluate(*loaded, EvaluateOptions{args.score, args.label, args.format == "json"}, std::cout);
  } else if (command == "check" && args.header) {
    if (json) {
      WriteExpectedHeaderJson(*loaded, std::cout);
    } else {
      WriteExpectedHeader(*loaded, std::cout);
    }
  } else if (command == "check") {
    if (json) {
      WriteModelSummaryJson(*loaded, args.modelPath, std::cout);
    } else {
      WriteModelSummary(*loaded, args.modelPath, std::cout);
    }
  } else if (command == "graph") {
    RunGraph(*loaded, GraphOptions{args.modelPath, args.score.outputPath, args.format == "svg"});
  } else if (json) {
    WriteDisplayJson(*loaded, args.modelPath, std::cout);
  } else {
    std::cout << loaded->Display();
  }
  std::cout.flush();
  if (!std::cout) {
    if (errno == EPIPE) throw bnscore::OutputClosed("cannot write stdout");
    throw bnscore::FileError(std::string("cannot write stdout: ") + std::strerror(errno));
  }
  return status;
}

// `status`, once what the run wrote to standard output is out: 1 with a
// message when it could not be written (a full disk, /dev/full), 141 when
// its reader went away.
int FinishStandardOutput(int status) {
  std::cout.flush();
  if (std::cout) return status;
  if (errno == EPIPE) return 141;
  std::cerr << "bnscore: cannot write stdout: " << std::strerror(errno) << '\n';
  return 1;
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
  score
      ->add_option("-o,--output", args.score.outputPath,
                   "Write the results to FILE (default: stdout)")
      ->type_name("FILE");
  AddInputOptions(*score, args);
  score->add_flag("--prediction-only", args.score.load.predictionOnly,
                  "Output only status and prediction");
  score->add_flag("--keep-input", args.score.keepInput,
                  "Copy the input columns in front of the result columns");
  score->add_flag("--reason", args.score.reason,
                  "Add a reason column: why a record has a non-zero status");
  score
      ->add_option("--output-format", args.outputFormat,
                   "csv (default) or jsonl: one JSON object per record")
      ->type_name("csv|jsonl")
      ->check(CLI::IsMember({"csv", "jsonl"}));
  score->add_flag("--strict", args.strict,
                  "Exit with status 3 when any record is not scored (status not 0)");
  score->add_flag(
      "--no-output-header", [&args](std::int64_t) { args.score.outputHeader = false; },
      "Write no header row (for streaming: each partition's output is rows only)");
  // Looks every predictor up by name in every record instead of by its
  // position: the same results, slower. For testing the model's lookups.
  score->add_flag("--by-name", args.score.load.byName)->group("");
  score
      ->add_option("--threads", args.score.threads,
                   "Scoring threads (default: the number of cores)")
      ->type_name("N")
      ->check(CLI::Range(1, 1024));
  // For tests: the size of the input blocks scored in parallel.
  score->add_option("--block-bytes", args.score.blockBytes)
      ->check(CLI::Range(1, 1 << 30))
      ->group("");
  score
      ->add_option("--missing", args.missing,
                   "stop (default: status " + kMissingStatus +
                       ") or marginalize: sum fields without a usable "
                       "value out of the network (docs/inference.md)")
      ->type_name("stop|marginalize")
      ->check(CLI::IsMember({"stop", "marginalize"}));
  score
      ->add_option("--unknown", args.unknown,
                   "stop (default: status " + kMissingStatus +
                       ") or missing: a value none of its field's "
                       "categories counts as missing")
      ->type_name("stop|missing")
      ->check(CLI::IsMember({"stop", "missing"}));
  score
      ->add_option("--explain", args.score.explain,
                   "Add reason_1..K and logodds_1..K: the K fields that most favour the "
                   "prediction over the runner-up")
      ->type_name("K")
      ->check(CLI::Range(0, 1000));
  score->footer(WithStatusCodes(kScoreFooter));
  CLI::App* evaluate = app.add_subcommand(
      "evaluate", "Score labelled records and compare the predictions with the labels");
  AddCommonArguments(*evaluate, args);
  evaluate->add_option("RECORDS", args.score.recordsPath, "Labelled records (file, or -: stdin)")
      ->required();
  AddInputOptions(*evaluate, args);
  evaluate
      ->add_option("--label", args.label,
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
  CLI::App* query = app.add_subcommand(
      "query", "Write the posterior of any nodes of the network for each CSV record");
  AddCommonArguments(*query, args);
  query->add_option("RECORDS", args.query.recordsPath, "CSV records (file, or -: stdin)")
      ->required();
  query->add_option("--node", args.query.nodes, "The nodes to query (N,M,...)")
      ->type_name("N[,M...]")
      ->delimiter(',')
      ->required();
  query
      ->add_option("--unknown", args.unknown,
                   "stop (default: status " + kMissingStatus +
                       ") or missing: a value none of its field's "
                       "categories counts as missing")
      ->type_name("stop|missing")
      ->check(CLI::IsMember({"stop", "missing"}));
  query->add_option("-o,--output", args.query.outputPath, "Write to FILE (default: stdout)")
      ->type_name("FILE");
  query->footer(
      WithStatusCodes(R"(Output: CSV with the header status,probability(N=C)... (one column per
category C of each queried node N, in code order), one row per record. Fields
without a usable value are summed out of the network (exact inference);
status {missing} for a value none of its field's categories (unless --unknown
missing), {no-score} when the record's values have probability zero.)"));
#ifdef BNSCORE_WITH_SERVICE
  ServeArguments serveArgs;
  CLI::App* serve = AddServeCommand(app, serveArgs);
#else
  if (argc > 1 && std::string(argv[1]) == "serve") {
    std::cerr << "bnscore: serve: this bnscore was built without the service "
                 "(BNSCORE_SERVICE=OFF); build it with 'make build'\n";
    return 1;
  }
#endif
  ConvertArguments convertArgs;
  CLI::App* convert = AddConvertCommand(app, convertArgs);
  LearnArguments learnArgs;
  CLI::App* learn = AddLearnCommand(app, learnArgs);
  app.footer(kFooter);

  try {
    app.parse(argc, argv);
  } catch (const CLI::Success& e) {
    return FinishStandardOutput(app.exit(e));  // --help, --version
  } catch (const CLI::ParseError& e) {
    std::cerr << "bnscore: " << e.what() << "\nRun 'bnscore --help' for usage.\n";
    return 1;
  }

#ifdef BNSCORE_WITH_SERVICE
  if (serve->parsed()) return RunServe(serveArgs, std::cout, std::cerr);
#endif
  if (convert->parsed()) return RunConvert(convertArgs, std::cerr);
  if (learn->parsed()) return RunLearn(learnArgs, std::cerr);
  args.score.missingValues = SplitList(args.missingValues);
  if (args.missing == "marginalize") args.score.load.missing = bnscore::MissingValues::kMarginalize;
  if (args.unknown == "missing") args.score.load.unknown = bnscore::UnknownValues::kMissing;
  args.score.rejectBlankLines = args.blankLines == "error";
  if (args.inputFormat == "jsonl") args.score.inputFormat = bnscore::RecordFormat::kJsonLines;
  if (args.outputFormat == "jsonl") args.score.outputFormat = bnscore::RecordFormat::kJsonLines;

  try {
    ResolveColumns(args);
    return Run(app.get_subcommands().front()->get_name(), args);
  } catch (const bnscore::OutputClosed&) {
    return 141;  // as a shell reports a process that a closed pipe ended
  } catch (const bnscore::ModelError& e) {
    std::cerr << "bnscore: " << args.modelPath << ": " << e.what() << '\n';
    return 2;
  } catch (const std::exception& e) {
    // A fault of gzip input (data cut short) is what a reader's own fault
    // (a row cut short) is about.
    const std::string inputFault = bnscore::cli::InputFault();
    std::cerr << "bnscore: " << (inputFault.empty() ? e.what() : inputFault) << '\n';
    return 1;
  }
}
