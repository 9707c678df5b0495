#ifndef BNSCORE_ENGINE_PLUGINLIBRARY_H_
#define BNSCORE_ENGINE_PLUGINLIBRARY_H_

#include <memory>
#include <string>

#include "host/interfaces/ScoreTranslator.h"

namespace bnscore::internal {

// A model plug-in loaded with dlopen. Owns the library handle and closes it
// on destruction. The code of every object the plug-in makes (translators,
// models, results) lives in the library, so all of them must be deleted
// before the PluginLibrary.
class PluginLibrary {
 public:
  // Loads the library at `path` and finds its GiveMyTranslator. Throws
  // EngineError when either fails.
  static std::unique_ptr<PluginLibrary> Open(const std::string& path);

  // The plug-in to load when none is named: $BNSCORE_PLUGIN when set, else
  // libbayesnet.so beside the running executable, else in ../lib from it.
  // Throws EngineError when none of these exists.
  static std::string FindDefault();

  ~PluginLibrary();
  PluginLibrary(const PluginLibrary&) = delete;
  PluginLibrary& operator=(const PluginLibrary&) = delete;

  // A new translator from the plug-in's GiveMyTranslator; the caller owns it
  // (and must delete it before this library).
  std::unique_ptr<ScoreTranslator> GiveTranslator() const;

  const std::string& GetPath() const { return path_; }

 private:
  using Factory = ScoreTranslator* (*)();

  PluginLibrary(void* handle, Factory factory, std::string path);

  void* handle_;
  Factory factory_;
  std::string path_;
};

}  // namespace bnscore::internal

#endif  // BNSCORE_ENGINE_PLUGINLIBRARY_H_
