#ifndef MODELCORE_DEFTTRANSCODER_H_
#define MODELCORE_DEFTTRANSCODER_H_

#include <memory>
#include <string>

#include <xercesc/util/XercesDefs.hpp>

#include "host/interfaces/ModelCoreExport.h"
#include "host/xml/XmlPlatform.h"

// Turns DOM text (UTF-16) into narrow strings in one character encoding,
// UTF-8 unless another is named. Keeps the Xerces platform initialised for
// as long as it lives.
class MODELCORE_API DeftTranscoder {
 public:
  // An empty name means UTF-8. An encoding that Xerces does not know raises
  // VkException code 9.
  explicit DeftTranscoder(const std::string& encoding);
  ~DeftTranscoder();
  DeftTranscoder(const DeftTranscoder&) = delete;
  DeftTranscoder& operator=(const DeftTranscoder&) = delete;

  // The text in the transcoder's encoding; null gives "". Characters that
  // the encoding cannot represent raise VkException code 9.
  std::string transcodeTo(const XMLCh* text) const;
  // The same into `out` (replacing what it held, reusing its capacity).
  void transcodeTo(const XMLCh* text, std::string& out) const;

  const std::string& GetEncoding() const { return encoding_; }

 private:
  XmlPlatform platform_;  // keeps Xerces initialised while this lives
  std::string encoding_;
  bool utf8_;  // the encoding is UTF-8: ASCII texts need no transcoder
};

#endif  // MODELCORE_DEFTTRANSCODER_H_
