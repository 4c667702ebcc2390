// voxel_landscape.cpp -- (not yet built) returns at once.
#include "scenes.h"

void voxel_scene() {}
void draw_sky() {}
