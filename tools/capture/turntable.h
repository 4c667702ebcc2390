// turntable.h -- the renderer's own checks in the capture tool: a turntable sheet
// of one mesh, and a benchmark of the textured triangle filler.
#pragma once

// Renders the mesh file with the show's pipeline in modes 3 (stored u/v over a
// lit checker), 5 (lit sphere map) and 8 (wire-frame), at four angles each, into
// one labelled PNG. Returns 0, or 1 with a message when the mesh is empty or the
// PNG cannot be written.
int run_mesh_sheet(const char* mesh_path, const char* png_path);

// Times a textured sphere of 2000 faces covering about a third of the frame and
// prints triangles and pixels per second (medians of several runs), for the
// whole pipeline and for the textured filler alone. Returns 0.
int run_render_bench();
