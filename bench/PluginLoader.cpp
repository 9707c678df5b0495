#include "bench/PluginLoader.h"

#include <dlfcn.h>
#include <unistd.h>

#include <climits>
#include <cstdlib>
#include <stdexcept>

#include "host/xml/PmmlParser.h"

namespace {

using TranslatorFactory = ScoreTranslator* (*)();

std::string ProgramDirectory() {
  char buffer[PATH_MAX];
  const ssize_t length = readlink("/proc/self/exe", buffer, sizeof buffer - 1);
  if (length <= 0) return ".";
  std::string path(buffer, static_cast<std::size_t>(length));
  const std::size_t slash = path.rfind('/');
  return slash == std::string::npos ? "." : path.substr(0, slash);
}

}  // namespace

PluginLoader::PluginLoader(const std::string& path) {
  handle_ = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (handle_ == nullptr) {
    const char* error = dlerror();
    throw std::runtime_error("cannot load plug-in " + path + ": " + (error ? error : "?"));
  }
  auto factory = reinterpret_cast<TranslatorFactory>(dlsym(handle_, "GiveMyTranslator"));
  if (factory == nullptr) {
    dlclose(handle_);
    throw std::runtime_error(path + " has no GiveMyTranslator");
  }
  translator_ = factory();
  if (translator_ == nullptr) {
    dlclose(handle_);
    throw std::runtime_error(path + ": GiveMyTranslator returned no translator");
  }
}

PluginLoader::~PluginLoader() {
  delete translator_;
  dlclose(handle_);
}

std::unique_ptr<ScoreModel> PluginLoader::ReadModelFile(const std::string& path) {
  DocumentPtr document = PmmlParser::ParseFile(path);
  return std::unique_ptr<ScoreModel>(translator_->ParseFromTree(document.get(), "UTF-8"));
}

std::unique_ptr<ScoreModel> PluginLoader::ReadModelText(const std::string& text,
                                                        const std::string& sourceName) {
  DocumentPtr document = PmmlParser::ParseText(text, sourceName);
  return std::unique_ptr<ScoreModel>(translator_->ParseFromTree(document.get(), "UTF-8"));
}

std::string PluginLoader::DefaultPath() {
  if (const char* fromEnvironment = std::getenv("BNSCORE_PLUGIN")) {
    if (*fromEnvironment != '\0') return fromEnvironment;
  }
  const std::string directory = ProgramDirectory();
  const std::string beside = directory + "/libbayesnet.so";
  if (access(beside.c_str(), R_OK) == 0) return beside;
  return directory + "/../lib/libbayesnet.so";
}
