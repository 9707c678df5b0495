#include "engine/LoadedModel.h"

#include "engine/CliError.h"

std::unique_ptr<LoadedModel> LoadedModel::Load(const std::string& pluginPath,
                                               const std::string& modelPath) {
  return Read(pluginPath, [&] { return PmmlParser::ParseFile(modelPath); }, modelPath);
}

std::unique_ptr<LoadedModel> LoadedModel::LoadText(const std::string& pluginPath,
                                                   const std::string& text,
                                                   const std::string& sourceName) {
  return Read(pluginPath, [&] { return PmmlParser::ParseText(text, sourceName); }, sourceName);
}

std::unique_ptr<LoadedModel> LoadedModel::Read(const std::string& pluginPath,
                                               const std::function<DocumentPtr()>& parse,
                                               const std::string& sourceName) {
  std::unique_ptr<LoadedModel> loaded(new LoadedModel);
  loaded->library_ = PluginLibrary::Open(pluginPath);
  loaded->translator_ = loaded->library_->GiveTranslator();
  // The model keeps no pointer into the document, which goes on return.
  DocumentPtr document = parse();
  loaded->model_.reset(loaded->translator_->ParseFromTree(document.get(), "UTF-8"));
  if (!loaded->model_) {
    throw CliError("plug-in " + pluginPath + " read no model from " + sourceName);
  }
  return loaded;
}

LoadedModel::~LoadedModel() = default;
