// pipeline.cpp -- render_object: the view transform into a private vertex copy,
// the near and back-face tests, the projection and the choice of rasterizer.
#include "render.h"
#include "render_local.h"

#include "shell/shell.h"

namespace {

// View-space copy of every mesh's vertices; static because it is large (20 x 1800
// vertices) and reused every frame.
Vertex view_vertices[max_meshes][max_vertices];

// Truncated view coordinates for the back-face test are held within +-(2^30 - 1),
// so each difference fits 31 bits and each product 62: the test cannot overflow.
constexpr double back_face_limit = 1073741823.0;
// Projected coordinates far outside the frame are held at +-2^30.
constexpr double screen_limit = 1073741824.0;

int clamp_count(int count, int limit)
{
    return count < 0 ? 0 : (count > limit ? limit : count);
}

bool is_finite(float v)
{
    return v == v && v - v == 0.0f;  // false for NaN and both infinities
}

// Everything that removes a face before drawing: a corner index outside the mesh,
// a corner nearer than the near limit (NaN counts as near) or off in infinity,
// and, for one-sided meshes, facing away.
bool face_survives(const Face& face, const Vertex* view, int vertex_count, bool two_sided)
{
    if (face.a < 0 || face.a >= vertex_count || face.b < 0 || face.b >= vertex_count || face.c < 0 ||
        face.c >= vertex_count)
        return false;
    const Vertex& a = view[face.a];
    const Vertex& b = view[face.b];
    const Vertex& c = view[face.c];
    if (!(a.z >= near_limit) || !(b.z >= near_limit) || !(c.z >= near_limit)) return false;
    if (!is_finite(a.x) || !is_finite(a.y) || !is_finite(b.x) || !is_finite(b.y) || !is_finite(c.x) ||
        !is_finite(c.y))
        return false;
    if (two_sided) return true;
    // Orthographic winding test on truncated view x and y: culled when k < -1.
    const std::int64_t ax = truncate_saturated(a.x, back_face_limit), ay = truncate_saturated(a.y, back_face_limit);
    const std::int64_t bx = truncate_saturated(b.x, back_face_limit), by = truncate_saturated(b.y, back_face_limit);
    const std::int64_t cx = truncate_saturated(c.x, back_face_limit), cy = truncate_saturated(c.y, back_face_limit);
    const std::int64_t k = (ay - cy) * (bx - ax) - (ax - cx) * (by - ay);
    return k >= -1;
}

// Perspective projection of one view-space vertex, in double precision.
void project(const Vertex& v, std::int32_t& column, std::int32_t& row)
{
    const double z = v.z;
    column = truncate_saturated(static_cast<double>(v.x) * focal_factor / z + centre_column, screen_limit);
    row = truncate_saturated(static_cast<double>(v.y) * focal_factor / z + centre_row, screen_limit);
}

// The environment-map coordinate of one normal component: trunc(128 - 128 n) & 255.
std::int32_t sphere_coordinate(float n)
{
    return truncate_saturated(128.0 - 128.0 * static_cast<double>(n), screen_limit) & 255;
}

ScreenCorner corner_of(const Vertex& v, int u, int t)
{
    ScreenCorner corner{0, 0, u, t, v.z};
    project(v, corner.x, corner.y);
    return corner;
}

bool needs_texture(std::uint8_t mode)
{
    return mode == mode_textured || mode == mode_env_mapped || mode == mode_additive ||
           mode == mode_half_blend || mode == mode_stretched;
}

// Draws the visible faces of one transformed mesh in stored order.
void draw_faces(const Mesh& mesh, const Vertex* view)
{
    const int face_count = clamp_count(mesh.face_count, max_faces);
    const std::uint8_t mode = mesh.mode;
    const std::uint32_t* texture = mesh.texture;
    if (needs_texture(mode) && texture == nullptr) return;
    for (int j = 0; j < face_count; ++j) {
        const Face& f = mesh.faces[j];
        if (!f.visible) continue;
        RENDER_RANGE_CHECK(f.a >= 0 && f.b >= 0 && f.c >= 0 && f.a < max_vertices && f.b < max_vertices &&
                               f.c < max_vertices,
                           "draw_faces: face %d corners %d %d %d", j, f.a, f.b, f.c);
        const Vertex& va = view[f.a];
        const Vertex& vb = view[f.b];
        const Vertex& vc = view[f.c];
        switch (mode) {
        case mode_flat: {
            const ScreenCorner a = corner_of(va, 0, 0), b = corner_of(vb, 0, 0), c = corner_of(vc, 0, 0);
            draw_triangle_flat(a.x, a.y, b.x, b.y, c.x, c.y, 0x80, 0x80, 0x80);
            break;
        }
        case mode_textured:
            draw_triangle_textured(corner_of(va, f.u_a, f.v_a), corner_of(vb, f.u_b, f.v_b),
                                   corner_of(vc, f.u_c, f.v_c), texture);
            break;
        case mode_env_mapped:
            draw_triangle_textured(corner_of(va, sphere_coordinate(va.nx), sphere_coordinate(va.ny)),
                                   corner_of(vb, sphere_coordinate(vb.nx), sphere_coordinate(vb.ny)),
                                   corner_of(vc, sphere_coordinate(vc.nx), sphere_coordinate(vc.ny)), texture);
            break;
        case mode_additive:
            draw_triangle_additive(corner_of(va, f.u_a, f.v_a), corner_of(vb, f.u_b, f.v_b),
                                   corner_of(vc, f.u_c, f.v_c), texture);
            break;
        case mode_half_blend:
            draw_triangle_halfblend(corner_of(va, f.u_a, f.v_a), corner_of(vb, f.u_b, f.v_b),
                                    corner_of(vc, f.u_c, f.v_c), texture);
            break;
        case mode_wireframe: {
            const ScreenCorner a = corner_of(va, 0, 0), b = corner_of(vb, 0, 0), c = corner_of(vc, 0, 0);
            draw_line(a.x, a.y, b.x, b.y, -1, -1, -1);
            draw_line(b.x, b.y, c.x, c.y, -1, -1, -1);
            draw_line(a.x, a.y, c.x, c.y, -1, -1, -1);
            break;
        }
        case mode_stretched:
            draw_triangle_textured(corner_of(va, 0, 0), corner_of(vb, 255, 0), corner_of(vc, 0, 255), texture);
            break;
        default:
            return;  // unknown modes draw nothing
        }
    }
}

}  // namespace

