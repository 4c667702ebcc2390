// entry.cpp -- the spine of the show: menu, then the scenes against the music.
#include "shell.h"

#include "../assets/assets.h"
#include "../platform/console/console.h"
#include "../platform/host/host.h"
#include "../platform/music/music.h"
#include "../scenes/scenes.h"

Variant show_variant = Variant::final_build;

namespace {

SceneTraceHook scene_trace_hook = nullptr;

// The vertical scroller's three pictures stacked: tuff, link, dsg3.
constexpr int strip_rows = 600;
std::uint32_t scroll_strip[frame_width * strip_rows];

constexpr int fade_frames = 200;
constexpr std::uint32_t fade_weight = 250;
constexpr int scroll_start = 400 * frame_width;  // the bottom picture alone
constexpr int scroll_step = 2 * frame_width;     // two rows a frame

bool key_waiting()
{
    return console_key_waiting(console) != 0;
}

// Sound output, the song, output started, playing from `order` with a reset.
// The earlier build opens its output differently and at half the rate.
void start_song(const char* file, std::uint32_t order)
{
    const bool vox = show_variant == Variant::vox_build;
    BASS_Init(vox ? -2 : -1, vox ? 22050u : 44100u, 0, host_foreground_window());
    music_channel = BASS_MusicLoad(0, file, 0, 0, 1);
    BASS_Start();
    BASS_MusicPlayEx(music_channel, order, -1, 1);
}

void start_song_1()
{
    trace_scene("start_song_1");
    start_song("qd\\music\\1.xm", 1);
    host_raise_thread_priority();
}

void load_intro_pictures()
{
    load_pcx("qd\\gfx\\bak\\stbk1.pcx", backdrop1);
    load_pcx("qd\\gfx\\bak\\stbk2a.pcx", backdrop2);
    load_pcx("qd\\gfx\\misc\\dtext.pcx", overlay_picture);
}

// Odd orders show the intro title, even ones the room; the bound is tested on
// the order read before the scene that just returned, so order 9 still runs.
void intro_loop()
{
    trace_scene("intro_loop");
    int last_order = 0;
    while (last_order < 9 && !key_waiting()) {
        last_order = music_order();
        if (last_order % 2 == 1) {
            trace_scene("intro_title_scene");
            intro_title_scene(last_order);
        } else {
            trace_scene("room_scene");
            room_scene(72);
        }
    }
}

// Up to 200 frames, each pixel mixed towards black with weight 250.
void fade_to_black()
{
    trace_scene("fade");
    for (int frame = 0; frame < fade_frames && !key_waiting(); ++frame) {
        for (int i = 0; i < frame_pixels; ++i) screen[i] = blend_mix(screen[i], 0, fade_weight);
        present_frame();
    }
}

void wait_for_song_end()
{
    trace_scene("wait_song_end");
    while (BASS_ChannelIsActive(music_channel) != 0 && !key_waiting()) {
    }
}

void cut_ring_sprite()
{
    load_sprite("qd\\gfx\\sprites\\ring32b.pcx", ring_sprite, ring_size, ring_size);
}

void change_to_song_2()
{
    trace_scene("song_change");
    BASS_Free();
    cut_ring_sprite();
    start_song("qd\\music\\2.xm", 0);
}

// The strip climbs two rows a frame from the bottom picture to the top one:
// 201 frames, whatever the music does.
void vertical_scroller()
{
    trace_scene("scroller");
    load_pcx("qd\\gfx\\bak\\tuff.pcx", scroll_strip);
    load_pcx("qd\\gfx\\bak\\link.pcx", scroll_strip + frame_pixels);
    load_pcx("qd\\gfx\\bak\\dsg3.pcx", scroll_strip + 2 * frame_pixels);
    for (int scroll_offset = scroll_start; scroll_offset >= 0 && !key_waiting(); scroll_offset -= scroll_step) {
        const std::uint32_t* from = scroll_strip + scroll_offset;
        for (int i = 0; i < frame_pixels; ++i) screen[i] = from[i];
        present_frame();
    }
}

void wait_while_order_7()
{
    trace_scene("wait_order_7");
    while (music_order() == 7 && !key_waiting()) {
    }
}

void song_1_part()
{
    load_intro_pictures();
    intro_loop();
    load_intro_pictures();  // the intro title has replaced the overlay
    trace_scene("first_flyby_scene");
    first_flyby_scene();
    trace_scene("room_scene");
    room_scene(10);
    trace_scene("second_flyby_scene");
    second_flyby_scene();
    trace_scene("room_scene");
    room_scene(12);
    trace_scene("lump_scene");
    lump_scene();
    fade_to_black();
    wait_for_song_end();
}

void song_2_part()
{
    change_to_song_2();
    trace_scene("fleet_scene");
    fleet_scene();
    trace_scene("texture_tunnel_scene");
    texture_tunnel_scene();
    trace_scene("logo_scene");
    logo_scene();
    cut_ring_sprite();
    trace_scene("credits_scene");
    credits_scene();
    vertical_scroller();
    wait_while_order_7();
    trace_scene("blob_scene");
    blob_scene();
    if (show_variant == Variant::vox_build) {
        trace_scene("voxel_scene");
        voxel_scene();
    } else {
        trace_scene("particle_scene");
        particle_scene();
    }
    trace_scene("chessboard_scene");
    chessboard_scene();
    trace_scene("grit_scene");
    grit_scene();
    trace_scene("end_screens");
    end_screens();
}

void shutdown()
{
    trace_scene(nullptr);
    console_close(console);
    BASS_Free();
    surface_unlock(frame_surface);
}

}  // namespace

void set_scene_trace_hook(SceneTraceHook hook)
{
    scene_trace_hook = hook;
}

void trace_scene(const char* name)
{
    if (scene_trace_hook != nullptr) scene_trace_hook(name);
}

int show_main(Variant variant)
{
    show_variant = variant;
    try {
        trace_scene("open_display");
        open_display();
        if (variant == Variant::vox_build) start_song_1();
        build_sincos_table();
        if (variant == Variant::final_build) start_song_1();
        song_1_part();
        song_2_part();
        shutdown();
        return 0;
    } catch (DynamicError& error) {
        // A failure must not exit as success: same clean-up, exit code 1.
        error_report(error);
        trace_scene(nullptr);
        BASS_Free();
        surface_unlock(frame_surface);
        console_close(console);
        return 1;
    }
}
