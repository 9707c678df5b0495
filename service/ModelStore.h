#ifndef BNSCORE_SERVICE_MODELSTORE_H_
#define BNSCORE_SERVICE_MODELSTORE_H_

#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace bnscore::internal {

// The directory of --model-dir: one document ID.pmml per model, so that
// models deployed over HTTP survive a restart. A document is written to a
// temporary file in the directory, flushed to disk and renamed over
// ID.pmml, so that the directory never holds a half-written document.
// Calls may come from several threads at once (one file per id).
class ModelStore {
 public:
  // Throws std::runtime_error when `directory` is not a directory.
  explicit ModelStore(std::string directory);

  // The documents of the directory as (id, path), in id order: every
  // ID.pmml whose ID is a valid model id.
  std::vector<std::pair<std::string, std::string>> List() const;

  // Writes `pmml` as the document of `id`. Throws std::runtime_error
  // naming the file when it cannot.
  void Keep(const std::string& id, std::string_view pmml) const;
  // Removes the document of `id`, if there is one.
  void Forget(const std::string& id) const;

 private:
  std::string PathOf(const std::string& id) const;
  std::string directory_;
};

}  // namespace bnscore::internal

#endif  // BNSCORE_SERVICE_MODELSTORE_H_
