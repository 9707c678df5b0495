#ifndef BNSCORE_SERVICE_MODELSTORE_H_
#define BNSCORE_SERVICE_MODELSTORE_H_

#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace bnscore::service {

// The directory of --model-dir: one document ID.pmml per model, so that
// models deployed over HTTP survive a restart. A document is written to a
// temporary file in the directory, flushed to disk and renamed over
// ID.pmml, so that the directory never holds a half-written document.
// Calls may come from several threads at once (one file per id).
//
// A network of another format deployed with a target keeps its target in
// ID.target ("SHA256 TARGET": the digest of the document it belongs to),
// written before the document. A target is read only with the document of
// its digest, so a crash between the two writes loses the target (the
// document is then refused at start, loudly) but never pairs a document
// with another document's target.
class ModelStore {
 public:
  // Throws std::runtime_error when `directory` is not a directory.
  explicit ModelStore(std::string directory);

  struct Document {
    std::string id, path;
    std::string target;  // "" when the document was deployed without one
  };
  // The documents of the directory in id order: every ID.pmml whose ID is
  // a valid model id, with the target kept for it.
  std::vector<Document> List() const;

  // Writes `pmml` as the document of `id`, and `target` with it ("" for
  // none). Throws std::runtime_error naming the file when it cannot.
  void Keep(const std::string& id, std::string_view pmml, const std::string& target = {}) const;
  // Removes the document of `id` and its target, if there are.
  void Forget(const std::string& id) const;

 private:
  std::string PathOf(const std::string& id) const;
  std::string TargetPathOf(const std::string& id) const;
  // The target kept for the document at `path` ("" when none, or when it
  // was kept for another document).
  std::string TargetOf(const std::string& id, const std::string& path) const;
  void WriteFile(const std::string& id, const std::string& path, std::string_view text) const;
  std::string directory_;
};

}  // namespace bnscore::service

#endif  // BNSCORE_SERVICE_MODELSTORE_H_
