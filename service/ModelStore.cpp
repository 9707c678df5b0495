#include "service/ModelStore.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstring>
#include <fstream>
#include <sstream>
#include <stdexcept>

#include "service/DocumentInfo.h"
#include "service/ServiceRouter.h"

namespace bnscore::service {

namespace {

constexpr std::string_view kSuffix = ".pmml";
constexpr std::string_view kTargetSuffix = ".target";

std::runtime_error SystemError(const std::string& what) {
  return std::runtime_error(what + ": " + std::strerror(errno));
}

std::atomic<unsigned> gTemporaryCount{0};

}  // namespace

ModelStore::ModelStore(std::string directory) : directory_(std::move(directory)) {
  struct stat info {};
  if (::stat(directory_.c_str(), &info) != 0) throw SystemError("--model-dir " + directory_);
  if (!S_ISDIR(info.st_mode))
    throw std::runtime_error("--model-dir " + directory_ + ": not a directory");
}

std::string ModelStore::PathOf(const std::string& id) const {
  return directory_ + "/" + id + std::string(kSuffix);
}

std::string ModelStore::TargetPathOf(const std::string& id) const {
  return directory_ + "/" + id + std::string(kTargetSuffix);
}

std::string ModelStore::TargetOf(const std::string& id, const std::string& path) const {
  std::ifstream kept(TargetPathOf(id), std::ios::binary);
  std::string digest, target;
  if (!kept || !(kept >> digest) || kept.get() != ' ' || !std::getline(kept, target)) return {};
  std::ifstream document(path, std::ios::binary);
  std::ostringstream text;
  if (!document || !(text << document.rdbuf())) return {};
  return DescribeDocument(text.str()).sha256 == digest ? target : std::string();
}

std::vector<ModelStore::Document> ModelStore::List() const {
  std::vector<Document> documents;
  DIR* dir = ::opendir(directory_.c_str());
  if (dir == nullptr) throw SystemError("cannot read --model-dir " + directory_);
  while (const dirent* entry = ::readdir(dir)) {
    const std::string_view name(entry->d_name);
    if (name.size() <= kSuffix.size() || name.substr(name.size() - kSuffix.size()) != kSuffix) {
      continue;
    }
    const std::string id(name.substr(0, name.size() - kSuffix.size()));
    if (ServiceRouter::IsValidId(id)) documents.push_back({id, PathOf(id), {}});
  }
  ::closedir(dir);
  std::sort(documents.begin(), documents.end(),
            [](const Document& a, const Document& b) { return a.id < b.id; });
  for (Document& document : documents) document.target = TargetOf(document.id, document.path);
  return documents;
}

void ModelStore::Keep(const std::string& id, std::string_view pmml,
                      const std::string& target) const {
  if (!target.empty()) {
    WriteFile(id, TargetPathOf(id), DescribeDocument(pmml).sha256 + " " + target + "\n");
  }
  WriteFile(id, PathOf(id), pmml);
  if (target.empty()) ::unlink(TargetPathOf(id).c_str());
}

void ModelStore::WriteFile(const std::string& id, const std::string& path,
                           std::string_view pmml) const {
  // A name that List skips (it does not end in .pmml).
  const std::string temporary = directory_ + "/." + id + ".tmp" + std::to_string(::getpid()) + "-" +
                                std::to_string(gTemporaryCount.fetch_add(1));
  const int fd = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
  if (fd < 0) throw SystemError("cannot write " + temporary);
  std::string_view rest = pmml;
  bool ok = true;
  while (ok && !rest.empty()) {
    const ssize_t put = ::write(fd, rest.data(), rest.size());
    if (put < 0 && errno == EINTR) continue;
    ok = put > 0;
    if (ok) rest.remove_prefix(static_cast<std::size_t>(put));
  }
  ok = ok && ::fsync(fd) == 0;
  if (!ok) {
    const std::runtime_error error = SystemError("cannot write " + path);
    ::close(fd);
    ::unlink(temporary.c_str());
    throw error;
  }
  ::close(fd);
  if (::rename(temporary.c_str(), path.c_str()) != 0) {
    const std::runtime_error error = SystemError("cannot write " + path);
    ::unlink(temporary.c_str());
    throw error;
  }
  // The rename itself is made durable with the directory.
  const int dir = ::open(directory_.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (dir >= 0) {
    ::fsync(dir);
    ::close(dir);
  }
}

void ModelStore::Forget(const std::string& id) const {
  ::unlink(PathOf(id).c_str());
  ::unlink(TargetPathOf(id).c_str());
}

}  // namespace bnscore::service
