// display.cpp -- the global console and frame surface, the mode menu, and the
// presentation of a finished frame.
#include "shell.h"

#include "../assets/assets.h"
#include "../platform/console/console.h"

#include <cstdlib>

Console* console = nullptr;
Format* console_format = nullptr;
Format* frame_format = nullptr;
Surface* frame_surface = nullptr;
std::uint32_t* screen = nullptr;

namespace {

// Locks the frame surface for good and keeps the address of its pixel (0, 0).
std::uint32_t* lock_screen()
{
    return surface_lock(frame_surface);
}

// Builds the display objects before the entry runs, in this order, and takes
// them down in the reverse order when the program exits.
struct DisplayObjects {
    DisplayObjects()
    {
        console = console_new();
        console_format = pixel_format_new(32, 0x000000FFu, 0x0000FF00u, 0x00FF0000u, 0);
        frame_format = pixel_format_new(32, 0x00FF0000u, 0x0000FF00u, 0x000000FFu, 0);
        frame_surface = surface_new(frame_width, surface_height, frame_format);
        screen = lock_screen();
    }
    ~DisplayObjects()
    {
        surface_delete(frame_surface);
        pixel_format_delete(frame_format);
        pixel_format_delete(console_format);
        console_delete(console);
        frame_surface = nullptr;
        screen = nullptr;
    }
};

DisplayObjects display_objects;

void show_surface(Surface* surface, Console* target)
{
    surface_unlock(surface);
    surface_copy_to_console(surface, target);
    console_update(target);
}

// Applies one menu key's options; returns whether the key made a choice.
bool apply_menu_key(int code, Surface* menu_surface, Console* menu_console)
{
    switch (code) {
    case key_escape:
        surface_unlock(menu_surface);
        surface_unlock(frame_surface);
        console_close(menu_console);
        std::exit(0);
    case 'A':
        console_set_option(console, "default width 320");
        console_set_option(console, "default height 240");
        console_set_option(console, "fullscreen output");
        return true;
    case 'B':
        console_set_option(console, "windowed output");
        console_set_option(console, "default width 320");
        console_set_option(console, "default height 240");
        return true;
    case 'C':
        console_set_option(console, "default width 640");
        console_set_option(console, "default height 480");
        console_set_option(console, "windowed output");
        return true;
    default:
        return false;
    }
}

}  // namespace

void open_display()
{
    Console* menu_console = console_new();
    Surface* menu_surface = surface_new(frame_width, frame_height, frame_format);
    surface_lock(menu_surface);

    console_set_option(menu_console, "DirectX");
    console_set_option(console, "DirectX");
    console_set_option(menu_console, "default width 320");
    console_set_option(menu_console, "default height 200");
    console_set_option(menu_console, "windowed output");
    console_open(menu_console, "Choose Mode", frame_format, 0);

    show_surface(menu_surface, menu_console);  // blank first
    load_pcx("qd\\gfx\\misc\\meny1.pcx", surface_lock(menu_surface));
    show_surface(menu_surface, menu_console);
    surface_lock(menu_surface);

    // The read waits for a key without spinning (the console sleeps on the window
    // system's events). Then every other waiting key is read and applied before
    // the choice is looked at, so several keys read in one go all set their
    // options in turn.
    bool chosen = false;
    while (!chosen) {
        chosen = apply_menu_key(key_code(console_read_key(menu_console)), menu_surface, menu_console);
        while (console_key_waiting(menu_console)) {
            const int code = key_code(console_read_key(menu_console));
            if (apply_menu_key(code, menu_surface, menu_console)) chosen = true;
        }
    }

    show_surface(menu_surface, menu_console);
    console_close(menu_console);
    console_open(console, "Velmora", console_format, 0);
    screen += margin_pixels;
    surface_delete(menu_surface);
    console_delete(menu_console);
}

void present_frame()
{
    surface_unlock(frame_surface);
    surface_copy_to_console(frame_surface, console);
    console_update(console);
    screen = surface_lock(frame_surface) + margin_pixels;
}
