#include "Errors.h"

namespace tricut {

std::string AtLine(const std::string& file, long line, const std::string& message) {
  return file + ":" + std::to_string(line) + ": " + message;
}

}  // namespace tricut
