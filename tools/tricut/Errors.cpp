#include "Errors.h"

#include <unistd.h>

#include <cstdio>

namespace tricut {

std::string AtLine(const std::string& file, long line, const std::string& message) {
  return file + ":" + std::to_string(line) + ": " + message;
}

bool Progress::Enabled() {
  static const bool enabled = isatty(STDERR_FILENO) != 0;
  return enabled;
}

Progress::Progress(std::string task) : m_task(std::move(task)), m_active(Enabled()) {}

Progress::~Progress() {
  Done();
}

void Progress::Step(const std::string& what) {
  if (!m_active) return;
  std::string line = m_task + ": " + what;
  if (line.size() > 78) line.resize(78);
  std::string pad(m_lastWidth > line.size() ? m_lastWidth - line.size() : 0, ' ');
  std::fprintf(stderr, "\r%s%s", line.c_str(), pad.c_str());
  std::fflush(stderr);
  m_lastWidth = line.size();
}

void Progress::Done() {
  if (!m_active || m_lastWidth == 0) return;
  std::fprintf(stderr, "\r%s\r", std::string(m_lastWidth, ' ').c_str());
  std::fflush(stderr);
  m_lastWidth = 0;
}

}  // namespace tricut
