// What the tabs' editors do on their own, given the widgets they need.
#pragma once

class QStatusBar;
class QTabWidget;
class QTextEdit;

// "Suprimer Tout": the document emptied as one undoable edit, so "Annuler"
// brings the text back; refused, and said, while a big file loads.
void clear_all(QStatusBar *bar, QTextEdit *editor);
// The editor's tab carries a mark while its document has unsaved changes.
void follow_modified(QTabWidget *tabs, QTextEdit *editor);
// The same for a document the editor was given after that.
void follow_modified_document(QTabWidget *tabs, QTextEdit *editor);
