// Errors of the tool (and, for its commands, the progress reporter).
#pragma once

#include <stdexcept>
#include <string>

#include "Progress.h"

namespace tricut {

/// A failure the user can act on (bad input, unreadable file, models that
/// do not touch). main() prints its message on one line of stderr and exits
/// with status 2.
class ToolError : public std::runtime_error {
 public:
  explicit ToolError(const std::string& message) : std::runtime_error(message) {}
};

/// "file:line: message", the form every parse error takes.
std::string AtLine(const std::string& file, long line, const std::string& message);

}  // namespace tricut