void render_object(Object3D& object)
{
    const int mesh_count = clamp_count(object.mesh_count, max_meshes);
    const float camera_x = static_cast<float>(object.camera_x);
    const float camera_y = static_cast<float>(object.camera_y);
    const float camera_z = static_cast<float>(object.camera_z);

    // Mesh rotation, offset, viewpoint and view rotation. Each vertex depends only
    // on itself, so the four passes are done vertex by vertex.
    for (int m = 0; m < mesh_count; ++m) {
        const Mesh& mesh = object.meshes[m];
        const int vertex_count = clamp_count(mesh.vertex_count, max_vertices);
        for (int i = 0; i < vertex_count; ++i) {
            Vertex v = rotate_point(mesh.vertices[i], mesh.angle_x, mesh.angle_z, mesh.angle_y);
            v.x = v.x + mesh.offset_x - camera_x;
            v.y = v.y + mesh.offset_y - camera_y;
            v.z = v.z + mesh.offset_z - camera_z;
            view_vertices[m][i] = rotate_point(v, object.camera_angle_x, object.camera_angle_z, object.camera_angle_y);
        }
    }
    for (int m = 0; m < mesh_count; ++m) {
        Mesh& mesh = object.meshes[m];
        const int vertex_count = clamp_count(mesh.vertex_count, max_vertices);
        const int face_count = clamp_count(mesh.face_count, max_faces);
        for (int j = 0; j < face_count; ++j)
            mesh.faces[j].visible = face_survives(mesh.faces[j], view_vertices[m], vertex_count, mesh.two_sided != 0);
    }
    for (int m = 0; m < mesh_count; ++m) draw_faces(object.meshes[m], view_vertices[m]);
}

void place_viewpoint(Object3D& object, int mesh_count, int x, int y, int z, int angle_x, int angle_z, int angle_y)
{
    object.mesh_count = mesh_count;
    object.camera_x = x;
    object.camera_y = y;
    object.camera_z = z;
    object.camera_angle_x = angle_x;
    object.camera_angle_z = angle_z;
    object.camera_angle_y = angle_y;
}
