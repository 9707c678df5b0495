#ifndef BNSCORE_ENGINE_DEFAULTPLUGIN_H_
#define BNSCORE_ENGINE_DEFAULTPLUGIN_H_

#include <string>

namespace bnscore::internal {

// The plug-in the engine loads when none is named: $BNSCORE_PLUGIN when
// set, else libbayesnet.so beside the shared library (or executable) that
// holds the engine's code, else where PluginLibrary::FindDefault looks
// (beside the running executable, then in its ../lib). Throws EngineError when
// none of these exists.
std::string DefaultPluginPath();

}  // namespace bnscore::internal

#endif  // BNSCORE_ENGINE_DEFAULTPLUGIN_H_
