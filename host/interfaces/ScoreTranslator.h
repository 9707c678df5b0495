#ifndef MODELCORE_SCORETRANSLATOR_H_
#define MODELCORE_SCORETRANSLATOR_H_

#include <istream>
#include <string>

#include <xercesc/dom/DOMDocument.hpp>

#include "host/interfaces/ModelCoreExport.h"
#include "host/interfaces/ScoreModel.h"

// Turns a model document into a model. Every overload returns a new model
// that the caller owns, or throws VkException. `encoding` names the
// character encoding of the narrow strings the model will hold.
class MODELCORE_API ScoreTranslator {
 public:
  virtual ~ScoreTranslator();

  // Reads the document in the file `fileName`.
  virtual ScoreModel* ParseFromTree(const std::string& fileName, const std::string& encoding) = 0;
  virtual ScoreModel* ParseFromTree(std::istream& in, const std::string& encoding) = 0;
  // Reads an already parsed document; the caller keeps the document.
  virtual ScoreModel* ParseFromTree(xercesc::DOMDocument* document,
                                    const std::string& encoding) = 0;
  // As the stream overload; `sourceName` names the stream in messages.
  virtual ScoreModel* ParseFromTree(std::istream& in, const std::string& encoding,
                                    const std::string& sourceName) = 0;

 protected:
  ScoreTranslator() = default;
  ScoreTranslator(const ScoreTranslator&) = delete;
  ScoreTranslator& operator=(const ScoreTranslator&) = delete;
};

#endif  // MODELCORE_SCORETRANSLATOR_H_
