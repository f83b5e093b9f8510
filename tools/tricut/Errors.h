// Errors and progress reporting of the tool.
#pragma once

#include <stdexcept>
#include <string>

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

/// Progress of long steps on stderr, shown only when stderr is a terminal
/// (so scripts and tests see clean output). Each Step() overwrites the
/// previous one; Done() clears the line.
class Progress {
 public:
  explicit Progress(std::string task);
  ~Progress();
  void Step(const std::string& what);
  void Done();
  static bool Enabled();

 private:
  std::string m_task;
  bool m_active;
  std::size_t m_lastWidth = 0;
};

}  // namespace tricut
