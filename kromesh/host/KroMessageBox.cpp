#include "kromesh/host/KroMessageBox.h"

#include <cstdio>

namespace {

int DefaultMessageBox(const char* text) {
  std::fputs(text, stderr);
  std::fputc('\n', stderr);
  std::fflush(stderr);
  return 1;
}

KroMessageBoxHandler g_messageBoxHandler = &DefaultMessageBox;

}  // namespace

int AfxMessageBox(const char* text) {
  return g_messageBoxHandler(text != nullptr ? text : "");
}

KroMessageBoxHandler KroSetMessageBoxHandler(KroMessageBoxHandler handler) {
  KroMessageBoxHandler previous = g_messageBoxHandler;
  g_messageBoxHandler = handler != nullptr ? handler : &DefaultMessageBox;
  return previous;
}
