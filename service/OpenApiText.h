#ifndef BNSCORE_SERVICE_OPENAPITEXT_H_
#define BNSCORE_SERVICE_OPENAPITEXT_H_

#include <string_view>

namespace bnscore::service {

// The OpenAPI 3.0 description of the service's endpoints, as served by
// GET /openapi.json.
std::string_view OpenApiText();

}  // namespace bnscore::service

#endif  // BNSCORE_SERVICE_OPENAPITEXT_H_
