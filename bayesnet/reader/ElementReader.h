#ifndef BAYESNET_ELEMENTREADER_H_
#define BAYESNET_ELEMENTREADER_H_

#include <string>

#include <xercesc/util/XercesDefs.hpp>

#include "host/xml/BaseTranslator.h"
#include "host/xml/DeftTranscoder.h"

// The base of the element readers: the transcoder of the document being
// read, and the translator base's static DOM helpers as Dom::.
// REQUIRES: the transcoder outlives the reader.
class ElementReader {
 protected:
  using Dom = BaseTranslator;

  explicit ElementReader(const DeftTranscoder& transcoder) : transcoder_(transcoder) {}

  // DOM text in the document's encoding; null gives "".
  std::string Transcode(const XMLCh* text) const { return transcoder_.transcodeTo(text); }

 private:
  const DeftTranscoder& transcoder_;
};

#endif  // BAYESNET_ELEMENTREADER_H_
