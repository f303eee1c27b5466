// "Aller à la ligne": asks a line number and puts the cursor at the start of
// that line, in view.
#pragma once

class QTextEdit;
class QWidget;

void go_to_line(QWidget *parent, QTextEdit *editor);
