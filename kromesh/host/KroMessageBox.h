// Modal message box of the host's application framework.
//
// The library shows a message box in exactly one place (a failed corner
// query of an OBB wrapper). Without a host framework the text goes to the
// standard error stream; a host that has its own dialogs installs a handler.
// Not thread-safe: install the handler before the library is used.
#pragma once

/// Shows one message; returns what the box returns (the default handler: 1,
/// the OK button).
using KroMessageBoxHandler = int (*)(const char* text);

/// Shows text through the installed handler. The default handler writes the
/// text and a line break to the standard error stream and returns 1. A null
/// text is shown as an empty message. The bytes are passed on unchanged
/// (the library's own texts are in the GBK code page).
int AfxMessageBox(const char* text);

/// Installs handler and returns the one it replaces. A null handler restores
/// the default handler (and the default one is then returned next time).
KroMessageBoxHandler KroSetMessageBoxHandler(KroMessageBoxHandler handler);
