// intro_title.cpp -- (not yet built) returns at once.
#include "scenes.h"

void intro_title_scene(int /*order*/) {}
