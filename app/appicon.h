#pragma once

#include <QIcon>

// The program's icon: the desktop theme's, otherwise the copy built into the
// program, whose sizes are read only when a window needs them.
QIcon application_icon();

// Gives the application, and every window left without an icon of its own,
// that icon once the first window is painted: finding it and sending its six
// sizes to the display would otherwise come before the first frame.
void set_icon_after_first_frame();
