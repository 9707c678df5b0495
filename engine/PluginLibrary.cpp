#include "engine/PluginLibrary.h"

#include <dlfcn.h>
#include <unistd.h>

#include <cstdlib>
#include <utility>

#include "engine/EngineError.h"

namespace bnscore::internal {

namespace {

const char kPluginFile[] = "libbayesnet.so";
const char kFactorySymbol[] = "GiveMyTranslator";

// The directory of the running executable, or "" when it is not known.
std::string ExecutableDirectory() {
  char path[4096];
  ssize_t n = ::readlink("/proc/self/exe", path, sizeof path - 1);
  if (n <= 0) return "";
  std::string exe(path, static_cast<std::size_t>(n));
  std::size_t slash = exe.rfind('/');
  return slash == std::string::npos ? "" : exe.substr(0, slash);
}

}  // namespace

PluginLibrary::PluginLibrary(void* handle, Factory factory, std::string path)
    : handle_(handle), factory_(factory), path_(std::move(path)) {}

PluginLibrary::~PluginLibrary() { ::dlclose(handle_); }

std::unique_ptr<PluginLibrary> PluginLibrary::Open(const std::string& path) {
  // dlopen searches the library path for a bare name; a name with a slash
  // is taken as a file, which is what a user who names a file expects.
  std::string file = path.find('/') == std::string::npos ? "./" + path : path;
  void* handle = ::dlopen(file.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (handle == nullptr) throw EngineError(std::string("cannot load plug-in: ") + ::dlerror());
  void* symbol = ::dlsym(handle, kFactorySymbol);
  if (symbol == nullptr) {
    ::dlclose(handle);
    throw EngineError("plug-in " + path + " has no " + kFactorySymbol);
  }
  return std::unique_ptr<PluginLibrary>(
      new PluginLibrary(handle, reinterpret_cast<Factory>(symbol), path));
}

std::string PluginLibrary::FindDefault() {
  const char* fromEnvironment = std::getenv("BNSCORE_PLUGIN");
  if (fromEnvironment != nullptr && *fromEnvironment != '\0') return fromEnvironment;
  std::string dir = ExecutableDirectory();
  std::string beside = dir + "/" + kPluginFile;
  std::string installed = dir + "/../lib/" + kPluginFile;
  if (::access(beside.c_str(), F_OK) == 0) return beside;
  if (::access(installed.c_str(), F_OK) == 0) return installed;
  throw EngineError(std::string("cannot find the plug-in ") + kPluginFile + " (looked in " + dir +
                    " and " + dir + "/../lib); name it with --plugin or BNSCORE_PLUGIN");
}

std::unique_ptr<ScoreTranslator> PluginLibrary::GiveTranslator() const {
  std::unique_ptr<ScoreTranslator> translator(factory_());
  if (!translator) throw EngineError("plug-in " + path_ + " gave no translator");
  return translator;
}

}  // namespace bnscore::internal
