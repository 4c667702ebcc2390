// fuzz_asc.cpp -- libFuzzer target for the ASC mesh reader: any bytes as a mesh file.
// Besides running clean under the sanitizers, the record must be sound: counts in
// range, every corner naming a read vertex, finite unit (or zero) normals, corner
// u/v from the vertex normals, the offsets given, every field it does not fill zero.
#include "fuzz_input.h"

#include "assets/assets.h"

#include <cmath>

namespace {

VELMORA_FUZZ_CHECK bool unit_or_zero(double x, double y, double z)
{
    if (!std::isfinite(x) || !std::isfinite(y) || !std::isfinite(z)) return false;
    const double length = std::sqrt(x * x + y * y + z * z);
    return length == 0.0 || std::fabs(length - 1.0) < 1e-5;
}

VELMORA_FUZZ_CHECK std::uint8_t sphere(float n)
{
    return static_cast<std::uint8_t>(static_cast<std::int32_t>(128.0 - 128.0 * static_cast<double>(n)) & 255);
}

VELMORA_FUZZ_CHECK void check(bool sound)
{
    if (!sound) std::abort();
}

VELMORA_FUZZ_CHECK void check_mesh(const Mesh& mesh)
{
    check(mesh.vertex_count >= 0 && mesh.vertex_count <= max_vertices);
    check(mesh.face_count >= 0 && mesh.face_count <= max_faces);
    check(mesh.offset_x == -7.0f && mesh.offset_y == 3.0f && mesh.offset_z == 1200.0f);
    check(mesh.angle_x == 0 && mesh.angle_z == 0 && mesh.angle_y == 0 && mesh.two_sided == 0 && mesh.mode == 0 &&
          mesh.texture == nullptr);
    for (int i = 0; i < mesh.vertex_count; ++i) {
        const Vertex& v = mesh.vertices[i];
        check(unit_or_zero(v.nx, v.ny, v.nz));
    }
    for (int j = 0; j < mesh.face_count; ++j) {
        const Face& f = mesh.faces[j];
        check(f.a >= 0 && f.a < mesh.vertex_count && f.b >= 0 && f.b < mesh.vertex_count && f.c >= 0 &&
              f.c < mesh.vertex_count && f.visible == 0);
        check(unit_or_zero(f.nx, f.ny, f.nz));
        const Vertex &a = mesh.vertices[f.a], &b = mesh.vertices[f.b], &c = mesh.vertices[f.c];
        check(f.u_a == sphere(a.nx) && f.v_a == sphere(a.ny) && f.u_b == sphere(b.nx) && f.v_b == sphere(b.ny) &&
              f.u_c == sphere(c.nx) && f.v_c == sphere(c.ny));
    }
    const auto* beyond = reinterpret_cast<const unsigned char*>(mesh.vertices + mesh.vertex_count);
    const auto* end = reinterpret_cast<const unsigned char*>(mesh.vertices + max_vertices);
    for (; beyond < end; ++beyond) check(*beyond == 0);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    static Mesh mesh;
    mesh = load_asc(fuzz_input_path(data, size), -7, 3, 1200);
    check_mesh(mesh);
    return 0;
}
