#ifndef BAYESNET_CONDITIONALTABLESREADER_H_
#define BAYESNET_CONDITIONALTABLESREADER_H_

#include <cstddef>
#include <string>
#include <vector>

#include <xercesc/dom/DOMElement.hpp>

#include "bayesnet/model/BayesNetModel.h"
#include "bayesnet/reader/DiscretizeReader.h"
#include "bayesnet/reader/ElementReader.h"
#include "bayesnet/reader/FieldResolver.h"
#include "host/data/TransformationDictionary.h"
#include "host/interfaces/ScoreDictionary.h"

// Reads the ConditionalTables elements of one document: each registers the
// predictors with their encoders (the target's last), then reads every
// ConditionalTable into the model's parents table and conditional
// probability tables. Faults raise VkException.
//
// One reader per document: it counts the parent codes of every table it
// reads and rejects the document past kMaxParentValues.
// REQUIRES: `dictionary` is not null; everything passed in outlives the
// reader (`transformation` may be null).
class ConditionalTablesReader : private ElementReader {
 public:
  ConditionalTablesReader(BayesNetModel& model, const DeftTranscoder& transcoder,
                          const FieldResolver& fields, const ScoreDictionary* dictionary,
                          const TransformationDictionary* transformation,
                          const CutPointMap& cutPoints,
                          const std::vector<std::string>& predictorNames)
      : ElementReader(transcoder),
        model_(model),
        fields_(fields),
        dictionary_(dictionary),
        transformation_(transformation),
        cutPoints_(cutPoints),
        predictorNames_(predictorNames) {}

  // Reads one ConditionalTables element; Extension children are skipped.
  void Read(const xercesc::DOMElement* tables);

 private:
  // Adds every predictor with its encoder to the model, then the target's
  // encoder.
  void RegisterPredictors();
  // One table: its node's parents and its rows; a later table for the same
  // node replaces the earlier one.
  void ReadTable(const xercesc::DOMElement* table);

  // At most this many parent codes (rows times parents, over every table)
  // per document. A row names as few parents as it likes and the others
  // take code 0, so without a bound a short row with many declared
  // parents would cost far more memory than its text.
  static constexpr std::size_t kMaxParentValues = std::size_t{1} << 22;

  BayesNetModel& model_;
  const FieldResolver& fields_;
  const ScoreDictionary* dictionary_;
  const TransformationDictionary* transformation_;
  const CutPointMap& cutPoints_;
  const std::vector<std::string>& predictorNames_;
  std::size_t parentValuesRead_ = 0;  // by the tables read so far
};

#endif  // BAYESNET_CONDITIONALTABLESREADER_H_
