#include "engine/LoadedModel.h"

#include "engine/CliError.h"
#include "host/PmmlParser.h"

std::unique_ptr<LoadedModel> LoadedModel::Load(const std::string& pluginPath,
                                               const std::string& modelPath) {
  std::unique_ptr<LoadedModel> loaded(new LoadedModel);
  loaded->library_ = PluginLibrary::Open(pluginPath);
  loaded->translator_ = loaded->library_->GiveTranslator();
  {
    // The model keeps no pointer into the document, which goes right away.
    DocumentPtr document = PmmlParser::ParseFile(modelPath);
    loaded->model_.reset(loaded->translator_->ParseFromTree(document.get(), "UTF-8"));
  }
  if (!loaded->model_) throw CliError("plug-in " + pluginPath + " read no model from " + modelPath);
  return loaded;
}

LoadedModel::~LoadedModel() = default;
