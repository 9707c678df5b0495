#include "engine/LoadedModel.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstring>

#include "engine/EngineError.h"
#include "engine/ModelSource.h"
#include "host/interfaces/VkException.h"

namespace bnscore::internal {

namespace {

// The whole file; EngineError naming it when it cannot be opened or read (a
// file fault, not a rejected model).
std::string ReadModelFile(const std::string& path, std::size_t limit) {
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) throw FileError("cannot open " + path + ": " + std::strerror(errno));
  // A file known to be too large is refused unread (the parser refuses
  // the text of one whose size was not known, such as a pipe).
  struct stat status {};
  if (::fstat(fd, &status) == 0 && S_ISREG(status.st_mode) &&
      static_cast<std::uint64_t>(status.st_size) > limit) {
    ::close(fd);
    const std::string size = limit % (1 << 20) == 0 ? std::to_string(limit >> 20) + " MiB"
                                                    : std::to_string(limit) + " bytes";
    throw VkException(VkException::MalformedXml, path + ": the document is larger than " + size +
                                                     ": larger documents are not read");
  }
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
      throw FileError("cannot read " + path + ": " + std::strerror(error));
    }
  }
  ::close(fd);
  return text;
}

}  // namespace

std::unique_ptr<LoadedModel> LoadedModel::Load(const std::string& pluginPath,
                                               const std::string& modelPath,
                                               const std::string& target,
                                               const DocumentLimits& limits) {
  return Read(pluginPath, ReadModelFile(modelPath, limits.maxDocumentBytes), modelPath, target,
              limits);
}

std::unique_ptr<LoadedModel> LoadedModel::LoadText(const std::string& pluginPath,
                                                   const std::string& text,
                                                   const std::string& sourceName,
                                                   const std::string& target,
                                                   const DocumentLimits& limits) {
  return Read(pluginPath, text, sourceName, target, limits);
}

std::unique_ptr<LoadedModel> LoadedModel::Read(const std::string& pluginPath, std::string text,
                                               const std::string& sourceName,
                                               const std::string& target,
                                               const DocumentLimits& limits) {
  std::unique_ptr<LoadedModel> loaded(new LoadedModel);
  loaded->library_ = PluginLibrary::Open(pluginPath);
  loaded->translator_ = loaded->library_->GiveTranslator();
  // The model keeps no pointer into the document, which goes on return.
  DocumentPtr document = ParseModelDocument(text, sourceName, target, limits);
  loaded->model_.reset(loaded->translator_->ParseFromTree(document.get(), "UTF-8"));
  if (!loaded->model_) {
    throw EngineError("plug-in " + pluginPath + " read no model from " + sourceName);
  }
  return loaded;
}

LoadedModel::~LoadedModel() = default;

}  // namespace bnscore::internal
