#ifndef BNSCORE_CLI_NETWORKSTRUCTURE_H_
#define BNSCORE_CLI_NETWORKSTRUCTURE_H_

#include <map>
#include <string>
#include <utility>
#include <vector>

// The structure of a model's network as its document states it, which the
// host interfaces do not describe: the arcs of the first BayesNetModel's
// LinkSource (rows whose flag is "yes", each arc once, in document order)
// and, for each data field binned by a derived field, that derived field;
// and the order of the fields of its mining schema.
// Derived fields named in arcs stand for their data field.
struct NetworkStructure {
  using Arc = std::pair<std::string, std::string>;  // parent, child

  std::vector<Arc> arcs;
  std::map<std::string, std::string> bins;  // data field -> its derived field
  // The names of the MiningFields of the model's MiningSchema, in document
  // order (those of its extensions left out).
  std::vector<std::string> schemaOrder;
  // What a model converted from a DMG document says of itself; "" when
  // nothing.
  std::string modelType;
  std::string inferenceMethod;

  // Reads the PMML file `modelPath`, gzip-compressed or not
  // (ReadCompressedModel; EngineError when it cannot be read), or the text
  // given for it with UseText.
  static NetworkStructure Read(const std::string& modelPath);
  // Has Read take `text` for `modelPath` from now on: the BayesNetModel a
  // network of another format was converted to.
  static void UseText(const std::string& modelPath, std::string text);

  // The Markov blanket of `node`: its parents, its children and their other
  // parents, each once, in the order of the arcs.
  std::vector<std::string> MarkovBlanket(const std::string& node) const;
};

#endif  // BNSCORE_CLI_NETWORKSTRUCTURE_H_
