#ifndef BNSCORE_NUMBERCELLREADER_H_
#define BNSCORE_NUMBERCELLREADER_H_

#include <memory>
#include <string_view>

#include "bnscore/bnscore.h"

namespace bnscore {

// Reads a text given for a number field exactly as `bnscore score` reads a
// cell of a number column under `options` (its missingValues and
// allowNonfinite): for front ends that get numbers as texts (a JSON
// string "34") and must read them by the command line's rule. Immutable;
// Read may be called from any number of threads at once.
class BNSCORE_API NumberCellReader {
 public:
  enum class Kind {
    kMissing,    // empty, or one of the missing values
    kNumber,     // `value` holds it; text that is no number gives the
                 // value that makes the record's field unusable (as a CSV
                 // cell "abc" does)
    kNonfinite,  // "inf" and the like, refused unless allowNonfinite
  };

  explicit NumberCellReader(const CsvOptions& options = {});
  ~NumberCellReader();
  NumberCellReader(const NumberCellReader&) = delete;
  NumberCellReader& operator=(const NumberCellReader&) = delete;

  Kind Read(std::string_view text, double& value) const;

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

}  // namespace bnscore

#endif  // BNSCORE_NUMBERCELLREADER_H_
