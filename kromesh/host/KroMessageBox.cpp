#include "kromesh/host/KroMessageBox.h"

#include <deque>
#include <set>

namespace {

constexpr std::size_t kKeptMessages = 64;

std::deque<std::string>& Collected() {
  static std::deque<std::string> texts;
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

KroMessageBoxHandler g_messageBoxHandler = &DefaultMessageBox;
KroWarningHandler g_warningHandler = &DefaultWarning;

// Open calls and the warnings already passed on during the outermost one.
int g_callDepth = 0;
std::set<std::string>& WarnedThisCall() {
  static std::set<std::string> texts;
  return texts;
}

}  // namespace

int AfxMessageBox(const char* text) {
  return g_messageBoxHandler(text != nullptr ? text : "");
}

KroMessageBoxHandler KroSetMessageBoxHandler(KroMessageBoxHandler handler) {
  KroMessageBoxHandler previous = g_messageBoxHandler;
  g_messageBoxHandler = handler != nullptr ? handler : &DefaultMessageBox;
  return previous;
}

void KroWarning(const char* text) {
  const char* t = text != nullptr ? text : "";
  if (g_callDepth > 0 && !WarnedThisCall().insert(t).second) return;
  g_warningHandler(t);
}

KroWarningHandler KroSetWarningHandler(KroWarningHandler handler) {
  KroWarningHandler previous = g_warningHandler;
  g_warningHandler = handler != nullptr ? handler : &DefaultWarning;
  return previous;
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
