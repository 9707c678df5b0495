#include "host/xml/XmlPlatform.h"

#include <string>

#include <xercesc/util/PlatformUtils.hpp>
#include <xercesc/util/XMLException.hpp>

#include "host/interfaces/VkException.h"

namespace {
int gUsers = 0;  // live XmlPlatform objects
}  // namespace

XmlPlatform::XmlPlatform() {
  if (gUsers == 0) {
    try {
      xercesc::XMLPlatformUtils::Initialize();
    } catch (const xercesc::XMLException&) {
      throw VkException(VkException::MalformedXml, "cannot initialise the XML parser");
    }
  }
  ++gUsers;
}

XmlPlatform::~XmlPlatform() {
  if (--gUsers == 0) xercesc::XMLPlatformUtils::Terminate();
}
