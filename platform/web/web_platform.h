// web_platform.h -- what the browser backends of the console and the music
// share, and what the page's entry sets up. The show's own loops run unchanged:
// the console's presentation and the spin-waits hand control back to the
// browser (the build yields through Asyncify), everything else runs straight on.
#pragma once

#include <cstdint>

// Live mode (the default): presentations paced to 60 a second by the browser's
// animation frames, music heard through Web Audio. Frame-locked mode (tests):
// no pacing and no drawing beyond a progress picture now and then; the music
// advances by the frame (music_control.h).
void web_set_frame_locked(bool on);

// Called at every console_update of an open console with the surface last
// copied in (0x00RRGGBB, rows of width) and the console's title.
using WebFrameHook = void (*)(const std::uint32_t* pixels, int width, int height, const char* title);
void web_set_frame_hook(WebFrameHook hook);

// Queues a key press as if it had been typed (the menu answer of a test run).
void web_push_key(int code);

// Asks the show to stop where it is, with the page as it is (a frame-locked run
// that has its frames). The hooks above and the music's spin hook are called
// through pointers, and a pause of the show cannot be taken from there: they
// ask, and the console or the player stops right after the hook returns.
void web_request_halt();
void web_halt_if_requested();

// A point where the show may be spinning (a key test, a music position query):
// after a run of them without a presentation, or when the browser has waited
// too long, control goes back to the browser for a moment.
void web_spin_point();

// Keeps the audio scheduled ahead of the output (music_web.cpp); the console
// calls it at every presentation and spin pause.
void web_music_service();
