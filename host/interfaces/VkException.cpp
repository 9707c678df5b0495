#include "host/interfaces/VkException.h"

#include <utility>

VkException::VkException(int code, std::string message)
    : code_(code), message_(std::move(message)) {}

VkException::~VkException() = default;
