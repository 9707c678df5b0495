#include "engine/DefaultPlugin.h"

#include <dlfcn.h>
#include <unistd.h>

#include <cstdlib>

#include "engine/PluginLibrary.h"

namespace bnscore::internal {

namespace {

// The directory of the file that holds this code, or "" when unknown.
std::string EngineDirectory() {
  Dl_info info;
  if (::dladdr(reinterpret_cast<void*>(&DefaultPluginPath), &info) == 0 ||
      info.dli_fname == nullptr) {
    return "";
  }
  std::string file = info.dli_fname;
  std::size_t slash = file.rfind('/');
  return slash == std::string::npos ? "" : file.substr(0, slash);
}

}  // namespace

std::string DefaultPluginPath() {
  const char* fromEnvironment = std::getenv("BNSCORE_PLUGIN");
  if (fromEnvironment != nullptr && *fromEnvironment != '\0') return fromEnvironment;
  const std::string dir = EngineDirectory();
  if (!dir.empty()) {
    const std::string beside = dir + "/libbayesnet.so";
    if (::access(beside.c_str(), F_OK) == 0) return beside;
  }
  return PluginLibrary::FindDefault();
}

}  // namespace bnscore::internal
