#ifndef BNSCORE_ENGINE_LOADEDMODEL_H_
#define BNSCORE_ENGINE_LOADEDMODEL_H_

#include <functional>
#include <memory>
#include <string>

#include "engine/PluginLibrary.h"
#include "host/interfaces/ScoreModel.h"
#include "host/interfaces/ScoreTranslator.h"
#include "host/xml/PmmlParser.h"

namespace bnscore::internal {

// A model read from a PMML file through a plug-in. Owns the plug-in
// library, its translator and the model, and releases them in the order
// their code requires: the model, then the translator, then the library.
// Anything else the plug-in made (a scoring result) must be deleted before
// the LoadedModel.
//
// An XmlPlatform must live while Load runs.
class LoadedModel {
 public:
  // Loads the plug-in (EngineError on failure), reads and parses the file
  // (EngineError when it cannot be opened or read) and has the plug-in read
  // the document. A rejected document propagates the VkException of the
  // host or the plug-in.
  // A network in another format (BIF, XMLBIF, DMG PMML), or a document
  // asked for another `target`, is converted first (ParseModelDocument).
  static std::unique_ptr<LoadedModel> Load(const std::string& pluginPath,
                                           const std::string& modelPath,
                                           const std::string& target = {},
                                           const DocumentLimits& limits = {});
  // The same from PMML text in memory; `sourceName` names it in messages.
  static std::unique_ptr<LoadedModel> LoadText(const std::string& pluginPath,
                                               const std::string& text,
                                               const std::string& sourceName,
                                               const std::string& target = {},
                                               const DocumentLimits& limits = {});

  ~LoadedModel();
  LoadedModel(const LoadedModel&) = delete;
  LoadedModel& operator=(const LoadedModel&) = delete;

  ScoreModel& GetModel() const { return *model_; }

 private:
  LoadedModel() = default;
  // Loads the plug-in, then has it read the document that `parse` gives.
  static std::unique_ptr<LoadedModel> Read(const std::string& pluginPath, std::string text,
                                           const std::string& sourceName, const std::string& target,
                                           const DocumentLimits& limits);

  // Declared in load order; destroyed in the reverse order.
  std::unique_ptr<PluginLibrary> library_;
  std::unique_ptr<ScoreTranslator> translator_;
  std::unique_ptr<ScoreModel> model_;
};

}  // namespace bnscore::internal

#endif  // BNSCORE_ENGINE_LOADEDMODEL_H_
