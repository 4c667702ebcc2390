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

// What each face of the shuttle is painted as. The shuttle is split per face, so
// each face shows the one texel its normal selects: its texture is a palette
// painted face by face (see picture_shuttle.cpp).
enum class HullPaint { white_tiles, black_tiles, nose_cap, glass, pod, engine_bell, base_plate, exhaust };
struct PaintedShape {
    Shape shape;                   // split per face, turned to the show's axes
    std::vector<HullPaint> paint;  // one per triangle
};
PaintedShape shuttle_hull();
