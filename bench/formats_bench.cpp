// formats_bench: what reading a network costs, from its file to the first
// scored record, against Xerces' own DOM parse of the same document.
//
//   formats_bench [--plugin PATH] [--no-generated] [FILE TARGET]...
//   formats_bench --plugin PATH --load-once FILE TARGET   (one Model::Load)
//   formats_bench --parse-once FILE                      (one Xerces parse)
//   formats_bench --write-random FILE                    (the 1,000-node BIF)
//   formats_bench --write-naive N FILE                   (naive Bayes PMML)
//
// The last two are for an instruction count under callgrind, which the
// machine's load does not disturb.
//
// For each FILE (BIF, XMLBIF, DMG or the scorer's PMML) with TARGET, and
// for generated documents (a random network of 1,000 nodes, and naive
// Bayes models of growing size, both written by formats/), prints one line:
// the document's size, the best of three times of Model::Load (file read,
// conversion, parse, plug-in read, plan) and of the first ScoreOne, and
// the best time of a bare XercesDOMParser parse of the PMML text the
// plug-in reads. Peak memory is the process's, so run one document per
// process to measure it (peak_rss does).

#include <sys/resource.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include <xercesc/framework/MemBufInputSource.hpp>
#include <xercesc/parsers/XercesDOMParser.hpp>

#include "bnscore/bnscore.h"
#include "formats/Conversion.h"
#include "formats/Network.h"
#include "formats/NetworkWriters.h"
#include "formats/PmmlWriter.h"
#include "host/xml/XmlPlatform.h"

namespace {

using Clock = std::chrono::steady_clock;
using bnscore::formats::Network;
using bnscore::formats::Variable;

double Seconds(Clock::time_point start) {
  return std::chrono::duration<double>(Clock::now() - start).count();
}

// A random network of `nodes` nodes of 2 to 4 states and up to 3 parents
// among the nodes before them.
Network RandomNetwork(std::size_t nodes, unsigned seed) {
  std::mt19937 random(seed);
  Network network;
  for (std::size_t n = 0; n < nodes; ++n) {
    Variable v;
    v.name = "n" + std::to_string(n);
    const std::size_t states = 2 + random() % 3;
    for (std::size_t k = 0; k < states; ++k) v.states.push_back("s" + std::to_string(k));
    const std::size_t parents = n == 0 ? 0 : std::min<std::size_t>(n, random() % 4);
    while (v.parents.size() < parents) {
      const std::size_t p = random() % n;
      if (std::find(v.parents.begin(), v.parents.end(), p) == v.parents.end())
        v.parents.push_back(p);
    }
    network.variables.push_back(std::move(v));
  }
  for (Variable& v : network.variables) {
    const std::size_t rows = network.RowCount(v);
    for (std::size_t r = 0; r < rows; ++r) {
      double sum = 0;
      std::vector<double> row(v.states.size());
      for (double& p : row) sum += (p = 1 + random() % 100);
      for (double p : row) v.table.push_back(p / sum);
    }
  }
  network.Index();
  return network;
}

// A naive Bayes: a target of two categories, `predictors` two-state children.
Network NaiveBayes(std::size_t predictors) {
  Network network = RandomNetwork(1, 7);
  std::mt19937 random(11);
  for (std::size_t i = 0; i < predictors; ++i) {
    Variable v;
    v.name = "w" + std::to_string(i);
    v.states = {"no", "yes"};
    v.parents = {0};
    for (std::size_t r = 0; r < network.variables[0].states.size(); ++r) {
      const double p = (1 + random() % 98) / 100.0;
      v.table.push_back(p);
      v.table.push_back(1 - p);
    }
    network.variables.push_back(std::move(v));
  }
  network.Index();
  return network;
}

double XercesParse(const std::string& text) {
  double best = 1e9;
  for (int i = 0; i < 3; ++i) {
    const Clock::time_point start = Clock::now();
    xercesc::XercesDOMParser parser;
    parser.setValidationScheme(xercesc::XercesDOMParser::Val_Never);
    parser.setDoNamespaces(false);
    parser.setCreateCommentNodes(false);
    xercesc::MemBufInputSource input(reinterpret_cast<const XMLByte*>(text.data()), text.size(),
                                     "bench", false);
    parser.parse(input);
    parser.adoptDocument()->release();
    best = std::min(best, Seconds(start));
  }
  return best;
}

void Measure(const std::string& label, const std::string& path, const std::string& target,
             const std::string& plugin) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream buffer;
  buffer << in.rdbuf();
  const std::string text = buffer.str();
  std::string pmml;
  {
    XmlPlatform xml;
    pmml = bnscore::formats::ToPmml(text, path, {}, target);
  }
  bnscore::LoadOptions options;
  options.plugin = plugin;
  options.target = target;
  double load = 1e9;
  double first = 1e9;
  for (int i = 0; i < 3; ++i) {
    Clock::time_point start = Clock::now();
    const auto model = bnscore::Model::Load(path, options);
    load = std::min(load, Seconds(start));
    std::vector<bnscore::NamedCell> record;
    for (const bnscore::Field& field : model->GetSchema().inputs) {
      record.push_back({field.name, bnscore::Cell::Missing()});
    }
    start = Clock::now();
    model->ScoreOne(record);
    first = std::min(first, Seconds(start));
  }
  double parse = 0;
  {
    XmlPlatform xml;
    parse = XercesParse(pmml);
  }
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  std::printf("%-28s %10zu %10zu %9.4f %9.5f %9.4f %6.2f %8ld\n", label.c_str(), text.size(),
              pmml.size(), load, first, parse, load / parse, usage.ru_maxrss / 1024);
  std::fflush(stdout);
}

