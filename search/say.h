// What the find and replace windows tell, over the main window; the search
// window gets the focus back afterwards.
#pragma once

class QWidget;

void say_empty_field(QWidget *parent, QWidget *window);
void say_not_found(QWidget *parent, QWidget *window);
