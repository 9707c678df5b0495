#ifndef BENCH_PLUGINLOADER_H_
#define BENCH_PLUGINLOADER_H_

#include <memory>
#include <string>

#include "host/interfaces/ScoreModel.h"
#include "host/interfaces/ScoreTranslator.h"
#include "host/xml/XmlPlatform.h"

// Loads the Bayesian-network plug-in with dlopen and reads models through
// the translator its GiveMyTranslator hands out, as any host does: the
// document is parsed with the host's safe parser and passed to
// ParseFromTree(document, "UTF-8").
//
// Owns the Xerces platform, the library handle and the translator (deleted
// through its virtual destructor before the library is unloaded). The
// models it returns, and every result they produced, run code of the
// plug-in: delete them before the loader.
class PluginLoader {
 public:
  // Throws std::runtime_error when the library or its factory is missing.
  explicit PluginLoader(const std::string& path);
  ~PluginLoader();

  PluginLoader(const PluginLoader&) = delete;
  PluginLoader& operator=(const PluginLoader&) = delete;

  // Read a model; a rejected document throws the VkException it raised.
  std::unique_ptr<ScoreModel> ReadModelFile(const std::string& path);
  std::unique_ptr<ScoreModel> ReadModelText(const std::string& text,
                                            const std::string& sourceName);

  // $BNSCORE_PLUGIN when set, else libbayesnet.so beside the running
  // program, else in ../lib from it (the build tree's layout).
  static std::string DefaultPath();

 private:
  XmlPlatform platform_;
  void* handle_ = nullptr;
  ScoreTranslator* translator_ = nullptr;  // from GiveMyTranslator; ours to delete
};

#endif  // BENCH_PLUGINLOADER_H_
