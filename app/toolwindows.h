// The find, replace and settings windows open over the main window.
#pragma once

class QWidget;

// A tool window that was hidden opens centred on `over`; one already shown
// stays where it is. Either way it comes to the front.
void show_tool_window(QWidget *tool, QWidget *over);
