// Messages of the library: the host framework's modal message box and the
// warnings raised while the library works.
//
// The library prints nothing on its own. Both kinds of message go to a
// handler the host (or a tool) installs; without one they are collected
// quietly and can be taken with KroTakeMessages. The library shows a
// message box in exactly one place (a failed corner query of an OBB
// wrapper); warnings come from the OBB build (zero-area triangles, an
// eigen solve that does not converge).
// Handlers are shared by all threads (an installed handler must be
// thread-safe when facades cut on several threads); the collected texts and
// the once-per-call bookkeeping belong to the calling thread.
#pragma once

#include <string>
#include <vector>

/// Shows one message; returns what the box returns (the default handler: 1,
/// the OK button).
using KroMessageBoxHandler = int (*)(const char* text);

/// Shows text through the installed handler. The default handler collects
/// the text and returns 1. A null text is shown as an empty message. The
/// bytes are passed on unchanged (the library's own texts are in the GBK
/// code page).
int AfxMessageBox(const char* text);

/// Installs handler and returns the one it replaces. A null handler restores
/// the default handler (and the default one is then returned next time).
KroMessageBoxHandler KroSetMessageBoxHandler(KroMessageBoxHandler handler);

/// Receives one warning text (one line, no line break).
using KroWarningHandler = void (*)(const char* text);

/// Passes a warning to the installed handler; the default handler collects
/// it. While a KroMessageCall is open, each text goes out once only.
void KroWarning(const char* text);

/// Installs handler and returns the one it replaces; null restores the
/// default (collecting) handler.
KroWarningHandler KroSetWarningHandler(KroWarningHandler handler);

/// The texts the default handlers collected on this thread (message boxes and warnings,
/// oldest first, at most the last 64) and forgets them.
std::vector<std::string> KroTakeMessages();

/// One call of the library as its host sees it: while an object of this
/// class lives, a warning text repeated during the call (one per surface or
/// tree built) reaches the handler only the first time. Calls may nest;
/// the outermost one decides.
class KroMessageCall {
 public:
  KroMessageCall();
  ~KroMessageCall();
  KroMessageCall(const KroMessageCall&) = delete;
  KroMessageCall& operator=(const KroMessageCall&) = delete;
};
