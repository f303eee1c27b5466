// The find window and the highlighting of every whole-word occurrence.
#include "fp.h"

void fp::look() {}

void fp::makelook() {}
