#include "learn/DataSource.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <memory>

#include "bnscore/bnscore.h"
#include "engine/CsvReader.h"

namespace bnscore::learn {

using internal::CsvReader;
using internal::EngineError;

namespace {

class TextSource : public ByteSource {
 public:
  explicit TextSource(std::string_view text) : text_(text) {}
  std::size_t Read(char* buffer, std::size_t size) override {
    const std::size_t n = std::min(size, text_.size());
    std::memcpy(buffer, text_.data(), n);
    text_.remove_prefix(n);
    return n;
  }

 private:
  std::string_view text_;
};

// Closes the descriptor it holds.
struct FileCloser {
  int fd;
  ~FileCloser() {
    if (fd >= 0) ::close(fd);
  }
};

void ReadAll(CsvReader& reader, std::vector<std::string>& header,
             const DataSource::RowFunction& row) {
  if (!reader.ReadRow()) throw Error(reader.GetSourceName() + ": no header row");
  header.assign(reader.GetFields().begin(), reader.GetFields().end());
  while (reader.ReadRow()) {
    if (reader.GetNumFields() != header.size()) {
      throw Error(reader.GetSourceName() + ":" + std::to_string(reader.GetLine()) + ": " +
                  std::to_string(reader.GetNumFields()) + " cells, the header has " +
                  std::to_string(header.size()));
    }
    row(reader.GetFields(), reader.GetLine());
  }
}

}  // namespace

DataSource DataSource::File(std::string path) {
  std::string name = path;
  return DataSource(std::move(path), {}, std::move(name), true);
}

DataSource DataSource::Text(std::string_view text, std::string name) {
  return DataSource({}, text, std::move(name), false);
}

void DataSource::Read(char delimiter, std::vector<std::string>& header,
                      const RowFunction& row) const {
  try {
    if (file_) {
      FileCloser file{::open(path_.c_str(), O_RDONLY | O_CLOEXEC)};
      if (file.fd < 0) throw Error("cannot open " + path_ + ": " + std::strerror(errno));
      CsvReader reader(file.fd, name_);
      reader.SetDelimiter(delimiter);
      ReadAll(reader, header, row);
    } else {
      TextSource source(text_);
      CsvReader reader(source, name_);
      reader.SetDelimiter(delimiter);
      ReadAll(reader, header, row);
    }
  } catch (const EngineError& e) {
    throw Error(e.what());
  }
}

}  // namespace bnscore::learn
