#include "kromesh/host/KroMessageBox.h"

#include <atomic>
#include <deque>
#include <set>

namespace {

constexpr std::size_t kKeptMessages = 64;

// Collected texts and the once-per-call bookkeeping are kept per thread:
// facades cutting on different threads report their own warnings.
std::deque<std::string>& Collected() {
  thread_local std::deque<std::string> texts;
  return texts;
}

void Collect(const char* text) {
  std::deque<std::string>& texts = Collected();
  texts.emplace_back(text);
  if (texts.size() > kKeptMessages) texts.pop_front();
}

int DefaultMessageBox(const char* text) {
  Collect(text);
  return 1;
}

void DefaultWarning(const char* text) {
  Collect(text);
}

std::atomic<KroMessageBoxHandler> g_messageBoxHandler{&DefaultMessageBox};
std::atomic<KroWarningHandler> g_warningHandler{&DefaultWarning};

// Open calls and the warnings already passed on during the outermost one.
thread_local int g_callDepth = 0;
std::set<std::string>& WarnedThisCall() {
  thread_local std::set<std::string> texts;
  return texts;
}

}  // namespace

int AfxMessageBox(const char* text) {
  return g_messageBoxHandler.load()(text != nullptr ? text : "");
}

KroMessageBoxHandler KroSetMessageBoxHandler(KroMessageBoxHandler handler) {
  return g_messageBoxHandler.exchange(handler != nullptr ? handler : &DefaultMessageBox);
}

void KroWarning(const char* text) {
  const char* t = text != nullptr ? text : "";
  if (g_callDepth > 0 && !WarnedThisCall().insert(t).second) return;
  g_warningHandler.load()(t);
}

KroWarningHandler KroSetWarningHandler(KroWarningHandler handler) {
  return g_warningHandler.exchange(handler != nullptr ? handler : &DefaultWarning);
}

std::vector<std::string> KroTakeMessages() {
  std::deque<std::string>& texts = Collected();
  std::vector<std::string> out(texts.begin(), texts.end());
  texts.clear();
  return out;
}

KroMessageCall::KroMessageCall() {
  if (g_callDepth++ == 0) WarnedThisCall().clear();
}

KroMessageCall::~KroMessageCall() {
  --g_callDepth;
}
