// The program's own message boxes, shared by the documents' subsystems.
#pragma once

#include "textfile.h"

#include <QString>

class QMessageBox;
class QTabWidget;
class QTextEdit;
class QWidget;

// Shows the box and returns Yes, No, or no answer: on a Yes/No box Escape
// and the title bar's close button answer nothing, never No.
int answer(QMessageBox &box);

// What failed, why, and which file.
void tell_file_error(QWidget *parent, const QString &what, textfile::Failure failure,
                     const QString &path, const QString &more = QString());

// Before bytes that could not be decoded are written back as U+FFFD.
bool confirm_replacement(QWidget *parent, const QString &name, const textfile::Form &form);

// Asks before a file that would crowd the memory out, or is huge; refuses one
// that cannot be held at all. True when the file may be read.
bool room_to_open(QWidget *parent, const QString &path, qint64 size);

// The file had bytes that are not text in the encoding it was taken to be.
void warn_undecodable(QWidget *parent, const QString &path, const textfile::Form &form);

// The bytes a save writes: the document in its own encoding, mark and line
// ends. A character the encoding cannot hold is never written as "?" or as a
// substitute byte: the user chooses UTF-8 instead (the form then says so),
// or nothing is to be written (false).
bool encode_for_save(QWidget *parent, QTextEdit *editor, const QString &name, QByteArray *bytes,
                     textfile::Form *form);

// The document's path, or its tab's title and number: several tabs may
// share a title such as "Nouvelle Onglet".
QString document_name(QTabWidget *tabs, QTextEdit *editor);
// Yes, No, or no answer (with may_cancel, also "Annuler"); a document other
// than the current one is named in the question itself.
int ask_to_save(QWidget *parent, QTabWidget *tabs, QTextEdit *editor, bool may_cancel);
