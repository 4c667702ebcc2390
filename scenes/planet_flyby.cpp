// planet_flyby.cpp -- (not yet built) returns at once.
#include "scenes.h"

void first_flyby_scene() {}
void second_flyby_scene() {}
