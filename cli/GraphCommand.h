#ifndef BNSCORE_CLI_GRAPHCOMMAND_H_
#define BNSCORE_CLI_GRAPHCOMMAND_H_

#include <string>

#include "bnscore/bnscore.h"

namespace bnscore::cli {

// The options of `bnscore graph`.
struct GraphOptions {
  std::string modelPath;   // the model's file, which names the graph
  std::string outputPath;  // "" or "-": standard output
  bool svg = false;        // render with Graphviz's dot instead of writing DOT
};

// The network of a model as a Graphviz DOT digraph: one node per field of
// the network (the target, the input fields, and every field an arc names),
// labelled with its name and its categories, or for a binned continuous
// field with its bins' labels; one edge per arc. The target is filled
// orange with a bold border, the other fields of its Markov blanket light
// blue, the rest white; the graph's label says so. The network is the
// plug-in's (Model::GetStructure); `modelPath` names the graph.
std::string MakeDot(const Model& model, const std::string& modelPath);

// Writes MakeDot's text to the output, or with `svg` pipes it through
// `dot -Tsvg`, found on PATH. Throws bnscore::FileError when the output
// cannot be written (OutputClosed when its reader went away), bnscore::Error
// when dot is not installed (the message says how to install it) or when it
// fails.
void RunGraph(const Model& model, const GraphOptions& options);

}  // namespace bnscore::cli

#endif  // BNSCORE_CLI_GRAPHCOMMAND_H_
