// The appearance settings: reading, writing and resetting the store.
#include "fp.h"

void fp::load_appearance() {}

void fp::save_appearance() {}

void fp::reset_opt() {}
