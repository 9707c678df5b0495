#ifndef MODELCORE_STATUSCODES_H_
#define MODELCORE_STATUSCODES_H_

// The status codes of a scoring call (MCStatus::GetCode), defined here
// once: a model plug-in raises them, the engine reads them through the
// host's interfaces, and the public API (include/bnscore/bnscore.h)
// re-exports them as bnscore::kScored and so on. Fixed by the host
// interface; do not change.
//
// Depends on nothing, not even the standard library: the public header
// includes it, and it is installed beside that header.
namespace MCScore {

inline constexpr int kScored = 0;
inline constexpr int kMissingPredictor = 90029;  // a predictor has no usable value
inline constexpr int kNoPositiveScore = 90021;   // no category got a positive score

}  // namespace MCScore

#endif  // MODELCORE_STATUSCODES_H_
