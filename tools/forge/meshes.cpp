// meshes.cpp -- writes every mesh of the show as ASCII mesh text in the layout the
// show's reader expects, and reads each back to hold it to the reader's limits.
#include "forge.h"
#include "mesh_shapes.h"

#include <cstdio>
#include <string>

#include "assets/assets.h"

namespace {

// The layout the reader relies on: "Vertices:" and "Faces:" each followed by its
// count; one word after the face count before the first "X:"; each coordinate
// after its own keyword; corner indices joined to "A:", "B:", "C:".
std::string asc_text(const ShowMesh& mesh)
{
    const Shape& s = mesh.shape;
    std::string text;
    char line[256];
    std::snprintf(line, sizeof line, "Named object: \"%s\"\nTri-mesh, Vertices: %zu     Faces: %zu\nVertex list:\n",
                  mesh.name.c_str(), s.points.size(), s.triangles.size());
    text += line;
    for (std::size_t i = 0; i < s.points.size(); ++i) {
        const Vec3& p = s.points[i];
        std::snprintf(line, sizeof line, "Vertex %zu:  X: %f     Y: %f     Z: %f\n", i, p.x, p.y, p.z);
        text += line;
    }
    text += "Face list:\n";
    for (std::size_t j = 0; j < s.triangles.size(); ++j) {
        const Triangle& f = s.triangles[j];
        std::snprintf(line, sizeof line, "Face %zu:    A:%d B:%d C:%d AB:1 BC:1 CA:1\nSmoothing:  1\n", j, f.a, f.b,
                      f.c);
        text += line;
    }
    return text;
}

Mesh read_back;  // large: program-wide

// Reads the file back as the show will and fails loudly where it would go wrong.
void check_written(const ShowMesh& mesh, const std::string& file)
{
    read_back = load_asc(file.c_str(), 0, 0, 0);
    const std::size_t v = mesh.shape.points.size(), f = mesh.shape.triangles.size();
    if (v > max_vertices || f > max_faces)
        forge_fail(mesh.name + ": " + std::to_string(v) + " vertices, " + std::to_string(f) +
                   " faces: beyond the reader's 1800 / 2000");
    if (read_back.vertex_count != static_cast<int>(v) || read_back.face_count != static_cast<int>(f))
        forge_fail(file + " does not read back with its own counts");
    if (!mesh.stored_coordinates) return;
    for (int i = 0; i < read_back.vertex_count; ++i) {
        const Vertex& n = read_back.vertices[i];
        if (n.nx <= -0.9999f || n.ny <= -0.9999f)
            forge_fail(mesh.name + ": vertex " + std::to_string(i) +
                       " has a normal along -x or -y, which wraps its texture coordinates");
    }
}

}  // namespace

void write_meshes(const std::string& root)
{
    for (const ShowMesh& mesh : build_show_meshes()) {
        const std::string show_path = "qd\\3d\\" + mesh.name + ".asc";
        const std::string file = forge_output(root, show_path.c_str());
        const std::string text = asc_text(mesh);
        forge_write_file(file, text.data(), text.size());
        check_written(mesh, file);
    }
}
