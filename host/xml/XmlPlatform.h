#ifndef MODELCORE_XMLPLATFORM_H_
#define MODELCORE_XMLPLATFORM_H_

#include "host/interfaces/ModelCoreExport.h"

// Keeps the Xerces-C platform initialised while at least one XmlPlatform
// lives. Create one before parsing and keep it until every document is
// released. Not thread-safe: create and destroy them on one thread.
class MODELCORE_API XmlPlatform {
 public:
  XmlPlatform();
  ~XmlPlatform();
  XmlPlatform(const XmlPlatform&) = delete;
  XmlPlatform& operator=(const XmlPlatform&) = delete;
};

#endif  // MODELCORE_XMLPLATFORM_H_
