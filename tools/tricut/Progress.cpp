#include "Progress.h"

#include <unistd.h>

#include <cmath>

namespace tricut {

namespace {
std::FILE* g_showAllOn = nullptr;
double g_showAllDelay = 0;
}  // namespace

void Progress::ShowAllOn(std::FILE* out, double delay) {
  g_showAllOn = out;
  g_showAllDelay = delay;
}

bool Progress::Enabled() {
  static const bool enabled = isatty(STDERR_FILENO) != 0;
  return enabled;
}

std::string Progress::Line(const std::string& task, const std::string& stage, double fraction,
                           double seconds) {
  std::string line = task + ": " + stage + " (";
  if (fraction >= 0) line += std::to_string(static_cast<int>(std::fmin(fraction, 1) * 100)) + "%, ";
  line += std::to_string(static_cast<long>(seconds)) + " s)";
  if (line.size() > 78) line = line.substr(0, 75) + "...";
  return line;
}

Progress::Progress(std::string task, bool enabled, std::FILE* out, double delay)
    : m_task(std::move(task)),
      m_active(enabled || g_showAllOn),
      m_out(g_showAllOn ? g_showAllOn : out),
      m_delay(g_showAllOn ? g_showAllDelay : delay),
      m_start(std::chrono::steady_clock::now()) {
  if (m_active) m_ticker = std::thread([this] { Tick(); });
}

Progress::~Progress() {
  Done();
}

void Progress::Step(const std::string& stage, double fraction) {
  std::lock_guard<std::mutex> lock(m_mutex);
  m_stage = stage;
  m_fraction = fraction;
  if (m_active) Show();
}

void Progress::Show() {
  const double secs =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - m_start).count();
  if (secs < m_delay || m_stage.empty()) return;
  const std::string line = Line(m_task, m_stage, m_fraction, secs);
  const std::string pad(m_lastWidth > line.size() ? m_lastWidth - line.size() : 0, ' ');
  std::fprintf(m_out, "\r%s%s", line.c_str(), pad.c_str());
  std::fflush(m_out);
  m_lastWidth = line.size();
}

void Progress::Tick() {
  std::unique_lock<std::mutex> lock(m_mutex);
  while (!m_stop) {
    m_wake.wait_for(lock, std::chrono::milliseconds(250));
    if (!m_stop) Show();
  }
}

void Progress::Done() {
  {
    std::lock_guard<std::mutex> lock(m_mutex);
    if (!m_active) return;
    m_stop = true;
    m_active = false;
    if (m_lastWidth > 0) {
      std::fprintf(m_out, "\r%s\r", std::string(m_lastWidth, ' ').c_str());
      std::fflush(m_out);
      m_lastWidth = 0;
    }
  }
  m_wake.notify_all();
  if (m_ticker.joinable()) m_ticker.join();
}

}  // namespace tricut
