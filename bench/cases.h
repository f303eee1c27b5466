// The benchmark cases: each measures Feuillon's own code path and the bare
// Qt widgets doing the same work, in the same run.
#pragma once

#include "measure.h"

namespace bench {

struct Options {
    bool quick = false; // tiny sizes: a smoke run that only checks the bench still works
    int runs = 5;
    qsizetype size = 0; // bytes of every generated document, instead of the usual sizes
    QString workDir;    // where files are written
};

void startUp(Report &report, const Options &options);
void openFiles(Report &report, const Options &options);
void keystrokes(Report &report, const Options &options);
void statusRefresh(Report &report, const Options &options);
void findAndReplace(Report &report, const Options &options);
void tabSwitching(Report &report, const Options &options);
void saving(Report &report, const Options &options);
void journalCopies(Report &report, const Options &options);
void encodings(Report &report, const Options &options);
void bigFiles(Report &report, const Options &options);
void bigEdits(Report &report, const Options &options);
void growingLogs(Report &report, const Options &options);
// Beside KWrite, when it is installed: asked by name only.
void peers(Report &report, const Options &options);

// Shared by the cases.
QList<qsizetype> sizesOf(const Options &o, const QList<qsizetype> &usual);
QString sizeName(qsizetype bytes);
void fingerprints(Report &report, const Options &options);
void watching(Report &report, const Options &options);

// Helper modes of the bench program, run as child processes of the bench.
// The bare main window alone, or the widgets of Feuillon's form, until killed.
int bareWindow(bool form);
int openChild(const QString &side, const QString &path, int runs);
int bigChild(const QString &path, qsizetype characters);

} // namespace bench
