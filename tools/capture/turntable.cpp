// turntable.cpp -- mesh turntable sheets and the renderer benchmark, drawn with
// the show's own pipeline into a private frame.
#include "turntable.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "assets/assets.h"
#include "bench_stats.h"
#include "bitmap_font.h"
#include "render/render.h"
#include "shell/shell.h"
#include "tools/common/png_writer.h"

namespace {

std::uint32_t frame[frame_pixels];
std::uint32_t sphere_map[texture_texels];
std::uint32_t lit_checker[texture_texels];
Object3D turntable_object;

std::uint32_t rgb(double r, double g, double b)
{
    auto channel = [](double c) { return static_cast<std::uint32_t>(std::clamp(c, 0.0, 1.0) * 255.0 + 0.5); };
    return channel(r) << 16 | channel(g) << 8 | channel(b);
}

// Brightness of a sphere-map texel: the normal the show maps to texture row u and
// column v (u = 128 - 128 nx, v = 128 - 128 ny, facing the viewer), lit from the
// upper left front; outside the disc the rim continues.
double sphere_light(int u, int v)
{
    double nx = (128.0 - u) / 128.0, ny = (128.0 - v) / 128.0;
    const double rim = std::sqrt(nx * nx + ny * ny);
    if (rim > 1.0) {
        nx /= rim;
        ny /= rim;
    }
    const double nz = -std::sqrt(std::max(0.0, 1.0 - nx * nx - ny * ny));
    const double lx = -0.45, ly = -0.55, lz = -0.70;  // toward the light (unit length)
    const double diffuse = std::max(0.0, nx * lx + ny * ly + nz * lz);
    const double reflect_z = 2 * (nx * lx + ny * ly + nz * lz) * nz - lz;  // reflection toward the viewer
    const double specular = std::pow(std::max(0.0, -reflect_z), 24.0);
    return 0.12 + 0.75 * diffuse + 0.6 * specular;
}

void make_test_textures()
{
    for (int u = 0; u < 256; ++u) {
        for (int v = 0; v < 256; ++v) {
            const double light = sphere_light(u, v);
            sphere_map[u * 256 + v] = rgb(light * 0.95, light * 0.8, light * 0.45);
            const bool dark = ((u >> 5) ^ (v >> 5)) & 1;
            lit_checker[u * 256 + v] = dark ? rgb(light * 0.25, light * 0.45, light * 0.9) : rgb(light, light, light);
        }
    }
}

void draw_background()
{
    for (int y = 0; y < frame_height; ++y)
        for (int x = 0; x < frame_width; ++x) frame[y * frame_width + x] = rgb(0.10, 0.11, 0.16 + y * 0.0004);
}

double mesh_radius(const Mesh& mesh)
{
    double r = 0;
    for (int i = 0; i < mesh.vertex_count; ++i) {
        const Vertex& v = mesh.vertices[i];
        r = std::max(r, std::sqrt(double(v.x) * v.x + double(v.y) * v.y + double(v.z) * v.z));
    }
    return r;
}

void copy_into_sheet(std::vector<std::uint32_t>& sheet, int sheet_width, int column, int row)
{
    for (int y = 0; y < frame_height; ++y)
        std::memcpy(&sheet[(row * frame_height + y) * sheet_width + column * frame_width], &frame[y * frame_width],
                    frame_width * sizeof(std::uint32_t));
}

// A 2000-face latitude-longitude sphere of radius r (24 bands of 40, plus caps).
void build_bench_sphere(Mesh& mesh, double r)
{
    constexpr int bands = 26, sectors = 40;
    constexpr double pi = 3.14159265358979323846;
    int n = 0;
    mesh.vertices[n++] = Vertex{0, static_cast<float>(-r), 0, 0, -1, 0};
    for (int b = 1; b < bands; ++b) {
        const double lat = pi * b / bands - pi / 2;
        for (int s = 0; s < sectors; ++s) {
            const double lon = 2 * pi * s / sectors;
            const double x = std::cos(lat) * std::cos(lon), y = std::sin(lat), z = std::cos(lat) * std::sin(lon);
            mesh.vertices[n++] = Vertex{float(r * x), float(r * y), float(r * z), float(x), float(y), float(z)};
        }
    }
    mesh.vertices[n++] = Vertex{0, static_cast<float>(r), 0, 0, 1, 0};
    mesh.vertex_count = n;
    int f = 0;
    auto add = [&](int a, int b, int c) {
        Face face{};
        face.a = a;
        face.b = b;
        face.c = c;
        face.u_a = face.v_b = 40;
        face.u_c = 200;
        mesh.faces[f++] = face;
    };
    auto ring = [&](int b, int s) { return 1 + (b - 1) * sectors + (s % sectors); };
    for (int s = 0; s < sectors; ++s) add(0, ring(1, s), ring(1, s + 1));
    for (int b = 1; b + 1 < bands; ++b) {
        for (int s = 0; s < sectors; ++s) {
            add(ring(b, s), ring(b + 1, s), ring(b + 1, s + 1));
            add(ring(b, s), ring(b + 1, s + 1), ring(b, s + 1));
        }
    }
    for (int s = 0; s < sectors; ++s) add(n - 1, ring(bands - 1, s + 1), ring(bands - 1, s));
    mesh.face_count = f;
}

double milliseconds_since(std::chrono::steady_clock::time_point start)
{
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
}

}  // namespace

