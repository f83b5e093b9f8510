// Progress of the tool's commands on stderr: the stage and the fraction of
// the command done, on one line that each update overwrites.
//
// Shown only when stderr is a terminal (scripts and tests see clean output)
// and only once the command has run for a second, so quick commands print
// nothing. A ticker thread refreshes the line while a long library call
// runs between two stages; the library itself prints nothing.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <mutex>
#include <string>
#include <thread>

namespace tricut {

class Progress {
 public:
  /// task names the command; out, enabled and delay (seconds before the
  /// first line) are for the tests.
  explicit Progress(std::string task, bool enabled = Enabled(), std::FILE* out = stderr,
                    double delay = 1.0);
  ~Progress();
  Progress(const Progress&) = delete;
  Progress& operator=(const Progress&) = delete;

  /// A new stage; fraction: the part of the whole command done when it
  /// starts (0 to 1), negative when unknown.
  void Step(const std::string& stage, double fraction = -1);
  /// Clears the line and stops the ticker (also done on destruction).
  void Done();
  /// Whether stderr is a terminal.
  static bool Enabled();
  /// For the tests: every Progress made from now on shows its line on out
  /// after delay seconds, whatever its arguments; nullptr ends that.
  static void ShowAllOn(std::FILE* out, double delay);
  /// The text shown: "task: stage (40%, 3 s)".
  static std::string Line(const std::string& task, const std::string& stage, double fraction,
                          double seconds);

 private:
  void Show();  // m_mutex held
  void Tick();

  std::string m_task, m_stage;
  double m_fraction = -1;
  bool m_active;
  std::FILE* m_out;
  double m_delay;
  std::chrono::steady_clock::time_point m_start;
  std::size_t m_lastWidth = 0;
  bool m_stop = false;
  std::mutex m_mutex;
  std::condition_variable m_wake;
  std::thread m_ticker;
};

}  // namespace tricut
