// reference_render.h -- the 3D layer of a scene's frame from the scene's own
// description: the forge's meshes (whatever their shape) placed, turned, textured
// and drawn in the modes and from the viewpoint the description gives, through the
// renderer, which test_render holds to its formulas. The scene's object is never
// read, so its set-up and motion are checked, not restated.
#pragma once

#include "scene_pictures.h"

#include "assets/assets.h"
#include "render/render.h"
#include "shell/shell.h"

#include <map>
#include <string>

// A texture cut transposed from a picture: texel (row x, column i) = pixel (column x, row i / 2).
inline TestPicture transposed_texture(const TestPicture& picture)
{
    TestPicture texture(65536);
    for (int x = 0; x < 256; ++x)
        for (int i = 0; i < 256; ++i) texture[x * 256 + i] = picture[(i / 2) * 320 + x] & 0x00FFFFFFu;
    return texture;
}

// A mesh file as the reader gives it (the forge's, found beside the test program), read once per test program.
inline const Mesh& forge_mesh(const char* path)
{
    static std::map<std::string, Mesh> meshes;
    const auto found = meshes.find(path);
    if (found != meshes.end()) return found->second;
    Mesh& mesh = meshes[path] = load_asc(path, 0, 0, 0);
    EXPECT_GT(mesh.face_count, 0) << path << ": the forge's mesh is missing";
    return mesh;
}

// One mesh slot as a scene describes it: the mesh at its offset, draw mode, texture and angles (x, z, y).
inline void describe_mesh(Mesh& slot, const char* path, float x, float y, float z, std::uint8_t mode,
                          const TestPicture* texture, int angle_x = 0, int angle_z = 0, int angle_y = 0)
{
    slot = forge_mesh(path);
    slot.offset_x = x, slot.offset_y = y, slot.offset_z = z;
    slot.mode = mode;
    slot.texture = texture != nullptr ? texture->data() : nullptr;
    slot.angle_x = angle_x, slot.angle_z = angle_z, slot.angle_y = angle_y;
}

// The object a test describes (large, so one per test program).
inline Object3D& described_object()
{
    static Object3D object;
    return object;
}

// Draws `object` over `frame` against a depth buffer of `far` everywhere, leaving the
// scene's frame, depth buffer and every other state as they were. Returns how many
// pixels it changed, so a test can tell that the meshes are in view.
inline long draw_reference(TestPicture& frame, Object3D& object, std::int16_t far = 4000)
{
    static std::int16_t scene_depths[64000];
    std::copy(std::begin(depth_buffer), std::end(depth_buffer), scene_depths);
    std::fill(std::begin(depth_buffer), std::end(depth_buffer), far);
    const TestPicture before = frame;
    std::uint32_t* const scene_screen = screen;
    screen = frame.data();
    render_object(object);
    screen = scene_screen;
    std::copy(scene_depths, scene_depths + 64000, depth_buffer);
    long changed = 0;
    for (int i = 0; i < 64000; ++i) changed += frame[i] != before[i];
    return changed;
}

// What reaches the console: the top byte of every pixel cleared.
inline TestPicture as_shown(TestPicture frame)
{
    for (auto& p : frame) p &= 0x00FFFFFFu;
    return frame;
}
