#include "platform/failure.hpp"

#include <cstring>

namespace ambergale {

Failure system_failure(const char* action, int error) {
  return Failure{{}, std::string(action) + ": " + std::strerror(error), false, error};
}

}  // namespace ambergale
