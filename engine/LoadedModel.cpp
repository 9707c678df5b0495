#include "engine/LoadedModel.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "engine/EngineError.h"

namespace {

// The whole file; EngineError naming it when it cannot be opened or read (a
// file fault, not a rejected model).
std::string ReadModelFile(const std::string& path) {
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) throw EngineError("cannot open " + path + ": " + std::strerror(errno));
  std::string text;
  char chunk[1 << 16];
  for (;;) {
    const ssize_t n = ::read(fd, chunk, sizeof chunk);
    if (n > 0) {
      text.append(chunk, static_cast<std::size_t>(n));
    } else if (n == 0) {
      break;
    } else if (errno != EINTR) {
      const int error = errno;
      ::close(fd);
      throw EngineError("cannot read " + path + ": " + std::strerror(error));
    }
  }
  ::close(fd);
  return text;
}

}  // namespace

std::unique_ptr<LoadedModel> LoadedModel::Load(const std::string& pluginPath,
                                               const std::string& modelPath) {
  return Read(
      pluginPath, [&] { return PmmlParser::ParseText(ReadModelFile(modelPath), modelPath); },
      modelPath);
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
    throw EngineError("plug-in " + pluginPath + " read no model from " + sourceName);
  }
  return loaded;
}

LoadedModel::~LoadedModel() = default;
