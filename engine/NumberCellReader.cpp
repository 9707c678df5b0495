#include "bnscore/NumberCellReader.h"

#include "engine/RecordFiller.h"

namespace bnscore {

struct NumberCellReader::Impl {
  NumberCellRules rules;
};

NumberCellReader::NumberCellReader(const CsvOptions& options)
    : impl_(std::make_unique<Impl>(Impl{NumberCellRules(options.missingValues,
                                                        options.allowNonfinite)})) {}

NumberCellReader::~NumberCellReader() = default;

NumberCellReader::Kind NumberCellReader::Read(std::string_view text, double& value) const {
  switch (ReadNumberCell(text, impl_->rules, value)) {
    case NumberCellKind::kMissing:
      return Kind::kMissing;
    case NumberCellKind::kNumber:
      return Kind::kNumber;
    case NumberCellKind::kNonfinite:
      break;
  }
  return Kind::kNonfinite;
}

}  // namespace bnscore
