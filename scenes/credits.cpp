// credits.cpp -- (not yet built) returns at once.
#include "scenes.h"

void credits_scene() {}
