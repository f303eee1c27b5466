// The temporary home that every test and benchmark runs in: settings, dialog
// history, caches, state and runtime files go to folders of their own, so the
// user's real configuration is never read or written.
#pragma once

#include <QTemporaryDir>

namespace feuillon_test {
// Call before the QApplication exists. Returns the folder that holds the
// temporary homes; it lives until the process ends. Without QT_QPA_PLATFORM
// set, the run is headless (offscreen).
const QTemporaryDir &isolateEnvironment();
} // namespace feuillon_test
