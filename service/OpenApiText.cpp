#include "service/OpenApiText.h"

namespace bnscore::service {

namespace {

constexpr std::string_view kOpenApi = R"({
"openapi": "3.0.3",
"info": {"title": "bnscore serve", "version": "1",
  "description": "Scores records with Bayesian-network classifiers read from PMML documents."},
"paths": {
  "/health": {"get": {"summary": "The process is alive.",
    "responses": {"200": {"description": "{\"status\":\"ok\"}"}}}},
  "/ready": {"get": {"summary": "Every model given with --model is deployed.",
    "responses": {"200": {"description": "{\"status\":\"ready\"}"},
                  "503": {"$ref": "#/components/responses/Error"}}}},
  "/metrics": {"get": {"summary": "Prometheus text exposition.",
    "responses": {"200": {"description": "text/plain; version=0.0.4",
      "content": {"text/plain": {"schema": {"type": "string"}}}}}}},
  "/openapi.json": {"get": {"summary": "This description.",
    "responses": {"200": {"description": "OpenAPI 3.0 JSON"}}}},
  "/models": {"get": {"summary": "The deployed model ids.",
    "responses": {"200": {"description": "{\"models\":[id,...]}",
      "content": {"application/json": {"schema": {"type": "object",
        "properties": {"models": {"type": "array", "items": {"type": "string"}}}}}}}}}},
  "/models/{id}": {
    "parameters": [{"$ref": "#/components/parameters/Id"}],
    "get": {"summary": "The model's schema and document metadata (with an ETag).",
      "responses": {"200": {"description": "the model",
        "content": {"application/json": {"schema": {"$ref": "#/components/schemas/Model"}}}},
        "304": {"description": "If-None-Match named the current ETag"},
        "404": {"$ref": "#/components/responses/Error"}}},
    "put": {"summary": "Deploy or replace the model (admin).",
      "security": [{"admin": []}, {}],
      "parameters": [{"name": "target", "in": "query", "required": false,
        "schema": {"type": "string"},
        "description": "The node to predict, for a network in BIF, XMLBIF or DMG PMML (percent-decoded); needed for BIF and XMLBIF."}],
      "requestBody": {"required": true,
        "content": {"application/xml": {"schema": {"type": "string"}}}},
      "responses": {"200": {"description": "replaced"}, "201": {"description": "deployed"},
        "400": {"$ref": "#/components/responses/Error"},
        "401": {"$ref": "#/components/responses/Error"},
        "403": {"$ref": "#/components/responses/Error"},
        "422": {"$ref": "#/components/responses/Error"}}},
    "delete": {"summary": "Remove the model (admin).",
      "security": [{"admin": []}, {}],
      "responses": {"200": {"description": "{\"id\":id,\"removed\":true}"},
        "404": {"$ref": "#/components/responses/Error"}}}},
  "/models/{id}/score": {
    "parameters": [{"$ref": "#/components/parameters/Id"},
      {"name": "reason", "in": "query", "required": false, "schema": {"type": "boolean"},
       "description": "Say why a record was not scored: a reason column (CSV), a reason member (JSON)."}],
    "post": {"summary": "Score one record, a batch {\"records\":[...]}, or CSV.",
      "requestBody": {"required": true, "content": {
        "application/json": {"schema": {"oneOf": [
          {"$ref": "#/components/schemas/Record"},
          {"type": "object", "required": ["records"], "additionalProperties": false,
           "properties": {"records": {"type": "array",
             "items": {"$ref": "#/components/schemas/Record"}}}}]}},
        "text/csv": {"schema": {"type": "string"}}}},
      "responses": {"200": {"description": "a result, {\"results\":[...]}, or CSV",
        "content": {"application/json": {"schema": {"oneOf": [
          {"$ref": "#/components/schemas/Result"},
          {"type": "object", "properties": {"results": {"type": "array",
            "items": {"$ref": "#/components/schemas/Result"}}}}]}},
          "text/csv": {"schema": {"type": "string"}}}},
        "400": {"$ref": "#/components/responses/Error"},
        "404": {"$ref": "#/components/responses/Error"},
        "413": {"$ref": "#/components/responses/Error"},
        "415": {"$ref": "#/components/responses/Error"},
        "503": {"$ref": "#/components/responses/Error"}}}}
},
"components": {
  "parameters": {"Id": {"name": "id", "in": "path", "required": true,
    "schema": {"type": "string", "pattern": "^[A-Za-z0-9._-]{1,128}$"}}},
  "securitySchemes": {"admin": {"type": "http", "scheme": "bearer"}},
  "responses": {"Error": {"description": "an error",
    "content": {"application/json": {"schema": {"$ref": "#/components/schemas/Error"}}}}},
  "schemas": {
    "Record": {"type": "object", "additionalProperties": {"nullable": true,
      "oneOf": [{"type": "number"}, {"type": "string"}]}},
    "Result": {"type": "object", "properties": {
      "status": {"type": "integer"},
      "prediction": {"type": "string", "nullable": true},
      "confidence": {"type": "number", "nullable": true},
      "probabilities": {"type": "object", "nullable": true,
        "additionalProperties": {"type": "number"}}}},
    "Model": {"type": "object", "properties": {
      "id": {"type": "string"}, "target": {"type": "string"},
      "categories": {"type": "array", "items": {"type": "string"}},
      "inputs": {"$ref": "#/components/schemas/Inputs"},
      "predictors": {"allOf": [{"$ref": "#/components/schemas/Inputs"}], "deprecated": true,
        "description": "the former name of inputs, kept for one release"},
      "version": {"type": "string", "nullable": true},
      "sha256": {"type": "string"}, "deployed_at": {"type": "string", "format": "date-time"}}},
    "Inputs": {"type": "array", "description":
        "the fields a record may carry for the model, each with the kind of value it reads",
      "items": {"type": "object", "properties": {
        "name": {"type": "string"}, "kind": {"type": "string", "enum": ["number", "text"]}}}},
    "Error": {"type": "object", "properties": {"error": {"type": "object", "properties": {
      "code": {"type": "integer"}, "message": {"type": "string"}}}}}}}
}
)";

}  // namespace

std::string_view OpenApiText() { return kOpenApi; }

}  // namespace bnscore::service
