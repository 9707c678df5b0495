#ifndef MODELCORE_VKEXCEPTION_H_
#define MODELCORE_VKEXCEPTION_H_

#include <exception>
#include <string>

#include "host/interfaces/ModelCoreExport.h"

// A fault in a model document: a numeric code and an English message.
// Thrown by value. Codes 2, 3, 4, 7 and 9 are raised by the host itself;
// the others belong to the model readers of plug-ins.
class MODELCORE_API VkException : public std::exception {
 public:
  // Fixed by the host interface; do not change.
  enum ExceptionCode {
    StructureError = 1,       // plug-in: an element is missing or misplaced
    MissingChildElement = 2,  // host: a required child element is missing
    MissingAttribute = 3,     // host: a required attribute is missing
    MalformedNumber = 4,      // host: a number is malformed
    InvalidContent = 5,       // plug-in: content or a name is invalid
    UnexpectedElement = 6,    // plug-in: an element of the wrong kind
    MalformedDictionary = 7,  // host: the data dictionary is malformed
    NameNotFound = 8,         // plug-in: a name or value is not found
    MalformedXml = 9,         // host: the XML is not well-formed or refused
    InvalidStructure = 12     // plug-in: the structure is invalid
  };

  VkException(int code, std::string message);
  ~VkException() override;

  VkException(const VkException&) = default;
  VkException& operator=(const VkException&) = default;

  int GetCode() const { return code_; }
  const std::string& GetMessage() const { return message_; }
  const char* what() const noexcept override { return message_.c_str(); }

 private:
  int code_;
  std::string message_;
};

#endif  // MODELCORE_VKEXCEPTION_H_
