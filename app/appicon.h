#pragma once

#include <QIcon>

// The program's icon: the desktop theme's, otherwise the copy built into the
// program, whose sizes are read only when a window needs them.
QIcon application_icon();
