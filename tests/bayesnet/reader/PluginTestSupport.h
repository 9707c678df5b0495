#ifndef BNSCORE_TESTS_PLUGIN_PLUGINTESTSUPPORT_H_
#define BNSCORE_TESTS_PLUGIN_PLUGINTESTSUPPORT_H_

#include <memory>
#include <string>

#include "bayesnet/model/BayesNetModel.h"
#include "host/interfaces/VkException.h"

// The path of a test document under tests/data.
std::string DataPath(const std::string& name);

// Reads a test document with a new BayesNetTranslator; the model is the
// caller's. Fails the test (and returns null) when the document is rejected.
std::unique_ptr<BayesNetModel> ReadModel(const std::string& name);

// Reads a test document that must be rejected and returns the exception;
// fails the test when the document is accepted (the code is then -1).
VkException ReadFault(const std::string& name);

#endif  // BNSCORE_TESTS_PLUGIN_PLUGINTESTSUPPORT_H_
