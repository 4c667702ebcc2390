// fake_music.h -- a scripted stand-in for the module player in the scene tests:
// the position is whatever the test's script says for the number of frames
// presented (and position queries made) so far.
#pragma once

#include <cstdint>
#include <functional>

// position(frames, queries) returns order | row << 16. `frames` counts the
// presentations since the script was set; `queries` the position queries.
using FakeMusicScript = std::function<std::uint32_t(long frames, long queries)>;
void fake_music_script(FakeMusicScript position);
// A fixed position: order, row.
void fake_music_at(int order, int row);
long fake_music_frames();
long fake_music_queries();

// Opens the headless console as the show does (menu answered with B), once per
// test process, and installs the frame counter. Later calls only reset the counts.
void open_test_display();
// The frames presented since the last open_test_display / fake_music_script, as
// 320x200 frames (rows 20..219 of the surface), if the test asked to keep them.
void keep_presented_frames(bool keep);
const std::uint32_t* presented_frame(long index);  // nullptr if not kept
