// "Aller à la ligne": asks a line number and puts the cursor at the start of
// that line, in view.
#pragma once

class QLabel;
class QTextEdit;
class QWidget;

void go_to_line(QWidget *parent, QTextEdit *editor);

// "Ligne 12, Colonne 5": lines of the document, not lines on screen.
void show_position(QLabel *position_label, QTextEdit *editor);