std::string Write(const std::string& name, const std::string& text) {
  const std::string path = "/tmp/formats_bench_" + name;
  std::ofstream(path, std::ios::binary) << text;
  return path;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc == 3 && std::string(argv[1]) == "--parse-once") {
    std::ifstream in(argv[2], std::ios::binary);
    std::stringstream buffer;
    buffer << in.rdbuf();
    XmlPlatform xml;
    xercesc::XercesDOMParser parser;
    parser.setValidationScheme(xercesc::XercesDOMParser::Val_Never);
    parser.setDoNamespaces(false);
    parser.setCreateCommentNodes(false);
    const std::string text = buffer.str();
    xercesc::MemBufInputSource input(reinterpret_cast<const XMLByte*>(text.data()), text.size(),
                                     "bench", false);
    parser.parse(input);
    parser.adoptDocument()->release();
    return 0;
  }
  if (argc == 3 && std::string(argv[1]) == "--write-random") {
    std::ofstream(argv[2], std::ios::binary) << bnscore::formats::WriteBif(RandomNetwork(1000, 3));
    return 0;
  }
  if (argc == 4 && std::string(argv[1]) == "--write-naive") {
    std::ofstream(argv[3], std::ios::binary)
        << bnscore::formats::WritePmml(NaiveBayes(std::stoul(argv[2])), "n0");
    return 0;
  }
  if (argc == 6 && std::string(argv[3]) == "--load-once") {
    bnscore::LoadOptions options;
    options.plugin = argv[2];
    options.target = argv[5];
    return bnscore::Model::Load(argv[4], options) ? 0 : 1;
  }
  std::string plugin;
  bool generated = true;
  std::vector<std::pair<std::string, std::string>> files;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg == "--plugin" && i + 1 < argc) {
      plugin = argv[++i];
    } else if (arg == "--no-generated") {
      generated = false;
    } else if (i + 1 < argc) {
      files.emplace_back(arg, argv[i + 1]);
      ++i;
    }
  }
  std::printf("%-28s %10s %10s %9s %9s %9s %6s %8s\n", "document", "bytes", "pmml_bytes", "load_s",
              "first_s", "xerces_s", "ratio", "peak_MB");
  for (const auto& [path, target] : files) {
    Measure(path.substr(path.find_last_of('/') + 1), path, target, plugin);
  }
  if (!generated) return 0;
  const Network random = RandomNetwork(1000, 3);
  Measure("random1000.bif", Write("random1000.bif", bnscore::formats::WriteBif(random)), "n999",
          plugin);
  for (std::size_t n : {1000, 4000, 16000, 64000}) {
    const std::string name = "naive" + std::to_string(n) + ".pmml";
    Measure(name, Write(name, bnscore::formats::WritePmml(NaiveBayes(n), "n0")), "", plugin);
  }
  return 0;
}
