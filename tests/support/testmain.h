// Test entry point: every test binary runs headless and keeps its settings,
// dialog history and runtime files in a temporary folder of its own, so the
// user's real configuration is never read or written.
#pragma once

#include "environment.h"

#include <QApplication>
#include <QTest>

namespace feuillon_test {
// A modal dialog that nothing answers would hang the test binary: one left
// open for 15 seconds is reported and rejected, so the test fails instead.
void watchForForgottenDialogs();
} // namespace feuillon_test

#define FEUILLON_TEST_MAIN(TestObject)                                                             \
    int main(int argc, char **argv)                                                                \
    {                                                                                              \
        feuillon_test::isolateEnvironment();                                                       \
        QApplication app(argc, argv);                                                              \
        app.setAttribute(Qt::AA_Use96Dpi, true);                                                   \
        feuillon_test::watchForForgottenDialogs();                                                 \
        TestObject tc;                                                                             \
        QTEST_SET_MAIN_SOURCE_PATH                                                                 \
        return QTest::qExec(&tc, argc, argv);                                                      \
    }
