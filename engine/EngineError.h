#ifndef BNSCORE_ENGINE_ENGINEERROR_H_
#define BNSCORE_ENGINE_ENGINEERROR_H_

#include "bnscore/errors.h"

namespace bnscore::internal {

// The engine throws the public exceptions (bnscore/errors.h) itself, so
// that front ends catch public types only. EngineError is a usage,
// plug-in or other fault without a subclass of its own; bnscore prints it
// after "bnscore: " and exits with status 1.
using EngineError = bnscore::Error;
using bnscore::FileError;
using bnscore::OutputClosed;

}  // namespace bnscore::internal

#endif  // BNSCORE_ENGINE_ENGINEERROR_H_