int run_mesh_sheet(const char* mesh_path, const char* png_path)
{
    build_sincos_table();
    make_test_textures();
    std::uint32_t* const saved_screen = screen;
    screen = frame;

    std::FILE* probe = open_data_file(mesh_path, "rb");
    if (probe == nullptr) {
        std::fprintf(stderr, "velmora_capture: cannot open the mesh %s\n", mesh_path);
        screen = saved_screen;
        return 1;
    }
    std::fclose(probe);
    Object3D& object = turntable_object;
    std::memset(static_cast<void*>(&object), 0, sizeof object);
    object.meshes[0] = load_asc(mesh_path, 0, 0, 0);
    Mesh& mesh = object.meshes[0];
    if (mesh.vertex_count == 0 || mesh.face_count == 0) {
        std::fprintf(stderr, "velmora_capture: %s holds no mesh\n", mesh_path);
        screen = saved_screen;
        return 1;
    }
    object.mesh_count = 1;
    // Distance at which the mesh's bounding sphere shows a half-size of 80 pixels.
    const double r = mesh_radius(mesh);
    object.camera_z = -static_cast<int>(std::max(r * std::sqrt(1.0 + (256.0 / 80.0) * (256.0 / 80.0)), r + 40.0));

    const int angles[4][3] = {{0, 0, 0}, {0, 0, 90}, {30, 0, 210}, {90, 0, 0}};  // x, z, y
    const std::uint8_t modes[3] = {mode_textured, mode_env_mapped, mode_wireframe};
    const int sheet_width = 4 * frame_width, sheet_height = 3 * frame_height;
    std::vector<std::uint32_t> sheet(static_cast<std::size_t>(sheet_width) * sheet_height);
    for (int row = 0; row < 3; ++row) {
        for (int column = 0; column < 4; ++column) {
            draw_background();
            for (auto& d : depth_buffer) d = 30000;
            mesh.mode = modes[row];
            mesh.texture = modes[row] == mode_textured ? lit_checker : sphere_map;
            mesh.angle_x = angles[column][0];
            mesh.angle_z = angles[column][1];
            mesh.angle_y = angles[column][2];
            render_object(object);
            char label[64];
            std::snprintf(label, sizeof label, "mode %d  x%d z%d y%d", modes[row], angles[column][0],
                          angles[column][1], angles[column][2]);
            draw_text(frame, frame_width, frame_height, 4, 4, label, 0x00FFFF80u, 1);
            if (row == 0 && column == 0) {
                std::snprintf(label, sizeof label, "%d v  %d f  r %.0f", mesh.vertex_count, mesh.face_count, r);
                draw_text(frame, frame_width, frame_height, 4, frame_height - 11, label, 0x00FFFF80u, 1);
            }
            copy_into_sheet(sheet, sheet_width, column, row);
        }
    }
    screen = saved_screen;
    if (!write_png(png_path, sheet.data(), sheet_width, sheet_height)) return 1;
    std::printf("%s: %s\n", mesh_path, png_path);
    return 0;
}

