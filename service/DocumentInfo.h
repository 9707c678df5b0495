#ifndef BNSCORE_SERVICE_DOCUMENTINFO_H_
#define BNSCORE_SERVICE_DOCUMENTINFO_H_

#include <string>
#include <string_view>

namespace bnscore::service {

// What the service tells of a deployed PMML document besides its schema.
struct DocumentInfo {
  // The document's own version: the `modelVersion` of its `Header`, else
  // the `version` of its first `Application`; "" when it has neither.
  std::string version;
  std::string sha256;      // of the document's bytes, 64 lowercase hex digits
  std::string deployedAt;  // UTC, "2026-01-02T03:04:05Z"
};

// Describes `pmml` as deployed now. The version is read from the text of
// the document's first `Header` and `Application` start tags, without
// parsing it (the engine has already read it as XML by then).
DocumentInfo DescribeDocument(std::string_view pmml);

// The SHA-256 of `bytes` as 64 lowercase hex digits.
std::string Sha256Hex(std::string_view bytes);

}  // namespace bnscore::service

#endif  // BNSCORE_SERVICE_DOCUMENTINFO_H_
