#ifndef MODELCORE_SCOREVERSIONINFO_H_
#define MODELCORE_SCOREVERSIONINFO_H_

#include <string>

#include "host/interfaces/ModelCoreExport.h"

// The version of the application that wrote a model document.
class MODELCORE_API ScoreVersionInfo {
 public:
  explicit ScoreVersionInfo(std::string version) : version_(std::move(version)) {}
  virtual ~ScoreVersionInfo();

  const std::string& GetVersion() const { return version_; }

 private:
  std::string version_;
};

#endif  // MODELCORE_SCOREVERSIONINFO_H_
