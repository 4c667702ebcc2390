// mesh_shapes.h -- the show's eleven meshes as solids, before they are written.
#pragma once

#include <string>
#include <vector>

#include "mesh_geometry.h"

struct ShowMesh {
    std::string name;         // file name without ".asc"
    Shape shape;
    bool stored_coordinates;  // drawn with the u/v stored at load time: no normal may point along -x or -y
};

// All eleven, in a fixed order, built the same way on every run.
std::vector<ShowMesh> build_show_meshes();
