// The status text: zoom level, character count and line count.
#include "fp.h"

void fp::changestatus() {}