int run_render_bench()
{
    build_sincos_table();
    make_test_textures();
    std::uint32_t* const saved_screen = screen;
    screen = frame;

    Object3D& object = turntable_object;
    std::memset(static_cast<void*>(&object), 0, sizeof object);
    Mesh& mesh = object.meshes[0];
    build_bench_sphere(mesh, 100.0);
    mesh.mode = mode_textured;
    mesh.texture = lit_checker;
    object.mesh_count = 1;
    object.camera_z = -328;  // a disc of about 82 pixels radius: a third of the frame

    // The frame's triangles, projected once by the pipeline: the filler alone is
    // then timed on exactly what the pipeline hands it.
    constexpr int runs = 9, frames_per_run = 100;
    std::vector<double> pipeline_ms, filler_ms;
    long faces_drawn = 0, pixels_drawn = 0;
    for (int run = 0; run < runs; ++run) {
        double total = 0;
        for (int f = 0; f < frames_per_run; ++f) {
            for (auto& d : depth_buffer) d = 4000;
            mesh.angle_y = (run * frames_per_run + f) % 360;
            const auto start = std::chrono::steady_clock::now();
            render_object(object);
            total += milliseconds_since(start);
        }
        pipeline_ms.push_back(total / frames_per_run);
    }
    faces_drawn = 0;
    for (int j = 0; j < mesh.face_count; ++j) faces_drawn += mesh.faces[j].visible;
    pixels_drawn = 0;
    for (const auto d : depth_buffer) pixels_drawn += d != 4000;

    // The filler alone: the same visible faces, projected here once.
    std::vector<ScreenCorner> corners;
    for (int j = 0; j < mesh.face_count; ++j) {
        const Face& face = mesh.faces[j];
        if (!face.visible) continue;
        for (const int index : {face.a, face.b, face.c}) {
            const Vertex v = rotate_point(mesh.vertices[index], mesh.angle_x, mesh.angle_z, mesh.angle_y);
            const double z = double(v.z) - object.camera_z;
            corners.push_back(ScreenCorner{static_cast<int>(v.x * 256.0 / z + 165.0),
                                           static_cast<int>(v.y * 256.0 / z + 100.0), 40, 200, float(z)});
        }
    }
    for (int run = 0; run < runs; ++run) {
        double total = 0;
        for (int f = 0; f < frames_per_run; ++f) {
            for (auto& d : depth_buffer) d = 4000;
            const auto start = std::chrono::steady_clock::now();
            for (std::size_t k = 0; k + 2 < corners.size(); k += 3)
                draw_triangle_textured(corners[k], corners[k + 1], corners[k + 2], lit_checker);
            total += milliseconds_since(start);
        }
        filler_ms.push_back(total / frames_per_run);
    }
    screen = saved_screen;

    const double pipeline = median_of(pipeline_ms), filler = median_of(filler_ms);
    std::printf("render bench: sphere of %d faces, %ld drawn, %ld pixels per frame (%.0f%% of the frame)\n",
                mesh.face_count, faces_drawn, pixels_drawn, 100.0 * pixels_drawn / frame_pixels);
    std::printf("  pipeline        %.3f ms/frame  %.2f M triangles/s  %.1f M pixels/s\n", pipeline,
                faces_drawn / pipeline / 1000.0, pixels_drawn / pipeline / 1000.0);
    std::printf("  textured filler %.3f ms/frame  %.2f M triangles/s  %.1f M pixels/s\n", filler,
                faces_drawn / filler / 1000.0, pixels_drawn / filler / 1000.0);
    return 0;
}
