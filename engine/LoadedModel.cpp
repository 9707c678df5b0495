#include "engine/LoadedModel.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "engine/EngineError.h"
#include "engine/ModelSource.h"

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
                                               const std::string& modelPath,
                                               const std::string& target) {
  return Read(pluginPath, ReadModelFile(modelPath), modelPath, target);
}

std::unique_ptr<LoadedModel> LoadedModel::LoadText(const std::string& pluginPath,
                                                   const std::string& text,
                                                   const std::string& sourceName,
                                                   const std::string& target) {
  return Read(pluginPath, text, sourceName, target);
}

std::unique_ptr<LoadedModel> LoadedModel::Read(const std::string& pluginPath, std::string text,
                                               const std::string& sourceName,
                                               const std::string& target) {
  std::unique_ptr<LoadedModel> loaded(new LoadedModel);
  loaded->library_ = PluginLibrary::Open(pluginPath);
  loaded->translator_ = loaded->library_->GiveTranslator();
  const bool converted = ConvertModelText(text, sourceName, target);
  // The model keeps no pointer into the document, which goes on return.
  DocumentPtr document = PmmlParser::ParseText(text, sourceName);
  if (converted) loaded->convertedText_ = std::move(text);
  loaded->model_.reset(loaded->translator_->ParseFromTree(document.get(), "UTF-8"));
  if (!loaded->model_) {
    throw EngineError("plug-in " + pluginPath + " read no model from " + sourceName);
  }
  return loaded;
}

LoadedModel::~LoadedModel() = default;
