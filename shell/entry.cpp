// entry.cpp -- the spine of the show: menu, then the scenes against the music.
#include "shell.h"

#include "../platform/console/console.h"

Variant show_variant = Variant::final_build;

namespace {
SceneTraceHook scene_trace_hook = nullptr;
}

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
        open_display();
        build_sincos_table();
        // Until the show sequence exists: present frames until a key is waiting.
        while (!console_key_waiting(console)) present_frame();
        trace_scene(nullptr);
        console_close(console);
        surface_unlock(frame_surface);
        return 0;
    } catch (DynamicError& error) {
        error_report(error);
        surface_unlock(frame_surface);
        console_close(console);
        return 1;
    }
}
