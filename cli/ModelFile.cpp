#include "cli/ModelFile.h"

#include <fcntl.h>
#include <unistd.h>
#include <zlib.h>

#include <memory>

#include "bnscore/bnscore.h"
#include "cli/InputKind.h"

namespace bnscore::cli {

namespace {

std::string Inflate(const std::string& path) {
  std::unique_ptr<gzFile_s, decltype(&gzclose)> file(gzopen(path.c_str(), "rb"), &gzclose);
  if (!file) throw FileError("cannot open " + path);
  std::string text;
  char buffer[64 * 1024];
  while (text.size() <= kDefaultMaxDocumentBytes) {
    const int got = gzread(file.get(), buffer, sizeof buffer);
    if (got < 0) {
      int code = 0;
      const char* message = gzerror(file.get(), &code);
      throw Error(path + ": the gzip data is corrupt (" +
                  std::string(message != nullptr ? message : "read failed") + ")");
    }
    if (got == 0) {
      // gzread ends quietly at a cut-short member; gzclose_r does not.
      if (gzclose_r(file.release()) != Z_OK) {
        throw Error(path + ": the gzip data ends early (the file is cut short)");
      }
      return text;
    }
    text.append(buffer, static_cast<std::size_t>(got));
  }
  return text;
}

}  // namespace

std::optional<std::string> ReadCompressedModel(const std::string& path) {
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return std::nullopt;
  char head[512];
  const ssize_t got = ::pread(fd, head, sizeof head, 0);
  ::close(fd);
  if (got <= 0) return std::nullopt;
  const InputKind kind = ClassifyInput(std::string_view(head, static_cast<std::size_t>(got)));
  if (kind.kind == InputKind::Wide) throw Error(path + ": " + kind.description);
  if (kind.kind == InputKind::Binary) {
    throw Error(path + ": " + kind.description.substr(0, kind.description.find(';')) +
                "; a model is a PMML (XML) document");
  }
  if (kind.kind != InputKind::Gzip) return std::nullopt;
  return Inflate(path);
}

}  // namespace bnscore::cli
