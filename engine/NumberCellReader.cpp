#include "bnscore/NumberCellReader.h"

#include "engine/RecordFiller.h"

namespace bnscore {

using namespace bnscore::internal;

struct NumberCellReader::Impl {
  NumberCellRules rules;
};

NumberCellReader::NumberCellReader(const std::vector<std::string>& missingValues)
    : impl_(std::make_unique<Impl>(Impl{NumberCellRules(missingValues, false)})) {}

NumberCellReader::~NumberCellReader() = default;

// The rules do not allow non-finite numbers, so such a cell is reported as
// kNotFinite and the caller decides, as bnscore score's --allow-nonfinite does.
NumberCellKind NumberCellReader::Read(std::string_view cell, double& value) const {
  return ReadNumberCell(cell, impl_->rules, value);
}

}  // namespace bnscore
