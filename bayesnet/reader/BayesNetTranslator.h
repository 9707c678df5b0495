#ifndef BAYESNET_BAYESNETTRANSLATOR_H_
#define BAYESNET_BAYESNETTRANSLATOR_H_

#include <cstddef>
#include <map>
#include <string>
#include <vector>

#include <xercesc/dom/DOMDocument.hpp>
#include <xercesc/dom/DOMElement.hpp>

#include "bayesnet/encoders/IVkEncoder.h"
#include "bayesnet/model/BayesNetModel.h"
#include "host/data/TransformationDictionary.h"
#include "host/interfaces/ScoreDictionary.h"
#include "host/xml/PMMLTranslator.h"

// Reads a PMML document holding a BayesNetModel element into a new
// BayesNetModel. Every fault of the document is raised as a VkException
// thrown by value; nothing here catches it.
//
// Ownership: ParseFromTree returns a model that the caller owns. While a
// call runs, `model_` points at the model being built; a failed call
// deletes that model and leaves `model_` null, a successful one leaves
// `model_` pointing at the returned model, which the translator never
// deletes. The dictionaries that the host parses are handed to the model
// as soon as they exist and die with it.
//
// One call at a time per translator. The element readers live in separate
// files: BayesNetTranslator.cpp (the document walk and the learning
// settings), MiningSchemaReader.cpp, DiscretizeReader.cpp,
// LinkSourceReader.cpp, ConditionalTablesReader.cpp, EncoderFactory.cpp
// and FieldText.cpp.
class BayesNetTranslator : public PMMLTranslator {
 public:
  BayesNetTranslator();
  ~BayesNetTranslator() override;

  BayesNetTranslator(const BayesNetTranslator&) = delete;
  BayesNetTranslator& operator=(const BayesNetTranslator&) = delete;

  using BaseTranslator::ParseFromTree;
  ScoreModel* ParseFromTree(xercesc::DOMDocument* document, const std::string& encoding) override;

  // The model of the last successful ParseFromTree (or of the one running);
  // null before the first call and after a failed one. Not owned.
  BayesNetModel* GetModel() const { return model_; }

  // Cuts `text` into `fields` at ';', with '\' escaping a following '\' or
  // ';'. A trailing ';' adds no empty field. Returns false on a bad escape,
  // in which case the rest of the text from the current field's start
  // becomes the last field.
  static bool SplitEscaped(std::vector<std::string>& fields, const std::string& text);
  // `text` without the spaces at its start and end; other whitespace stays.
  static std::string TrimBlanks(const std::string& text);

 private:
  // Derived field name -> its cut points, in document order.
  using CutPointMap = std::map<std::string, std::vector<double>>;

  std::string Transcode(const XMLCh* text) const;

  // MiningBuildTask/Extension/BayesNetSettings/ParameterLearning@method.
  void ParseLearningSettings(const xercesc::DOMElement* root);

  // Reads the Discretize of every DerivedField below `transformation` into
  // `cutPoints`; returns the number of DerivedField elements.
  int ParseDiscretize(const xercesc::DOMElement* transformation, CutPointMap& cutPoints);

  // Sets roles, the target and the derived-field links on the model, fills
  // `predictorNames` in document order and returns the target's name ("" if
  // none is predicted).
  std::string ParseMiningSchema(const xercesc::DOMElement* miningSchema,
                                const TransformationDictionary* transformation,
                                const ScoreDictionary* dictionary,
                                std::vector<std::string>& predictorNames);
  // The data-dictionary field that a name of the model element stands for.
  std::string ResolveFieldName(const std::string& name,
                               const TransformationDictionary* transformation,
                               const ScoreDictionary* dictionary);

  void ParseLinkSource(const xercesc::DOMElement* linkSource,
                       const TransformationDictionary* transformation,
                       const ScoreDictionary* dictionary);

  void ParseConditionalTables(const xercesc::DOMElement* tables, const ScoreDictionary* dictionary,
                              const TransformationDictionary* transformation,
                              const CutPointMap& cutPoints,
                              const std::vector<std::string>& predictorNames);
  void RegisterPredictors(const ScoreDictionary* dictionary,
                          const TransformationDictionary* transformation,
                          const CutPointMap& cutPoints,
                          const std::vector<std::string>& predictorNames);
  void ParseConditionalTable(const xercesc::DOMElement* table, const ScoreDictionary* dictionary,
                             const TransformationDictionary* transformation);

  // A new categorical encoder holding the variable's value labels; the
  // caller owns it. Null only when it cannot be allocated.
  IVkEncoder* CreateCategoricalEncoder(const ScoreDictVar* variable);
  // A new binning encoder for a continuous predictor, from the cut points
  // of the derived field linked to it; raises code 8 when there are none.
  IVkEncoder* CreateBinningEncoder(const std::string& predictor, const CutPointMap& cutPoints);

  // At most this many parent codes (rows times parents, over every table)
  // per document. A row names as few parents as it likes and the others
  // take code 0, so without a bound a short row with many declared
  // parents would cost far more memory than its text.
  static constexpr std::size_t kMaxParentValues = std::size_t{1} << 22;

  BayesNetModel* model_;  // not owned: see the class comment
  std::size_t parentValuesRead_ = 0;  // by the tables of the current document
};

#endif  // BAYESNET_BAYESNETTRANSLATOR_H_
