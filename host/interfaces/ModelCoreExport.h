#ifndef MODELCORE_MODELCOREEXPORT_H_
#define MODELCORE_MODELCOREEXPORT_H_

// Marks a class or function of the host interface as visible outside the
// shared library that compiles it. The host classes carry it on every
// declaration so that a plug-in built with hidden visibility still exports
// (and shares with the host) the type information and virtual tables of the
// interfaces it derives from.
#define MODELCORE_API __attribute__((visibility("default")))

#endif  // MODELCORE_MODELCOREEXPORT_H_
