// particle.cpp -- (not yet built) returns at once.
#include "scenes.h"

void particle_scene() {}
void fade_trail() {}
