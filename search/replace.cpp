// The replace window and the replacement of every whole-word occurrence.
#include "fp.h"

void fp::replace() {}

void fp::makereplace() {}
